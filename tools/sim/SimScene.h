// A scene ready to step: a simulation universe, everything the scene made
// in it (and destroys again, in an order that leaves nothing dangling),
// the bodies whose motion is reported, and the scene's quality figures.
#ifndef KELMAR_TOOLS_SIMSCENE_H
#define KELMAR_TOOLS_SIMSCENE_H

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include <kelmar/Cdx.h>
#include <kelmar/Rbd.h>
#include <kelmar/Sbx.h>

#include "SimQuality.h"

namespace ksim {

// How a shape appears in a picture.
enum class Role { Body, Fixed, Kinematic, Sensor };

// A shape to draw: a geometry placed by a transform that changes as the
// scene runs (a body's, a model's or one the scene moves itself).
struct Drawable {
    CdxGeometryID geometry;
    const PxReal (*transform)[4];
    Role role;
    RbdBodyID body; // null for shapes without a body
};

// A triangle of a triangle list, in the list's frame.
struct ListTriangle {
    PxVector3 corner[3];
};

// A body the scene reports, under a name for the trajectory file.
struct NamedBody {
    RbdBodyID body;
    std::string name;
};

class Scene {
public:
    Scene(std::string name, SbxUniverseSizes sizes);
    ~Scene();
    Scene(const Scene &) = delete;
    Scene &operator=(const Scene &) = delete;

    // False when the universe could not be made (the scene is unusable).
    bool valid() const { return universe_ != nullptr; }
    const std::string &name() const { return name_; }
    SbxUniverseID universe() const { return universe_; }
    RbdWorldID world() const { return SbxUniverseGetWorld(universe_); }
    CdxSpaceID space() const { return SbxUniverseGetSpace(universe_); }
    SbxBridgeID bridge() const { return SbxUniverseGetBridge(universe_); }

    // Ownership: the scene destroys what it was handed when it ends.
    CdxGeometryID keep(CdxGeometryID geometry);
    CdxModelID own(CdxModelID model);
    RbdConstraintID own(RbdConstraintID constraint);
    // Stable storage for a transform a model without a body reads.
    PxMatrix4 *pose(const PxMatrix4 initial);
    // Stable storage for a velocity a kinematic model reads.
    PxReal *vector(PxReal x, PxReal y, PxReal z);
    // A triangle list geometry holding these triangles (all of them are
    // handed to every test); the scene keeps their storage and draws them.
    CdxGeometryID triangleList(const std::vector<ListTriangle> &triangles);
    // An element model on geometry for a composite, with stable storage for
    // its world placement; destroyed after the composite.
    CdxModelID element(CdxGeometryID geometry);

    // A dynamic body on geometry at density, placed at position with the
    // quaternion q (w, x, y, z), reported under name.
    CdxModelID body(CdxGeometryID geometry, PxReal density, const PxVector3 position, const PxQuaternion q,
                    const std::string &name);
    // A body of the world without a collision model, reported under name
    // and drawn as shape.
    void report(RbdBodyID body, const std::string &name, CdxGeometryID shape);
    // Reports a body made by other means (a loaded file) under name.
    void report(RbdBodyID body, const std::string &name);

    const std::vector<NamedBody> &bodies() const { return bodies_; }
    std::vector<RbdBodyID> bodyIds() const;
    // Every shape to draw: the space's models (elements of composites
    // instead of the composite) and the bodies that have no model.
    std::vector<Drawable> drawables() const;
    // Reported bodies with nothing to draw (no model, no shape given).
    std::vector<RbdBodyID> shapeless() const;
    // The triangles of a triangle list geometry, null when unknown.
    const std::vector<ListTriangle> *trianglesOf(CdxGeometryID list) const;

    // One step of h seconds through the universe, with the scene's own
    // motion (kinematic models) before it.
    void step(PxReal h);
    // Observation after a step (outside any timed region).
    void observe();
    PxReal time() const { return time_; }
    int stepsDone() const { return steps_; }

    // What the scene is judged by, after the steps so far.
    Figures figures() const;

    // Hooks a scene builder installs.
    std::function<void(Scene &, PxReal time, PxReal h)> beforeStep;
    std::function<void(Scene &)> afterStep;
    std::function<Figures(const Scene &)> judge;
    // Runs first when the scene ends (objects made by other means).
    std::function<void()> teardown;
    // Free text for the summary (what the scene shows).
    std::string description;

private:
    struct Owned3 {
        PxReal v[3];
    };
    struct OwnedPose {
        PxMatrix4 m;
    };
    struct OwnedList {
        CdxGeometryID list;
        std::vector<ListTriangle> triangles;
        std::vector<PxReal> normals;
        std::vector<CdxUserTriangle> user;
    };
    struct Loose {
        RbdBodyID body;
        CdxGeometryID shape;
    };

    std::string name_;
    SbxUniverseID universe_ = nullptr;
    std::vector<CdxGeometryID> geometries_;
    std::vector<CdxModelID> models_;
    std::vector<CdxModelID> elements_;
    std::vector<RbdConstraintID> constraints_;
    std::deque<OwnedPose> poses_;
    std::deque<Owned3> vectors_;
    std::deque<OwnedList> lists_;
    std::vector<NamedBody> bodies_;
    std::vector<Loose> loose_;
    PxReal time_ = 0.0;
    int steps_ = 0;
};

} // namespace ksim

#endif
