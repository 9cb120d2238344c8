// The map's nodes and the best-matching node.
#include <kelmar/GraspManifold.h>

#include <algorithm>

namespace kelmar {

GraspManifold::GraspManifold(int nodeCount, int dimension)
    : nodeCount_(std::max(nodeCount, 0)), dimension_(std::max(dimension, 0)),
      nodes_(static_cast<size_t>(nodeCount_) * static_cast<size_t>(dimension_), 0.0)
{
}

// From the last node to the first; only a strictly smaller distance
// replaces the best, so of equal nodes the later one wins.
bool GraspManifold::match(double *out, const double *query, const bool *mask) const
{
    if (nodeCount_ == 0 || dimension_ == 0) return false;
    int best = -1;
    double bestDistance = 0;
    for (int i = nodeCount_ - 1; i >= 0; --i) {
        const double *w = node(i);
        double d = 0;
        for (int j = 0; j < dimension_; ++j)
            if (!mask || mask[j]) d += (w[j] - query[j]) * (w[j] - query[j]);
        if (best < 0 || d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    std::copy(node(best), node(best) + dimension_, out);
    return true;
}

} // namespace kelmar
