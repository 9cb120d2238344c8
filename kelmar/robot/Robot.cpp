// Robots: building the tree (explicitly, automatically, by copying),
// its counts and numbering, and finding nodes.
#include <kelmar/Robot.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <kelmar/Joint.h>
#include <kelmar/Limit.h>
#include <kelmar/RbdBody.h>
#include <kelmar/RbdConstraint.h>
#include <kelmar/Solid.h>

namespace kelmar {

namespace {

bool IsRobotJoint(const Joint *joint)
{
    RbdConstraintID c = joint ? joint->GetConstraint() : nullptr;
    const int type = c ? RbdConstraintGetTypeId(c) : -1;
    return type == RBD_TYPE_HINGE || type == RBD_TYPE_PRISMATIC;
}

const char *NameOf(const Solid *solid)
{
    const char *name = solid ? solid->GetName() : nullptr;
    return name ? name : "";
}

struct Candidates {
    RbdBodyID body;
    RbdConstraintID own;
    std::vector<std::pair<Joint *, Solid *>> found;
};

// A hinge or prismatic joint on the body, not the node's own, with a body
// (and so a solid) on its other side.
void CollectCandidate(RbdConstraintID c, void *data)
{
    Candidates &w = *static_cast<Candidates *>(data);
    const int type = RbdConstraintGetTypeId(c);
    if (c == w.own || (type != RBD_TYPE_HINGE && type != RBD_TYPE_PRISMATIC)) return;
    RbdBodyID other = RbdConstraintGetBody(c, RbdConstraintGetBody(c, 0) == w.body ? 1 : 0);
    Joint *joint = static_cast<Joint *>(RbdConstraintGetUserData(c));
    Solid *solid = other ? static_cast<Solid *>(RbdBodyGetUserData(other)) : nullptr;
    if (joint && solid) w.found.emplace_back(joint, solid);
}

std::vector<std::pair<Joint *, Solid *>> ChildCandidates(RbdBodyID body, RbdConstraintID own)
{
    Candidates walk{body, own, {}};
    RbdBodyForAllConstraints(body, CollectCandidate, &walk);
    return walk.found;
}

// The deepest level count, at most depth, whose automatic tree has no more
// than Robot::kMaxAutoNodes nodes. Loops are unrolled level by level, so a
// joint graph with two loops through one body doubles the tree at every
// level: cut only by the default depth of 1000 it would never finish.
int FittingDepth(RbdBodyID body, RbdConstraintID own, int depth)
{
    std::vector<std::pair<RbdBodyID, RbdConstraintID>> level{{body, own}}, next;
    size_t nodes = 1;
    for (int d = 1; d < depth && !level.empty(); ++d) {
        next.clear();
        for (const auto &[b, c] : level)
            for (const auto &[j, s] : ChildCandidates(b, c)) next.emplace_back(s->GetBody(), j->GetConstraint());
        nodes += next.size();
        if (nodes > static_cast<size_t>(Robot::kMaxAutoNodes)) return d;
        level.swap(next);
    }
    return depth;
}

int AutoDepth(Joint *joint, Solid *solid, int depth)
{
    RbdBodyID body = solid ? solid->GetBody() : nullptr;
    if (!body) return depth;
    const int fitting = FittingDepth(body, IsRobotJoint(joint) ? joint->GetConstraint() : nullptr, depth);
    if (fitting < depth)
        std::fprintf(stderr,
                     "Robot::Robot: the loops of the joint graph at '%s' unroll into more than %d nodes, the tree "
                     "stops at depth %d\n",
                     NameOf(solid), Robot::kMaxAutoNodes, fitting);
    return fitting;
}

} // namespace

Robot::Robot(Joint *j, Solid *s, Robot **kids, int n)
{
    Attach(j, s);
    for (int i = 0; i < n; ++i)
        if (kids && kids[i]) children.push_back(kids[i]);
    AdoptChildren();
}

Robot::Robot(Joint *j, Solid *s, int depth, Robot *up) : Robot(j, s, AutoDepth(j, s, depth), up, Unrolled{})
{
}

Robot::Robot(Joint *j, Solid *s, int depth, Robot *up, Unrolled)
{
    parent = up;
    Attach(j, s);
    if (depth >= 2) AddChildrenFromJoints(depth);
    AdoptChildren();
}

Robot::Robot(const Robot *node)
{
    joint = node->joint;
    limit = node->limit;
    solid = node->solid;
    jointReversed = node->jointReversed;
    target = node->target;
    for (const Robot *child : node->children) children.push_back(new Robot(child));
    AdoptChildren();
}

Robot::~Robot()
{
    for (Robot *child : children) delete child;
}

// Keeps the joint only if it is a hinge or prismatic joint, with its stops on.
void Robot::Attach(Joint *j, Solid *s)
{
    solid = s;
    joint = IsRobotJoint(j) ? j : nullptr;
    limit = joint ? joint->GetLimit() : nullptr;
    if (limit) RbdLimitActivateLimits(limit->GetRbdLimit(), 1);
    RbdBodyID body = solid ? solid->GetBody() : nullptr;
    RbdConstraintID c = joint ? joint->GetConstraint() : nullptr;
    if (body && c && RbdConstraintGetBody(c, 0) != body && RbdConstraintGetBody(c, 1) != body)
        std::fprintf(stderr, "Robot::Robot: joint and solid not connected\n");
    jointReversed = body && c && RbdConstraintGetBody(c, 1) == body;
}

void Robot::AddChildrenFromJoints(int depth)
{
    RbdBodyID body = solid ? solid->GetBody() : nullptr;
    if (!body) return;
    for (const auto &[j, s] : ChildCandidates(body, joint ? joint->GetConstraint() : nullptr))
        children.push_back(new Robot(j, s, depth - 1, this, Unrolled{}));
    std::stable_sort(children.begin(), children.end(), [](const Robot *a, const Robot *b) {
        return std::strcmp(NameOf(a->solid), NameOf(b->solid)) < 0;
    });
}

void Robot::AdoptChildren()
{
    numChildren = static_cast<int>(children.size());
    for (Robot *child : children) child->parent = this;
    Count();
    EnumerateNodes(index);
}

// A node's counts: its own contribution plus its children's sums.
void Robot::Count()
{
    numJoints = joint ? 1 : 0;
    numSolids = solid ? 1 : 0;
    numNodes = 1;
    numLeaves = 0;
    for (const Robot *child : children) {
        numJoints += child->numJoints;
        numSolids += child->numSolids;
        numNodes += child->numNodes;
        numLeaves += child->numLeaves;
    }
    numLeaves = std::max(numLeaves, 1);
}

int Robot::EnumerateNodes(int start)
{
    index = start;
    int next = start + 1;
    for (Robot *child : children) next = child->EnumerateNodes(next);
    return next;
}

Robot *Robot::GetRoot()
{
    Robot *node = this;
    while (node->parent) node = node->parent;
    return node;
}

// Descends by the subtree counts: no search of the whole tree.
Robot *Robot::GetNodeOfJoint(int i)
{
    if (i < 0 || i >= numJoints) return nullptr;
    if (joint && i-- == 0) return this;
    for (Robot *child : children) {
        if (i < child->numJoints) return child->GetNodeOfJoint(i);
        i -= child->numJoints;
    }
    return nullptr;
}

Robot *Robot::GetNode(int i)
{
    if (i < 0 || i >= numNodes) return nullptr;
    if (i-- == 0) return this;
    for (Robot *child : children) {
        if (i < child->numNodes) return child->GetNode(i);
        i -= child->numNodes;
    }
    return nullptr;
}

const char *Robot::ReplaceVirtualBasis(Joint *j, Solid *s)
{
    if (j && joint) return "Cannot replace virtual joint of robot. Real joint already exists.";
    if (s && solid) return "Cannot replace virtual solid of robot. Real solid already exists.";
    if (j && !s && !solid) return "Cannot replace virtual joint of robot. Only virtual solid available.";
    const Solid *node = s ? s : solid;
    RbdBodyID body = node ? node->GetBody() : nullptr;
    RbdConstraintID c = j ? j->GetConstraint() : (joint ? joint->GetConstraint() : nullptr);
    if (c && body && RbdConstraintGetBody(c, 0) != body && RbdConstraintGetBody(c, 1) != body)
        return "Cannot replace virtual joint and/or solid of robot. Joint not connected to solid.";
    if (j && !IsRobotJoint(j)) return "Cannot replace virtual joint of robot. New joint is not hinge or prismatic.";
    Attach(j ? j : joint, s ? s : solid);
    for (Robot *node = this; node; node = node->parent) node->Count();
    GetRoot()->EnumerateNodes(GetRoot()->index);
    return nullptr;
}

} // namespace kelmar
