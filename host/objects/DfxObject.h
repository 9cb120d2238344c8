// Host objects: what stands for a solid, joint, robot or camera of a scene
// inside the host's unit tree. An object names its scene and itself; the
// administrator binds it (NewScene) when a scene of that name is loaded,
// and unbinds it (NewScene(null)) before the scene is rebuilt or goes.
// Until it is bound, every use raises the "not yet resolved" exception.
#ifndef KELMAR_HOST_DFXOBJECT_H
#define KELMAR_HOST_DFXOBJECT_H

#include <string>

#include <dfx/dfx.h>
#include <kelmar/CdxTypes.h>

namespace kelmar {

class DfxScene;
class DfxSolidRef;
class GraphicsPrimitive;
class Joint;
class Robot;
class Solid;

class DfxObject {
public:
    DfxObject(const char *name, const char *sceneName, DfxUnit *unit);
    virtual ~DfxObject();
    DfxObject(const DfxObject &) = delete;
    DfxObject &operator=(const DfxObject &) = delete;

    // Binds to scene, or unbinds with null; false when the scene does not
    // hold what the object names (it stays unbound).
    virtual bool NewScene(DfxScene *scene);
    // A line for the host: kind, name, scene and whether it is bound.
    virtual void Description(char *text, int size) const;

    const char *Name() const { return name_.c_str(); }
    const char *SceneName() const { return sceneName_.c_str(); }
    DfxScene *GetScene() const { return scene_; }
    DfxUnit *GetUnit() const { return unit_; }
    void SetName(const char *name) { name_ = name ? name : ""; }
    void SetSceneName(const char *name) { sceneName_ = name ? name : ""; }
    void SetUnit(DfxUnit *unit) { unit_ = unit; }
    bool IsBound() const { return scene_ != nullptr; }
    // An object named after its unit follows the unit's renaming.
    bool NamedByUnit() const { return namedByUnit_; }
    void SetNamedByUnit(bool on) { namedByUnit_ = on; }

protected:
    // Leaves the administrator (unbinding first); the most derived
    // destructor calls it, while its own NewScene is still there.
    void Retire();
    const char *Kind() const;

    std::string name_, sceneName_;
    DfxScene *scene_ = nullptr;
    DfxUnit *unit_;
    bool namedByUnit_ = false;
};

// A solid of a scene: a reference to one the scene file made, or one the
// object makes itself.
class DfxSolid : public DfxObject {
public:
    using DfxObject::DfxObject;
    Solid *GetSolid() const { return solid_; }
    // The solid; raises "badobj:solid" while unresolved.
    Solid *Require() const;
    // A reference to the same solid (scene and full name), registered.
    virtual DfxSolidRef *Copy(DfxUnit *unit) const;

protected:
    Solid *solid_ = nullptr;
};

class DfxSolidRef : public DfxSolid {
public:
    DfxSolidRef(const char *name, const char *sceneName, DfxUnit *unit) : DfxSolid(name, sceneName, unit) {}
    ~DfxSolidRef() override;
    bool NewScene(DfxScene *scene) override;
    // A registered reference to a solid of a host scene (null otherwise).
    static DfxSolidRef *CreateFromSolid(const Solid *solid, DfxUnit *unit);
};

// A solid the object makes: its geometry, a body of its material, a
// graphics object in the material's colour. It keeps its material and
// pose across rebinding.
class DfxSolidSelf : public DfxSolid {
public:
    // material < 0: none (the table's first, drawn in the default colour).
    DfxSolidSelf(const char *name, const char *sceneName, DfxUnit *unit, int material, bool frozen);
    ~DfxSolidSelf() override;
    bool NewScene(DfxScene *scene) override;
    int GetMaterial() const { return material_; }

protected:
    // The geometry of the solid (cm).
    virtual CdxGeometryID create() const = 0;
    // Takes the solid out of its scene and deletes it with its geometry.
    void destroy();

private:
    bool Build(DfxScene *scene);
    int material_;
    bool frozen_;
    bool placed_ = false;
    double pose_[4][4];
    CdxGeometryID geometry_ = nullptr;
    GraphicsPrimitive *primitive_ = nullptr; // owned; the solid's graphics draws it
};

class DfxBox : public DfxSolidSelf {
public:
    DfxBox(const char *name, const char *sceneName, DfxUnit *unit, const double size[3], int material, bool frozen);
    ~DfxBox() override;

protected:
    CdxGeometryID create() const override;

private:
    double size_[3];
};

class DfxSphere : public DfxSolidSelf {
public:
    DfxSphere(const char *name, const char *sceneName, DfxUnit *unit, double radius, int material, bool frozen);
    ~DfxSphere() override;

protected:
    CdxGeometryID create() const override;

private:
    double radius_;
};

class DfxCylinder : public DfxSolidSelf {
public:
    DfxCylinder(const char *name, const char *sceneName, DfxUnit *unit, double radius, double height, int material,
                bool frozen);
    ~DfxCylinder() override;

protected:
    CdxGeometryID create() const override;

private:
    double radius_, height_;
};

class DfxJoint : public DfxObject {
public:
    using DfxObject::DfxObject;
    Joint *GetJoint() const { return joint_; }
    // The joint; raises "badobj:joint" while unresolved.
    Joint *Require() const;

protected:
    Joint *joint_ = nullptr;
};

// A named joint of a scene of one kind (the dialog's choice), or of any
// kind (the script class Joint).
class DfxJointRef : public DfxJoint {
public:
    enum Type { kHinge, kPrismatic, kBallAndSocket, kSpring, kRPROJoint, kTypes, kAnyJoint = kTypes };
    DfxJointRef(const char *name, const char *sceneName, DfxUnit *unit, Type type);
    ~DfxJointRef() override;
    bool NewScene(DfxScene *scene) override;
    static const char *TypeName(Type type);

private:
    Type type_;
};

// A robot: one the scene file names, or one built from a base joint and a
// base solid down to a depth (deleted again on unbinding).
class DfxRobot : public DfxObject {
public:
    // A robot of the scene file.
    DfxRobot(const char *name, const char *sceneName, DfxUnit *unit);
    // A robot built from a base joint and base solid.
    DfxRobot(const char *name, const char *sceneName, DfxUnit *unit, const char *baseJoint, const char *baseSolid,
             int depth);
    ~DfxRobot() override;
    bool NewScene(DfxScene *scene) override;
    Robot *GetRobot() const { return robot_; }
    // The robot; raises "badobj:robot" while unresolved.
    Robot *Require() const;

private:
    bool Build(DfxScene *scene);
    std::string baseJoint_, baseSolid_;
    int depth_ = 0;
    bool builds_ = false;
    Robot *robot_ = nullptr;
};

} // namespace kelmar

#endif
