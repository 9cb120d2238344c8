// A scene: everything read from one scene file (or built by code) into a
// universe. It registers solids and other objects, joints, graphics,
// collision geometries and graphics primitives under dotted full names
// ("arm.hand.base"), owns what it registers, rebuilds it from its file
// whenever its universe is (re)initialised, and saves and restores its state.
#ifndef KELMAR_SCENE_H
#define KELMAR_SCENE_H

#include <map>
#include <set>
#include <string>
#include <vector>

#include <kelmar/CdxTypes.h>
#include <kelmar/Hashtable.h>
#include <kelmar/Object.h>
#include <kelmar/PxStream.h>
#include <kelmar/PxXML.h>
#include <kelmar/RbdTypes.h>
#include <kelmar/SbxResponse.h>

namespace kelmar {

class Graphics;
class GraphicsPrimitive;
class Joint;
class Solid;
class Universe;

class Scene {
public:
    // Scene option bits.
    enum Option : unsigned int {
        kCreateDisabled = 0x01,   // solids of the file start with their bodies disabled
        kJointsDisabled = 0x02,   // joints start disabled
        kIgnoreForces = 0x04,     // initial forces and torques of solids are ignored
        kIgnoreVelocities = 0x08, // initial velocities of solids are ignored
        kStatusPose = 0x10,       // status of solids: pose and velocities
        kStatusAppearance = 0x20  // status of solids: colour and options
    };

    // placement: transform of everything the file places (null: identity; a
    // non-rigid one is replaced by the identity with a warning). scale
    // multiplies the file's lengths. variables: "name = value" lines.
    Scene(const char *fileName = nullptr, const double placement[4][4] = nullptr, double scale = 1.0,
          const char *variables = nullptr);
    virtual ~Scene();
    Scene(const Scene &) = delete;
    Scene &operator=(const Scene &) = delete;

    virtual Universe *GetUniverse() const { return universe_; }
    virtual void Warning(int code, const char *format, ...) const;
    virtual void Error(int code, const char *format, ...) const;
    virtual PxStream *StreamOpenWithSearch(const char *name, int mode);

    // Attaches to u (null: the universe attached before) and loads the file;
    // an attached scene is destroyed first. True without a file.
    bool create(Universe *u);
    // destroy() and detach.
    void remove();
    // Deletes everything registered.
    void destroy();
    // Reads a scene file into the scene; true when it read without messages.
    bool load(const char *fileName);
    // Errors and notes (warnings) of the last load; a file that could not be
    // opened or read to its end counts as an error.
    int GetLoadErrorCount() const { return loadErrors_; }
    int GetLoadWarningCount() const { return loadWarnings_; }
    // The variables given to the constructor that the last load never
    // substituted (imported files take only their IMPORT element's).
    const std::vector<std::string> &GetUnusedVariables() const { return unusedVariables_; }

    // ---- Naming ----
    void PushId(const char *id);
    void PopId();
    // The current scope followed by name (valid until the next call).
    const char *GetFullId(const char *name);
    // "base_N" with the scene's counter, which advances.
    std::string MakeDefaultId(const char *base);
    bool PushFile(const char *name);
    void PopFile();
    const char *CurrentFile() const { return files_.empty() ? "" : files_.back().c_str(); }
    // Files being read: 1 in the top-level file, more inside imports.
    int GetNumFiles() const { return static_cast<int>(files_.size()); }
    int GetDepth() const { return depth_; }
    const std::string &GetIdPrefix() const { return idPrefix_; }

    // ---- Registries ----
    // Insert: null on success, else the item already under that name.
    Object *InsertObject(const char *name, Object *object);
    Joint *InsertJoint(const char *name, Joint *joint);
    Graphics *InsertGraphics(const char *name, Graphics *graphics);
    CdxGeometryID InsertGeometry(const char *name, CdxGeometryID geometry);
    GraphicsPrimitive *InsertGP(const char *name, GraphicsPrimitive *primitive);
    // Lookup: relative resolves from the innermost scope outwards.
    Object *LookupObject(const char *name, bool relative = true);
    Joint *LookupJoint(const char *name, bool relative = true);
    Graphics *LookupGraphics(const char *name, bool relative = true);
    CdxGeometryID LookupGeometry(const char *name, bool relative = true);
    GraphicsPrimitive *LookupGP(const char *name, bool relative = true);
    Solid *LookupSolid(const char *name, bool relative = true);
    // Remove: unregisters (never deletes); true when something was removed.
    bool RemoveObject(const char *name);
    bool RemoveJoint(const char *name);
    bool RemoveGraphics(const char *name);
    bool RemoveGeometry(const char *name);
    bool RemoveGP(const char *name);
    bool RemoveObject(Object *object);
    bool RemoveJoint(Joint *joint);
    bool RemoveGraphics(Graphics *graphics);
    const char *GetName(const Object *object) const;
    const char *GetName(const Joint *joint) const;
    int ObjectCount() const { return objects_.Count(); }
    int JointCount() const { return joints_.Count(); }
    template <class F> void ForEachObject(F visit) const { objects_.ForEach(visit); }
    template <class F> void ForEachJoint(F visit) const { joints_.ForEach(visit); }

