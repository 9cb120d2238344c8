// The data types the module declares to the host: "vx.SolidRef" (a
// DfxSolid), "vx.ContactList" (the contacts of a solid or robot) and
// "vx.Contact" (one contact, copied out of the dynamics). Declared on
// first use.
#ifndef KELMAR_HOST_HOSTTYPES_H
#define KELMAR_HOST_HOSTTYPES_H

#include <string>

#include <dfx/dfx.h>
#include <kelmar/RbdTypes.h>

namespace kelmar {

class ContactList;

// A contact list as the host holds it: valid while the simulation has not
// moved on (SimulationGeneration), and for messages the name of its solid.
struct HostContactList {
    HostContactList(ContactList *list, const char *solidName);
    ~HostContactList();
    HostContactList(const HostContactList &) = delete;
    HostContactList &operator=(const HostContactList &) = delete;
    // The list, or null once the simulation has moved on.
    const ContactList *Current() const;
    int Count() const;

    ContactList *list; // owned
    long generation;
    long serial; // tells lists apart, whatever their address
    std::string solid;
};

// One contact, copied: the two solids' names ("WORLD" for the static
// environment), position, normal and penetration (cm), friction type, and
// the forces and torques on both bodies, and the friction of its material
// pair.
struct HostContact {
    bool valid = false;
    std::string names[2];
    bool hasBody[2] = {false, false};
    double position[3] = {0, 0, 0}, normal[3] = {0, 0, 0}, direction[3] = {0, 0, 0};
    double penetration = 0;
    int frictionType = -1;
    double frictionForce[2] = {0, 0}; // the box limits of the two directions (kg cm/s^2)
    double mu[2] = {0, 0};            // the two friction coefficients
    double force[2][3] = {{0, 0, 0}, {0, 0, 0}}, torque[2][3] = {{0, 0, 0}, {0, 0, 0}};
};
// A copy of contact as seen from its bodies.
HostContact *CopyContact(RbdContactID contact);
// The name of a body's solid: "WORLD" for no body, "" for a body without one.
std::string SolidNameOf(RbdBodyID body);

const DfxType *SolidRefType();
const DfxType *ContactListType();
const DfxType *ContactType();
// A value of one of these types described, or copied (the caller owns the
// copy), by the type's own function, as the host would.
void DescribeHostValue(const DfxType *type, const void *value, char *text, int size);
void *CopyHostValue(const DfxType *type, const void *value);

} // namespace kelmar

#endif
