// The contacts on a link's body, walked in place: the grasps read them
// every step and make no contact lists for it.
#ifndef KELMAR_GRASP_CONTACTS_H
#define KELMAR_GRASP_CONTACTS_H

#include <kelmar/RbdBody.h>
#include <kelmar/RbdConstraint.h>
#include <kelmar/Solid.h>

namespace kelmar {
namespace hand {

// visit(contact, side of the solid's body, other body) for every contact
// on the solid's body (none for a solid without body).
template <class F> void ForEachContact(const Solid *solid, F visit)
{
    RbdBodyID body = solid ? solid->GetBody() : nullptr;
    if (!body) return;
    struct Walk {
        RbdBodyID body;
        F *visit;
    } walk{body, &visit};
    RbdBodyForAllConstraints(
        body,
        [](RbdConstraintID c, void *data) {
            Walk &w = *static_cast<Walk *>(data);
            if (RbdConstraintGetTypeId(c) != RBD_TYPE_CONTACT) return;
            const int side = RbdConstraintGetBody(c, 0) == w.body ? 0 : 1;
            (*w.visit)(c, side, RbdConstraintGetBody(c, 1 - side));
        },
        &walk);
}

inline bool HasContact(const Solid *solid)
{
    bool any = false;
    ForEachContact(solid, [&](RbdConstraintID, int, RbdBodyID) { any = true; });
    return any;
}

} // namespace hand
} // namespace kelmar

#endif