    // What the registries hold under names beginning with prefix (objects,
    // joints, graphics, geometries, primitives).
    struct ScopeContents {
        std::set<std::string> names[5];
    };
    ScopeContents ListScope(const std::string &prefix) const;
    // Unregisters and deletes what is registered under prefix now and was
    // not in before: an import that failed leaves nothing behind.
    void DestroyScope(const std::string &prefix, const ScopeContents &before);

    // Transform of the named solid, or null for world coordinates (with a
    // message unless the name is empty or "WORLD").
    const double (*GetSolidTransform(const char *solidName, const char *referrerKind, const char *referrerName))[4];
    GraphicsPrimitive *GraphicsPrimFromGeometry(const char *name);
    static GraphicsPrimitive *CreateGraphicsPrimFromGeometry(CdxGeometryID geometry);

    // ---- Stepping, drawing ----
    void Update();
    void draw(unsigned int flags) const;
    const float *GetBounds() const;
    // Lets the bridge drop the contacts of models about to be destroyed.
    void RemoveContacts();

    // ---- Status ----
    void saveStatus(PxStream *stream) const;
    void saveStatus(FILE *file) const;
    int loadStatus(PxXMLElement *element);
    int loadStatus(FILE *file);
    bool saveStatusToTmp(unsigned int flags);
    bool loadStatusFromTmp();
    const char *GetTmpStatusFile() const { return tmpStatusFile_.empty() ? nullptr : tmpStatusFile_.c_str(); }
    // An XML input on stream whose scene is this one; null for a null stream.
    PxXMLInput *CreateXMLInput(PxStream *stream);

    // ---- State ----
    RbdWorldID GetWorld() const { return world_; }
    CdxSpaceID GetSpace() const { return space_; }
    SbxBridgeID GetBridge() const { return bridge_; }
    const char *GetFileName() const { return fileName_.c_str(); }
    const double (*GetPlacement() const)[4] { return placement_; }
    void SetPlacement(const double placement[4][4]);
    double GetScale() const { return scale_; }
    void SetScale(double scale) { scale_ = scale; }
    const std::map<std::string, std::string> &GetVariables() const { return variables_; }

    unsigned int options = kStatusPose | kStatusAppearance;

private:
    std::string Scoped(const char *name) const;
    template <class T> T *LookupIn(const Hashtable<T> &table, const char *name, bool relative) const;
    template <class T> T *InsertIn(Hashtable<T> &table, const char *base, const char *name, T *item);
    void ForgetBounded(const Object *object);
    void ForgetUpdated(const Joint *joint);
    void ForgetUpdated(const Object *object);
    void DestroyJoints();
    void DestroyObjects();
    void DestroyGeometries();
    void DestroyGraphics();

    std::string idPrefix_; // "" or identifiers each followed by "."
    std::string fullId_;   // buffer of GetFullId
    int depth_ = 0;
    int defaultIdCounter_ = 0;
    double scale_ = 1.0;
    Hashtable<GraphicsPrimitive> primitives_{20};
    Hashtable<struct CdxGeometry> geometries_{40};
    Hashtable<Graphics> graphics_{20};
    Hashtable<Joint> joints_{40};
    Hashtable<Object> objects_{40};
    std::vector<Object *> bounded_;
    // The registered joints and objects, once per key, in registration order:
    // Update walks these every step rather than the two name tables' slots.
    std::vector<Joint *> updatedJoints_;
    std::vector<Object *> updatedObjects_;
    RbdWorldID world_ = nullptr;
    CdxSpaceID space_ = nullptr;
    SbxBridgeID bridge_ = nullptr;
    double placement_[4][4];
    std::vector<std::string> files_;
    std::map<std::string, std::string> variables_;
    std::vector<std::string> unusedVariables_;
    Universe *universe_ = nullptr;
    std::string fileName_;
    std::string tmpStatusFile_;
    int loadErrors_ = 0;
    int loadWarnings_ = 0;
};

// Parses "name = value" lines; the first definition of a name wins.
void generateVariableMap(std::map<std::string, std::string> &map, const char *text);

} // namespace kelmar

#endif
