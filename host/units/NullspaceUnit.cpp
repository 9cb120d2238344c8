// The null-space unit: a matrix given column by column (input "matrix")
// with its number of columns (input "columns"); outputs the basis of its
// null space ("basis", component j of vector k at j x dim + k) and its
// dimension ("dim").
#include <vector>

#include <kelmar/GraspMap.h>

#include "progaux/UnitSupport.h"
#include "units/Units.h"

namespace kelmar {

namespace {

const float kTolerance = 1e-6f;

void NullSpace(DfxUnit *unit)
{
    int length = 0;
    const float *values = dfx_in_floats(unit, 0, &length);
    const int columns = dfx_in_int(unit, 1);
    const int rows = columns > 0 ? length / columns : 0;
    if (columns < 1 || length < 1 || length % columns != 0) {
        dfx_error("%s: wrong input dimension \n for matrix (%d x %d) = %d\n", "nullspace", rows, columns, length);
        dfx_out_floats(unit, 0, 0);
        dfx_out_int(unit, 1, 0);
        return;
    }
    std::vector<float> matrix(values, values + length);
    const int dimension = Grasp::ComputeNullSpace(matrix, rows, columns, kTolerance);
    const int n = dimension > 0 ? dimension * columns : 0;
    float *basis = dfx_out_floats(unit, 0, n);
    for (int i = 0; i < n; ++i) basis[i] = matrix[static_cast<size_t>(i)];
    dfx_out_int(unit, 1, dimension > 0 ? dimension : 0);
}

} // namespace

} // namespace kelmar

extern "C" DfxUnit *_fun1_nullspace(DfxUnit *host, const DfxDialog *dialog)
{
    using namespace kelmar;
    if (!CheckHost(host)) return nullptr;
    const DfxUnitHooks hooks = {NullSpace, nullptr, nullptr, nullptr, nullptr};
    DfxUnit *unit = dfx_unit_new(host, "nullspace", dfx_dialog_unit_name(dialog), &hooks, nullptr);
    dfx_unit_add_input(unit, "matrix", dfx_type("float"));
    dfx_unit_add_input(unit, "columns", dfx_type("int"));
    dfx_unit_add_output(unit, "basis", dfx_type("float"));
    dfx_unit_add_output(unit, "dim", dfx_type("int"));
    return unit;
}
