// The mesh's bounding-volume tree: a binary tree with one triangle per
// leaf, built top-down by splitting each node's triangles across its box.
#include "mesh/CxTriangleMeshRecord.h"

#include <kelmar/PxMemory.h>

#include <float.h>

namespace {

// A split that sends more than this share of the triangles to one side is
// retried with the split value moved by kSplitShift x the half-extent.
const PxReal kSplitUnbalanced = 0.9;
const PxReal kSplitShift = 0.1;

// Midpoint of the interval of the triangle's vertex projections on axis.
PxReal splitKey(const CxTriangleMesh *mesh, int t, const PxVector3 axis)
{
    PxReal lo = DBL_MAX, hi = -DBL_MAX;
    for (int k = 0; k < 3; ++k) {
        PxReal p = PxV3Dot(CxMeshVertex(mesh, t, k), axis);
        if (p < lo) lo = p;
        if (p > hi) hi = p;
    }
    return 0.5 * (lo + hi);
}

// Moves triangles with a key below split to the front; returns their count.
int partition(const CxTriangleMesh *mesh, int *indices, int count, const PxVector3 axis, PxReal split)
{
    int left = 0, right = count;
    while (left < right) {
        if (splitKey(mesh, indices[left], axis) < split) {
            ++left;
        } else {
            --right;
            int swap = indices[left];
            indices[left] = indices[right];
            indices[right] = swap;
        }
    }
    return left;
}

// Triangles at even positions first, then the odd ones.
int alternate(int *indices, int count, int *scratch)
{
    int left = 0;
    for (int n = 0; n < count; n += 2) scratch[left++] = indices[n];
    int next = left;
    for (int n = 1; n < count; n += 2) scratch[next++] = indices[n];
    for (int n = 0; n < count; ++n) indices[n] = scratch[n];
    return left;
}

struct TreeBuilder {
    BVTree *tree;
    int *scratch;

    // Reorders indices into a left and a right part; returns the left count.
    int splitOBB(const CxObb *box, int *indices, int count)
    {
        const CxTriangleMesh *mesh = tree->mesh;
        for (int a = 0; a < 3; ++a) {
            const PxReal *axis = box->axes[a];
            PxReal split = PxV3Dot(box->centre, axis);
            int left = partition(mesh, indices, count, axis, split);
            PxReal shift = kSplitShift * box->halfExtents[a];
            if (left > kSplitUnbalanced * count)
                left = partition(mesh, indices, count, axis, split - shift);
            else if (left < (1.0 - kSplitUnbalanced) * count)
                left = partition(mesh, indices, count, axis, split + shift);
            if (left > 0 && left < count) return left;
        }
        return alternate(indices, count, scratch);
    }

    BVNode *splitNode(int *indices, int count, BVNode *parent, int depth)
    {
        int number = tree->nodesUsed++;
        BVNode *node = &tree->nodes[number];
        node->parent = parent;
        node->left = node->right = nullptr;
        node->triangle = -1;
        if (depth > tree->depth) tree->depth = depth;
        if (depth >= tree->obbStartDepth)
            ObbFinder::process(tree->mesh, &node->box, indices, count, 1);
        else
            ObbFinder::processAxisAligned(tree->mesh, &node->box, indices, count);
        if (tree->nodeTriangles) tree->nodeTriangles[number] = {indices, count};
        if (count == 1) {
            node->triangle = indices[0];
            return node;
        }
        int left = splitOBB(&node->box, indices, count);
        node->left = splitNode(indices, left, node, depth + 1);
        node->right = splitNode(indices + left, count - left, node, depth + 1);
        return node;
    }
};

// The box of node refitted along its own axes: from its triangles when the
// tree keeps them, else from its children's corners.
void refitNode(BVTree *tree, int number)
{
    BVNode *node = &tree->nodes[number];
    const CxTriangleMesh *mesh = tree->mesh;
    if (node->triangle >= 0) {
        CxObbFitExtents(mesh, &node->box, &node->triangle, 1);
        return;
    }
    if (tree->nodeTriangles) {
        const BVNodeTriangles &list = tree->nodeTriangles[number];
        CxObbFitExtents(mesh, &node->box, list.first, list.count);
        return;
    }
    PxVector3 lo = {DBL_MAX, DBL_MAX, DBL_MAX}, hi = {-DBL_MAX, -DBL_MAX, -DBL_MAX};
    const BVNode *children[2] = {node->left, node->right};
    for (const BVNode *child : children) {
        PxVector3 corners[8];
        CxObbCorners(&child->box, corners);
        for (int k = 0; k < 8; ++k)
            for (int a = 0; a < 3; ++a) {
                PxReal p = PxV3Dot(corners[k], node->box.axes[a]);
                lo[a] = fmin(lo[a], p);
                hi[a] = fmax(hi[a], p);
            }
    }
    PxV3Zero(node->box.centre);
    for (int a = 0; a < 3; ++a) {
        node->box.halfExtents[a] = 0.5 * (hi[a] - lo[a]);
        PxV3AddScaled(node->box.centre, node->box.centre, node->box.axes[a], 0.5 * (lo[a] + hi[a]));
    }
    CxObbSortAxes(&node->box);
}

} // namespace

BVTree *BVTreeCreate(int sweptRectangles, int keepNodeTriangles)
{
    BVTree *tree = static_cast<BVTree *>(PxMemoryAPI.createZeroed(sizeof(BVTree)));
    if (!tree) return nullptr;
    tree->sweptRectangles = sweptRectangles ? 1 : 0;
    tree->keepNodeTriangles = keepNodeTriangles ? 1 : 0;
    return tree;
}

void BVTreeDestroy(BVTree *tree)
{
    if (!tree) return;
    PxMemoryAPI.destroy(tree->nodes);
    PxMemoryAPI.destroy(tree->indices);
    PxMemoryAPI.destroy(tree->nodeTriangles);
    PxMemoryAPI.destroy(tree);
}

int BVTree::setMesh(CxTriangleMesh *meshRecord)
{
    mesh = meshRecord;
    nodeCount = 2 * mesh->triangleCount - 1;
    nodesUsed = 0;
    nodes = static_cast<BVNode *>(PxMemoryAPI.create(sizeof(BVNode) * (size_t)nodeCount));
    return nodes != nullptr;
}

int BVTree::build()
{
    int n = mesh->triangleCount;
    int *order = static_cast<int *>(PxMemoryAPI.create(sizeof(int) * (size_t)n));
    int *scratch = static_cast<int *>(PxMemoryAPI.create(sizeof(int) * (size_t)n));
    if (keepNodeTriangles)
        nodeTriangles = static_cast<BVNodeTriangles *>(
            PxMemoryAPI.create(sizeof(BVNodeTriangles) * (size_t)nodeCount));
    if (!order || !scratch || (keepNodeTriangles && !nodeTriangles)) {
        PxMemoryAPI.destroy(order);
        PxMemoryAPI.destroy(scratch);
        return 0;
    }
    for (int t = 0; t < n; ++t) order[t] = t;
    nodesUsed = 0;
    depth = 0;
    TreeBuilder builder = {this, scratch};
    builder.splitNode(order, n, nullptr, 0);
    PxMemoryAPI.destroy(scratch);
    if (keepNodeTriangles)
        indices = order;
    else
        PxMemoryAPI.destroy(order);
    return 1;
}

void BVTree::refit()
{
    // Nodes are numbered parents first, so the reverse order visits every
    // child before its parent.
    for (int number = nodesUsed - 1; number >= 0; --number) refitNode(this, number);
}
