// The row list: storage, partitions, and the start and end of each
// constraint's rows.
#include <string.h>
#include <initializer_list>
#include "contacts/RbdContactRows.h"
#include "world/RbdInternal.h"

namespace {

const size_t ROW_ALIGNMENT = 64;

size_t alignUp(size_t bytes)
{
    return (bytes + ROW_ALIGNMENT - 1) / ROW_ALIGNMENT * ROW_ALIGNMENT;
}

int32_t roundUpToTile(int32_t rows)
{
    return (rows + RBD_TILE_ROWS - 1) / RBD_TILE_ROWS * RBD_TILE_ROWS;
}

// Carves one array of count elements out of the block at *cursor.
template <typename T> T *carve(char **cursor, int32_t count)
{
    T *array = (T *)*cursor;
    *cursor += alignUp((size_t)count * sizeof(T));
    return array;
}

size_t storageBytes(int32_t maxRows, int32_t maxConstraints)
{
    size_t rowReals = alignUp((size_t)maxRows * sizeof(PxReal));
    size_t rowInts = alignUp((size_t)maxRows * sizeof(int32_t));
    size_t constraintInts = alignUp((size_t)maxConstraints * sizeof(int32_t));
    return alignUp((size_t)maxRows * RBD_JACOBIAN_COLUMNS * sizeof(PxReal)) + 8 * rowReals + 3 * rowInts +
           alignUp((size_t)maxConstraints * sizeof(RbdBaseConstraint *)) + 4 * constraintInts;
}

// A padding row: no Jacobian, no error, bounds [0, 0] so its force stays 0.
void setPaddingRow(RbdLcsConstraints *list, int32_t row)
{
    RbdBclClearRow(list, row);
    list->lo[row] = list->hi[row] = 0.0;
}

// Stores value at p[0, count): for a pair, as one store.
template <int count, typename T> void put(T *p, T value)
{
    T values[count];
    for (int k = 0; k < count; ++k) values[k] = value;
    memcpy(p, values, sizeof values);
}

// Sets count rows from row (1 or 2; two only from an even row, which keeps
// them in one tile and side by side in every column) to the empty
// bilateral row, with one store of each value for both.
template <int count> void clearRun(RbdLcsConstraints *list, int32_t row)
{
    static_assert(count == 1 || count == 2, "one row or a pair");
    PxReal *entry = RbdBclJacobianRow(list->jacobian, row);
    for (int32_t col = 0; col < RBD_JACOBIAN_COLUMNS; ++col) put<count>(entry + col * RBD_TILE_ROWS, 0.0);
    for (PxReal *array : {list->phi, list->c, list->lambda, list->rowEpsilon, list->rowGamma, list->mu})
        put<count>(array + row, 0.0);
    put<count>(list->lo + row, -RBD_REAL_MAX);
    put<count>(list->hi + row, RBD_REAL_MAX);
    put<count>(list->state + row, 0);
    put<count>(list->frictionIndex + row, -1);
    put<count>(list->correction + row, (int32_t)RBD_CORRECTION_JOINT);
}

// RbdBclClearRow over rows [first, end), two rows at a time where they
// share a tile: every joint clears all its rows every step.
void clearRows(RbdLcsConstraints *list, int32_t first, int32_t end)
{
    int32_t row = first;
    if (row % 2 != 0 && row < end) clearRun<1>(list, row++);
    for (; row + 1 < end; row += 2) clearRun<2>(list, row);
    if (row < end) clearRun<1>(list, row);
}

// A body of another island is immovable here: a slack contact that left a
// sleeping body out of this island stays in it after a later island woke
// that body, whose index then numbers the later island's bodies.
int32_t bodyIndexOf(const RbdLcsConstraints *list, const RbdBaseConstraint *c, int i)
{
    if (!c->solverBody[i]) return -1;
    const RbdBody *body = c->body[i];
    return list->partitionIsland < 0 || body->partitionIndex == list->partitionIsland ? body->partitionBodyIndex : -1;
}

} // namespace

int32_t RbdBclRowCapacity(int32_t maxConstraints)
{
    int32_t rows = RBD_ROWS_PER_CONSTRAINT * maxConstraints;
    return (rows + 11) / 12 * 12;
}

int RbdBclCreateConstraintRowList(RbdLcsConstraints *list, int32_t maxConstraints)
{
    memset(list, 0, sizeof(*list));
    if (maxConstraints <= 0) return 1;
    int32_t maxRows = RbdBclRowCapacity(maxConstraints);
    char *block = (char *)PxMemoryAPI.createAligned(storageBytes(maxRows, maxConstraints), (int)ROW_ALIGNMENT);
    if (!block) {
        PxWarning(RBD_MESSAGE_LEVEL, "RbdBclCreateConstraintRowList: no memory for %d rows.\n", (int)maxRows);
        return 0;
    }
    list->storage = block;
    list->maxRows = maxRows;
    list->maxConstraints = maxConstraints;
    char *cursor = block;
    list->jacobian = carve<PxReal>(&cursor, maxRows * RBD_JACOBIAN_COLUMNS);
    list->phi = carve<PxReal>(&cursor, maxRows);
    list->c = carve<PxReal>(&cursor, maxRows);
    list->lo = carve<PxReal>(&cursor, maxRows);
    list->hi = carve<PxReal>(&cursor, maxRows);
    list->lambda = carve<PxReal>(&cursor, maxRows);
    list->rowEpsilon = carve<PxReal>(&cursor, maxRows);
    list->rowGamma = carve<PxReal>(&cursor, maxRows);
    list->mu = carve<PxReal>(&cursor, maxRows);
    list->state = carve<int32_t>(&cursor, maxRows);
    list->frictionIndex = carve<int32_t>(&cursor, maxRows);
    list->correction = carve<int32_t>(&cursor, maxRows);
    list->constraints = carve<RbdBaseConstraint *>(&cursor, maxConstraints);
    list->constraintRowCount = carve<int32_t>(&cursor, maxConstraints);
    list->constraintFirstRow = carve<int32_t>(&cursor, maxConstraints);
    list->constraintBody[0] = carve<int32_t>(&cursor, maxConstraints);
    list->constraintBody[1] = carve<int32_t>(&cursor, maxConstraints);
    RbdBclInitConstraintRowList(list);
    return 1;
}

