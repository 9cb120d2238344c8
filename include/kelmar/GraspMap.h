// Grasp analysis: the grasp map of the contacts on a grasped solid, the
// primitive wrenches of its grasp wrench space, and the null space of a
// matrix (of the grasp map: the internal-force directions of the grasp).
//
// The grasp map G (6 x m) takes the contact forces, each in its contact
// frame, to the wrench (force, torque about the centre of mass) they exert
// on the target, in the target's centre-of-mass frame. A frictionless
// contact contributes one column (its normal force), a contact with
// friction in two directions three (two tangents, then the normal);
// contacts with friction in one direction only are left out.
#ifndef KELMAR_GRASPMAP_H
#define KELMAR_GRASPMAP_H

#include <cstdio>
#include <vector>

#include <kelmar/RbdTypes.h>

namespace kelmar {

class ContactList;
class Solid;

class Grasp {
public:
    // contacts: contacts of the target (not owned; may be null). An entry's
    // side is the target's: 1 when the target is the contact's second body.
    Grasp(const Solid *target, const ContactList *contacts);
    virtual ~Grasp() = default;
    Grasp(const Grasp &) = delete;
    Grasp &operator=(const Grasp &) = delete;

    // Formatted output to file, or to the grasp sink's problem channel
    // when file is null; returns 1.
    virtual int eprintf(FILE *file, const char *format, ...) __attribute__((format(printf, 3, 4)));

    // A different list of contacts: the stored grasp map is discarded.
    void SetContacts(const ContactList *contacts);
    // The grasp map, computed when none is stored: 6 values per column,
    // column by column; columns receives m. Null when there are no columns.
    const double *getGraspMap(int &columns);
    // Recomputes the grasp map from the contacts.
    void ComputeGraspMap();
    // Writes the wrenches of basisCount unit forces (6-vectors in the
    // contact frame: t1, t2, n, then unused torque parts) at columns
    // firstColumn ...; flip: the target is the contact's second body.
    void GraspMapInsertContact(RbdContactID contact, const double *basis, int basisCount, int firstColumn, bool flip);

    // The primitive wrenches of the grasp wrench space (L1 variant): the
    // zero wrench, then for every contact with friction in two directions
    // and a friction coefficient mu != 0 the wrenches of edges unit-normal
    // forces on the edges of its friction cone (world frame, torques about
    // the centre of mass). edges below 3 count as 3. Replaces wrenches
    // (6 values each) and returns their number.
    int WrenchSpaceL1(std::vector<double> &wrenches, int edges) const;

    // The null space of the rows x columns matrix held column by column in
    // matrix (single precision), by reduced row echelon form with partial
    // pivoting; magnitudes up to tolerance count as zero. Replaces matrix
    // with the basis vectors: component j of vector k at
    // j * (columns - rank) + k. Returns the number of vectors,
    // columns - rank (-1 for sizes below 1).
    static int ComputeNullSpace(std::vector<float> &matrix, int rows, int columns, float tolerance);

    const Solid *GetTarget() const { return target_; }

private:
    int CountColumns() const;

    const Solid *target_;
    const ContactList *contacts_;
    std::vector<double> graspMap_; // 6 x columns, column by column
    int graspMapColumns_ = 0;
    bool computed_ = false;
};

} // namespace kelmar

#endif
