// A self-organising map of grasp postures: nodeCount weight vectors of
// dimension values each (joint values, rad or cm), read from a map file of
// white-space separated numbers, node after node.
#ifndef KELMAR_GRASPMANIFOLD_H
#define KELMAR_GRASPMANIFOLD_H

#include <cstddef>
#include <vector>

namespace kelmar {

class GraspManifold {
public:
    GraspManifold(int nodeCount, int dimension);

    // Reads the file's numbers into the nodes; false (with a message on the
    // grasp sink's problem channel) when it cannot be read, holds something
    // that is not a number, or holds too few or too many values; the nodes
    // keep what was read.
    bool load(const char *file);
    // The node nearest to query over the joints where mask is true (all
    // joints without mask); ties go to the later node. Copies its weights
    // to out; false for an empty map.
    bool match(double *out, const double *query, const bool *mask) const;

    const double *node(int i) const { return &nodes_[static_cast<size_t>(i) * static_cast<size_t>(dimension_)]; }
    double *node(int i) { return &nodes_[static_cast<size_t>(i) * static_cast<size_t>(dimension_)]; }
    int nodeCount() const { return nodeCount_; }
    int dimension() const { return dimension_; }

private:
    int nodeCount_, dimension_;
    std::vector<double> nodes_;
};

} // namespace kelmar

#endif
