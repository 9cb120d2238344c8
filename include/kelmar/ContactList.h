// The dynamic contacts of a solid with their summed force and torque, and an
// iterator over the constraints on a solid's body.
#ifndef KELMAR_CONTACTLIST_H
#define KELMAR_CONTACTLIST_H

#include <vector>

#include <kelmar/RbdTypes.h>

namespace kelmar {

class Solid;

class ContactList {
public:
    struct Entry {
        RbdContactID contact;
        int bodyIndex; // which side of the contact is the solid's body
    };

    explicit ContactList(const Solid *solid);
    // Adds a contact; bodyIndex > 1 lets the list find the solid's side.
    void add(RbdContactID contact, int bodyIndex);

    int count = 0;
    std::vector<Entry> entries; // newest first
    const Solid *solid;
    RbdBodyID body;
    double totalForce[3] = {0, 0, 0};  // on the solid (kg cm/s^2, world)
    double totalTorque[3] = {0, 0, 0}; // on the solid (kg cm^2/s^2, world)
};

// Walks the enabled constraints on a solid's body; type < 0: every type.
class ConstraintIterator {
public:
    ConstraintIterator(const Solid *solid, int type);
    // The next matching constraint, or null at the end.
    RbdConstraintID operator++();
    RbdConstraintID Current() const { return current_; }
    // 0 when the solid's body is the constraint's first body, 1 otherwise.
    int GetBodyIndex() const;

private:
    int type_;
    RbdBodyID body_;
    std::vector<RbdConstraintID> constraints_;
    size_t next_ = 0;
    RbdConstraintID current_ = nullptr;
};

} // namespace kelmar

#endif