void RbdBclDestroyConstraintRowList(RbdLcsConstraints *list)
{
    if (list->storage) PxMemoryAPI.destroyAligned(list->storage);
    memset(list, 0, sizeof(*list));
}

void RbdBclInitConstraintRowList(RbdLcsConstraints *list)
{
    list->rowCount = 0;
    list->constraintCount = 0;
    list->partitionCount = 0;
    RbdBclStartPartition(list);
}

void RbdBclStartPartition(RbdLcsConstraints *list)
{
    list->rowCount = roundUpToTile(list->rowCount);
    list->partitionRowStart = list->rowCount;
    list->partitionRowCount = 0;
    list->partitionPaddedRowCount = 0;
    list->partitionConstraintStart = list->constraintCount;
    list->partitionConstraintCount = 0;
    list->partitionIsland = -1;
}

void RbdBclEndPartition(RbdLcsConstraints *list)
{
    int32_t padded = roundUpToTile(list->partitionRowCount);
    for (int32_t row = list->partitionRowStart + list->partitionRowCount; row < list->partitionRowStart + padded;
         ++row)
        setPaddingRow(list, row);
    list->partitionPaddedRowCount = padded;
    list->rowCount = list->partitionRowStart + padded;
    list->partitionCount++;
}

void RbdBclClearRow(RbdLcsConstraints *list, int32_t row)
{
    PxReal *jacobian = RbdBclJacobianRow(list->jacobian, row);
    for (int32_t col = 0; col < RBD_JACOBIAN_COLUMNS; ++col) jacobian[col * RBD_TILE_ROWS] = 0.0;
    list->phi[row] = 0.0;
    list->c[row] = 0.0;
    list->lo[row] = -RBD_REAL_MAX;
    list->hi[row] = RBD_REAL_MAX;
    list->lambda[row] = 0.0;
    list->rowEpsilon[row] = 0.0;
    list->rowGamma[row] = 0.0;
    list->mu[row] = 0.0;
    list->state[row] = 0;
    list->frictionIndex[row] = -1;
    list->correction[row] = RBD_CORRECTION_JOINT;
}

int32_t RbdBclBeginConstraint(RbdLcsConstraints *list, int32_t maxRows)
{
    int32_t first = RbdBclTakeRows(list, maxRows);
    if (first >= 0) clearRows(list, first, first + maxRows);
    return first;
}

int32_t RbdBclTakeRows(RbdLcsConstraints *list, int32_t maxRows)
{
    int32_t first = list->rowCount;
    // Room for the rows and for the padding that ends the partition.
    if (roundUpToTile(first + maxRows) > list->maxRows || list->constraintCount >= list->maxConstraints) {
        PxWarning(RBD_MESSAGE_LEVEL,
                  "RbdBclBeginConstraint: the row list is full (%d rows, %d constraints); "
                  "constraint skipped.\n",
                  (int)list->maxRows, (int)list->maxConstraints);
        return -1;
    }
    return first;
}

void RbdBclEndConstraint(RbdLcsConstraints *list, RbdBaseConstraint *constraint, int32_t rowCount)
{
    if (rowCount <= 0) return;
    int32_t first = list->rowCount;
    // Most constraints carry no additions of their own; theirs would add
    // zeros from two lines of the record the step needs for nothing else.
    if (constraint->rowAdditions != 0)
        for (int32_t i = 0; i < rowCount && i < RBD_CONSTRAINT_MAX_ROWS; ++i) {
            list->rowEpsilon[first + i] += constraint->rowEpsilon[i];
            list->rowGamma[first + i] += constraint->rowGamma[i];
        }
    int32_t k = list->constraintCount;
    const int32_t body0 = bodyIndexOf(list, constraint, 0), body1 = bodyIndexOf(list, constraint, 1);
    // A body with a solver record outside the island: asleep under sleeping
    // (or in a later island); its contact may rest on it uncorrected.
    if ((body0 < 0 && constraint->solverBody[0]) || (body1 < 0 && constraint->solverBody[1]))
        RbdContactRestOnSleeper(list, constraint, first);
    for (int32_t i = 0; i < rowCount && i < RBD_CONSTRAINT_LAMBDA_COUNT; ++i)
        constraint->phi[i] = list->phi[first + i];
    list->constraints[k] = constraint;
    list->constraintRowCount[k] = rowCount;
    list->constraintFirstRow[k] = first;
    list->constraintBody[0][k] = body0;
    list->constraintBody[1][k] = body1;
    list->constraintCount++;
    list->partitionConstraintCount++;
    list->rowCount += rowCount;
    list->partitionRowCount += rowCount;
}

void RbdBclGetJacobian(const RbdLcsConstraints *list, int32_t row, PxReal out[RBD_JACOBIAN_COLUMNS])
{
    for (int32_t col = 0; col < RBD_JACOBIAN_COLUMNS; ++col) out[col] = RbdBclGetJacobianEntry(list, row, col);
}
