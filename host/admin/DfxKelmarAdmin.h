// The object administrator: one per process. It keeps the universes,
// scenes, host objects and universe consumers the host has made, and binds
// them by name, late and again and again: a scene goes into the universe it
// names as soon as that universe exists, an object binds as soon as the
// scene it names is loaded, and both let go before what they are bound to
// is rebuilt, renamed or goes away.
//
// Names are found the host's way: from the unit that asks, level by level
// up the unit tree (searching program units below each level too), among
// the named universe or scene units; "outer:name" first finds the unit
// "outer" on the way up and looks for "name" inside it.
#ifndef KELMAR_HOST_DFXKELMARADMIN_H
#define KELMAR_HOST_DFXKELMARADMIN_H

#include <list>
#include <map>
#include <string>
#include <vector>

#include <dfx/dfx.h>

namespace kelmar {

class DfxObject;
class DfxScene;
class DfxUniverse;
class DfxUniverseConsumer;
class Universe;

class DfxKelmarAdmin {
public:
    static const int kSearchDepth = 100; // unit-tree levels a lookup climbs at most

    // ---- Registration (false, with the message, leaves the lists as they were) ----
    bool Register(DfxUniverse *universe);
    void UnRegister(DfxUniverse *universe);
    bool Register(DfxScene *scene);
    void UnRegister(DfxScene *scene);
    // An object without a scene name of its own takes scene's.
    bool Register(DfxObject *object, DfxScene *scene = nullptr);
    void UnRegister(DfxObject *object);
    bool Register(DfxUniverseConsumer *consumer, const char *universeName, DfxUnit *unit);
    void UnRegister(DfxUniverseConsumer *consumer);

    // ---- Lookup ----
    DfxUniverse *FindUniverse(const char *name, DfxUnit *unit, int depth = kSearchDepth, bool searchProgUnits = true);
    DfxScene *FindScene(const char *name, DfxUnit *unit, int depth = kSearchDepth, bool searchProgUnits = true);
    // The one of that name whose unit lies directly in program (null:
    // those made without a unit).
    DfxUniverse *FindProgUnitUniverse(const char *name, DfxUnit *program);
    DfxScene *FindProgUnitScene(const char *name, DfxUnit *program);

    // ---- Binding ----
    void ResolveScenes(DfxUniverse *universe);
    void ResolveSceneObjects(DfxScene *scene);
    bool ResolveObject(DfxObject *object, DfxScene *scene);
    void ResolveConsumers(DfxUniverse *universe);
    void UnResolveScenes(DfxUniverse *universe);
    void UnResolveSceneObjects(DfxScene *scene);
    void UnResolveObject(DfxObject *object);
    void UnResolveConsumers(DfxUniverse *universe);

    // ---- Names, resets, host units ----
    bool Rename(DfxScene *scene, const char *name);
    bool Rename(DfxUniverse *universe, const char *name);
    // Takes the universe's scenes out, resets it and puts them back in.
    void Reset(DfxUniverse *universe);
    // Saves the scene's status (flags & 0x30), rebuilds it and loads it back.
    void Reset(DfxScene *scene, unsigned int flags);
    void SetHostUnit(DfxUniverse *universe, DfxUnit *unit);
    void SetHostUnit(DfxScene *scene, DfxUnit *unit);
    void SetHostUnit(DfxObject *object, DfxUnit *unit);
    void ChangeProgUnitHosts(DfxUnit *oldUnit, DfxUnit *newUnit);
    // Every scene saves its status to its temporary copy and leaves its
    // universe, its objects unbound; RecreateAllScenes puts it all back.
    void DestroyAllScenes();
    void RecreateAllScenes();
    void SaveAllScenes();
    void LoadAllScenes();
    // ':' is refused ("universe" or "scene" for kind); so is an empty name
    // unless allowed.
    bool CheckName(const char *name, const char *kind, bool allowEmpty);
    void ShowUnresolvedObjects();
    void ShowUnresolvedScenes();

    // ---- What it holds ----
    const std::list<DfxUniverse *> &Universes() const { return universes_; }
    const std::list<DfxScene *> &Scenes() const { return scenes_; }
    const std::list<DfxObject *> &Objects() const { return objects_; }
    int NumUniverses() const { return numUniverses_; }
    int NumScenes() const { return numScenes_; }
    int NumObjects() const { return numObjects_; }
    int NumConsumers() const { return numConsumers_; }
    int NumBoundObjects() const;
    bool IsRegistered(const DfxObject *object) const;

private:
    struct Consumer {
        DfxUniverseConsumer *consumer;
        std::string universeName;
        DfxUnit *unit;
        Universe *universe;
    };
    template <class T>
    T *Find(const std::list<T *> &list, const char *label, const char *name, DfxUnit *unit, int depth,
            bool searchProgUnits);
    template <class T>
    T *SearchLevel(const std::list<T *> &list, const char *label, const char *name, DfxUnit *level,
                   bool searchProgUnits);
    template <class T> T *OfUnit(const std::list<T *> &list, const DfxUnit *unit) const;
    bool Clashes(const DfxUniverse *universe, const char *name) const;
    bool Clashes(const DfxScene *scene, const char *name) const;
    bool AddToUniverse(DfxScene *scene);
    void TakeOut(DfxScene *scene);
    void BindWaitingObjects();
    void InstallViewHandlers();
    // The text status carries orientations to 15 digits; a rebuild inside
    // the process puts every solid back on its exact transform as well.
    void KeepPoses(DfxScene *scene);
    void RestorePoses(DfxScene *scene);
    void SaveToTmp(DfxScene *scene, unsigned int flags);
    void LoadFromTmp(DfxScene *scene);

    std::list<DfxUniverse *> universes_;
    std::list<DfxScene *> scenes_;
    std::list<DfxObject *> objects_;
    std::list<Consumer> consumers_;
    int numUniverses_ = 0, numScenes_ = 0, numObjects_ = 0, numConsumers_ = 0;
    bool viewHandlersTried_ = false;
    std::map<const DfxScene *, std::map<std::string, std::vector<double>>> poses_;
};

DfxKelmarAdmin &TheAdmin();

// The program unit a unit lies in (itself for a program unit).
DfxUnit *ProgramOf(DfxUnit *unit);

} // namespace kelmar

#endif
