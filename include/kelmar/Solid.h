// One rigid object of a scene: a collision model in the universe's space,
// usually a dynamics body in its world, an optional graphics object, a
// material and a pose (cm, world). Fixed solids have no body; ghosts have no
// collision model.
#ifndef KELMAR_SOLID_H
#define KELMAR_SOLID_H

#include <kelmar/CdxTypes.h>
#include <kelmar/Object.h>
#include <kelmar/RbdTypes.h>

namespace kelmar {

class ContactList;
class Graphics;

class Solid : public Object {
public:
    enum Option : unsigned int {
        kDrawContacts = 0x01,
        kDrawForces = 0x02,
        kDrawInertia = 0x04, // centre of mass and inertia ellipsoid
        kInteractable = 0x08 // can be picked with the mouse
    };

    Solid() = default;
    ~Solid() override;

    // Makes the collision model on geometry (none when noCollision) and a
    // body with mass properties from the geometry. material outside the
    // table uses 0; density < 0 takes the material's (kg/cm^3); mass > 0
    // (kg) replaces the mass with the inertia scaled along; inertia (Ixx,
    // Ixy, Ixz, Iyy, Iyz, Izz, kg cm^2) replaces the tensor, and only then
    // does comOffset (cm) move the centre of mass. frozen: the body is held.
    bool CreateFromGeometry(const Scene *scene, CdxGeometryID geometry, bool frozen, bool noCollision, int material,
                            double density, double mass, const double *inertia, bool enabled,
                            const double *comOffset);

    // A fixed solid: a model at the initial transform, held still in the
    // space, and no body (it is not part of any island).
    bool CreateFixed(const Scene *scene, CdxGeometryID geometry, int material);

    void draw(unsigned int flags) const override;
    void Update() override;
    void saveStatus(PxStream *stream) const override;
    int loadStatus(PxXMLElement *element) override;
    virtual void ToggleTransparency(bool on);
    virtual void loadStatusInit(PxXMLElement *element);
    virtual void loadStatusFinish(PxXMLElement *element);
    virtual void RemoveFromKelmar();
    virtual bool IsVisible() const;
    virtual bool IsInteractable() const;
    // One PART element of the status (composites restore their parts' colours).
    virtual int loadPartStatus(PxXMLElement *element);

    // ---- Pose (cm) ----
    // The transform the solid is created at (before creation; null frees it).
    void SetInitialTM(const double tm[4][4]);
    void SetTM(const double tm[4][4]);
    // Moves in steps of at most maxStep (cm) and maxRotation (summed squared
    // quaternion differences), stepping the universe between them.
    void SetTMstepwise(const double tm[4][4], double maxStep, double maxRotation);
    // Moves the solid and, rigidly with it, every solid jointed to it
    // (except notBackTo, which the walk does not enter).
    void SetTMAndUpdateAttachments(const double tm[4][4], const Solid *notBackTo = nullptr);
    void SetPosition(const double *position);
    void GetPosition(double *position) const;
    void SetQuaternion(const double *q); // w, x, y, z; normalised first
    void GetQuaternion(double *q) const;
    const double (*GetTM() const)[4] { return tm_; }
    // Centre of mass (cm, world).
    void GetCOM(double *com) const;
    // Centre of mass relative to the body frame (cm).
    void SetCOMOffset(const double *offset);

    // ---- Material, appearance ----
    bool SetMaterial(int material);
    bool SetMaterial(const char *name);
    int GetMaterial() const;
    void SetColor(const char *colorName, float alpha);
    void SetGraphics(Graphics *graphics); // owned from now on
    Graphics *GetGraphics() const { return graphics_; }

    void Freeze();
    void UnFreeze();
    unsigned int GetOptions() const { return options_; }
    void SetOptions(unsigned int options);
    void AddOptions(unsigned int options);
    void ClearOptions(unsigned int options);
    void ToggleOptions(unsigned int options);

    // ---- Forces (kg cm/s^2, kg cm^2/s^2; world) ----
    void ComputeTotalForceAndTorque();
    void GetTotalForce(double *force);
    void GetTotalTorque(double *torque);

    // ---- Contacts (caller owns the list) ----
    // type 0: every contact; else only those against solids of that type.
    ContactList *GetContacts(int type) const;
    ContactList *GetContacts(const Solid *other) const;

    RbdBodyID GetBody() const { return body_; }
    CdxModelID GetModel() const { return model_; }
    bool IsGhost() const { return noCollision_; }
    int type = 0; // user-assigned solid type, for filtering contacts

protected:
    void OptionsChanged(unsigned int oldOptions, unsigned int newOptions);
    // Creates the body and hands the pose over to it (steps shared with composites).
    bool AttachBody(bool frozen, bool enabled);
    void ResyncFrozenModel();
    void WriteTM(const double tm[4][4]);
    void FreeOwnTM();
    void DrawContactsAndForces() const;
    void DrawCOM() const;
    void DrawInertia() const;

    bool noCollision_ = false;
    CdxModelID model_ = nullptr;
    RbdBodyID body_ = nullptr;
    Graphics *graphics_ = nullptr;
    double (*tm_)[4] = nullptr;    // the body's transform, or ownTM_
    double (*ownTM_)[4] = nullptr; // own block of a solid without body
    unsigned int options_ = kInteractable;
    mutable unsigned int cacheValid_ = 0; // 1: total force, 2: total torque
    double totalForce_[3] = {0, 0, 0};
    double totalTorque_[3] = {0, 0, 0};

private:
    void MoveAttachments(const double delta[4][4], const Solid *from, unsigned int pass);
    void StatusQuaternion(double q[4]) const;
    void RememberStatusQuaternion(const double q[4]);
    unsigned int movePass_ = 0;
    // The quaternion a status gave, with the rotation it produced: while
    // the rotation is unchanged, a status save writes it back unchanged.
    double statusQuaternion_[4] = {1, 0, 0, 0};
    double statusRotation_[9] = {0, 0, 0, 0, 0, 0, 0, 0, 0};
};

} // namespace kelmar

#endif
