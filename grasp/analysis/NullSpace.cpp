// The null space of a small matrix by reduced row echelon form: the pivot
// is the largest entry left among the rows and columns not yet used (full
// pivoting); its row is scaled to a leading 1 and eliminated from every
// other row. Columns without a pivot are the free variables: each gives one
// basis vector, 1 at its own column, 0 at the other free ones, and the
// pivot variables solved from the pivot rows.
//
// Full rather than column-by-column pivoting: taken column by column, a
// column that round-off left at just above the tolerance (a resting block's
// grasp map in centimetres leaves 1.8e-6 against a tolerance of 1e-6)
// became a pivot, and the entries zeroed at the tolerance, multiplied by
// its inverse, gave basis vectors the map does not take to zero. The
// largest entry first keeps every solved entry within the scale of the
// free ones.
#include <kelmar/GraspMap.h>

#include <cmath>
#include <utility>

namespace kelmar {

namespace {

class Echelon {
public:
    Echelon(const std::vector<float> &columnMajor, int rows, int columns, double tolerance)
        : rows_(rows), columns_(columns), tolerance_(tolerance), a_(static_cast<size_t>(rows * columns)),
          pivotColumn_(static_cast<size_t>(rows), -1), isPivot_(static_cast<size_t>(columns), false)
    {
        for (int i = 0; i < rows; ++i)
            for (int j = 0; j < columns; ++j) at(i, j) = columnMajor[static_cast<size_t>(j * rows + i)];
    }

    // Brings the copy to reduced row echelon form; returns the rank.
    int Reduce()
    {
        while (rank_ < rows_) {
            int p = -1, c = -1;
            LargestLeft(p, c);
            if (p < 0) break;
            SwapRows(p, rank_);
            Normalise(rank_, c);
            Eliminate(rank_, c);
            pivotColumn_[static_cast<size_t>(rank_)] = c;
            isPivot_[static_cast<size_t>(c)] = true;
            ++rank_;
        }
        return rank_;
    }

    // The basis vectors, component j of vector k at j * nullity + k.
    void Basis(std::vector<float> &out) const
    {
        const int nullity = columns_ - rank_;
        out.assign(static_cast<size_t>(columns_ * nullity), 0.0f);
        std::vector<double> x(static_cast<size_t>(columns_));
        int k = 0;
        for (int c = 0; c < columns_; ++c) {
            if (isPivot_[static_cast<size_t>(c)]) continue;
            Solve(c, x);
            for (int j = 0; j < columns_; ++j)
                out[static_cast<size_t>(j * nullity + k)] = static_cast<float>(x[static_cast<size_t>(j)]);
            ++k;
        }
    }

private:
    double &at(int i, int j) { return a_[static_cast<size_t>(i * columns_ + j)]; }
    double at(int i, int j) const { return a_[static_cast<size_t>(i * columns_ + j)]; }

    // The largest entry among the unused rows and columns (row p, column
    // c); entries below tolerance are zeroed and never pivot. p = -1 when
    // there is none.
    void LargestLeft(int &p, int &c)
    {
        for (int j = 0; j < columns_; ++j) {
            if (isPivot_[static_cast<size_t>(j)]) continue;
            for (int i = rank_; i < rows_; ++i) {
                if (std::fabs(at(i, j)) < tolerance_) {
                    at(i, j) = 0;
                    continue;
                }
                if (p < 0 || std::fabs(at(i, j)) > std::fabs(at(p, c))) p = i, c = j;
            }
        }
    }

    void SwapRows(int p, int q)
    {
        if (p == q) return;
        for (int j = 0; j < columns_; ++j) std::swap(at(p, j), at(q, j));
    }

    void Normalise(int r, int c)
    {
        const double pivot = at(r, c);
        for (int j = 0; j < columns_; ++j) at(r, j) /= pivot;
        at(r, c) = 1.0;
    }

    void Eliminate(int r, int c)
    {
        for (int i = 0; i < rows_; ++i) {
            const double f = at(i, c);
            if (i == r || f == 0) continue;
            for (int j = 0; j < columns_; ++j) {
                double &v = at(i, j);
                v -= f * at(r, j);
                if (std::fabs(v) <= tolerance_) v = 0;
            }
            at(i, c) = 0;
        }
    }

    // x with x[free] = 1, the other free variables 0, and every pivot row
    // satisfied: x[pivot] = -sum of the row's other entries times x.
    void Solve(int free, std::vector<double> &x) const
    {
        for (int j = 0; j < columns_; ++j) x[static_cast<size_t>(j)] = j == free ? 1.0 : 0.0;
        for (int r = rank_ - 1; r >= 0; --r) {
            const int p = pivotColumn_[static_cast<size_t>(r)];
            double sum = 0; // the other pivot columns are zero in a reduced row
            for (int j = 0; j < columns_; ++j)
                if (j != p) sum += at(r, j) * x[static_cast<size_t>(j)];
            x[static_cast<size_t>(p)] = -sum;
        }
    }

    int rows_, columns_;
    double tolerance_;
    std::vector<double> a_; // row-major working copy
    std::vector<int> pivotColumn_;
    std::vector<bool> isPivot_;
    int rank_ = 0;
};

} // namespace

int Grasp::ComputeNullSpace(std::vector<float> &matrix, int rows, int columns, float tolerance)
{
    if (rows < 1 || columns < 1 || matrix.size() < static_cast<size_t>(rows) * static_cast<size_t>(columns))
        return -1;
    Echelon echelon(matrix, rows, columns, std::fabs(static_cast<double>(tolerance)));
    const int rank = echelon.Reduce();
    echelon.Basis(matrix);
    return columns - rank;
}

} // namespace kelmar
