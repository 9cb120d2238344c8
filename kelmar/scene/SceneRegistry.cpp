// Naming scopes and the five registries of a scene.
#include <kelmar/Scene.h>

#include <algorithm>
#include <cstdio>

#include <kelmar/Joint.h>
#include <kelmar/Solid.h>
#include <kelmar/Transform.h>

namespace kelmar {

void Scene::PushId(const char *id)
{
    if (depth_ == 0) idPrefix_.clear();
    idPrefix_ += id;
    idPrefix_ += '.';
    ++depth_;
}

void Scene::PopId()
{
    if (depth_ > 0) --depth_;
    if (depth_ == 0) {
        idPrefix_.clear();
        return;
    }
    idPrefix_.pop_back(); // the trailing "."
    const size_t dot = idPrefix_.rfind('.');
    idPrefix_.erase(dot == std::string::npos ? 0 : dot + 1);
}

const char *Scene::GetFullId(const char *name)
{
    fullId_ = Scoped(name);
    return fullId_.c_str();
}

std::string Scene::Scoped(const char *name) const
{
    return idPrefix_ + (name ? name : "");
}

std::string Scene::MakeDefaultId(const char *base)
{
    char text[64];
    std::snprintf(text, sizeof text, "%s_%i", base, defaultIdCounter_++);
    return text;
}

bool Scene::PushFile(const char *name)
{
    if (std::find(files_.begin(), files_.end(), name) != files_.end()) {
        Error(0, "You tried to open '%s' twice.\nCheck your <IMPORT> hierarchy for infinite recursion.\n", name);
        return false;
    }
    files_.push_back(name);
    return true;
}

void Scene::PopFile()
{
    if (!files_.empty()) files_.pop_back();
}

// An empty name gets a generated one; the key is the scoped full name.
template <class T> T *Scene::InsertIn(Hashtable<T> &table, const char *base, const char *name, T *item)
{
    const std::string given = name && *name ? std::string(name) : MakeDefaultId(base);
    return table.Insert(Scoped(given.c_str()).c_str(), item);
}

// From the innermost scope outwards to the bare name; a leading "." means
// the name is absolute.
template <class T> T *Scene::LookupIn(const Hashtable<T> &table, const char *name, bool relative) const
{
    if (!name || !*name) return nullptr;
    if (!relative || name[0] == '.') return table.Lookup(name[0] == '.' && relative ? name + 1 : name);
    std::string prefix = idPrefix_;
    for (;;) {
        T *item = table.Lookup((prefix + name).c_str());
        if (item) return item;
        if (prefix.empty()) return nullptr;
        prefix.pop_back();
        const size_t dot = prefix.rfind('.');
        prefix.erase(dot == std::string::npos ? 0 : dot + 1);
    }
}

Object *Scene::InsertObject(const char *name, Object *object)
{
    const std::string given = name && *name ? std::string(name) : MakeDefaultId("OBJ");
    const std::string full = Scoped(given.c_str());
    Object *existing = objects_.Insert(full.c_str(), object);
    if (existing) return existing;
    updatedObjects_.push_back(object);
    object->SetName(full.c_str());
    if (object->GetBounds()) bounded_.insert(bounded_.begin(), object);
    return nullptr;
}

Joint *Scene::InsertJoint(const char *name, Joint *joint)
{
    const std::string given = name && *name ? std::string(name) : MakeDefaultId("CON");
    const std::string full = Scoped(given.c_str());
    Joint *existing = joints_.Insert(full.c_str(), joint);
    if (existing) return existing;
    updatedJoints_.push_back(joint);
    joint->SetName(full.c_str());
    return nullptr;
}

Graphics *Scene::InsertGraphics(const char *name, Graphics *graphics)
{
    return InsertIn(graphics_, "GRA", name, graphics);
}

CdxGeometryID Scene::InsertGeometry(const char *name, CdxGeometryID geometry)
{
    return InsertIn(geometries_, "GEO", name, geometry);
}

GraphicsPrimitive *Scene::InsertGP(const char *name, GraphicsPrimitive *primitive)
{
    return InsertIn(primitives_, "GP", name, primitive);
}

Object *Scene::LookupObject(const char *name, bool relative)
{
    return LookupIn(objects_, name, relative);
}

Joint *Scene::LookupJoint(const char *name, bool relative)
{
    return LookupIn(joints_, name, relative);
}

Graphics *Scene::LookupGraphics(const char *name, bool relative)
{
    return LookupIn(graphics_, name, relative);
}

CdxGeometryID Scene::LookupGeometry(const char *name, bool relative)
{
    return LookupIn(geometries_, name, relative);
}

GraphicsPrimitive *Scene::LookupGP(const char *name, bool relative)
{
    return LookupIn(primitives_, name, relative);
}

Solid *Scene::LookupSolid(const char *name, bool relative)
{
    return dynamic_cast<Solid *>(LookupObject(name, relative));
}

void Scene::ForgetBounded(const Object *object)
{
    bounded_.erase(std::remove(bounded_.begin(), bounded_.end(), object), bounded_.end());
}

// One key gone, one entry goes: an item under two keys keeps the other.
template <class T> static void ForgetOne(std::vector<T *> &list, const T *item)
{
    auto found = std::find(list.begin(), list.end(), item);
    if (found != list.end()) list.erase(found);
}

void Scene::ForgetUpdated(const Joint *joint)
{
    ForgetOne(updatedJoints_, joint);
}

void Scene::ForgetUpdated(const Object *object)
{
    ForgetOne(updatedObjects_, object);
}

bool Scene::RemoveObject(const char *name)
{
    Object *object = objects_.Lookup(Scoped(name).c_str());
    return object ? RemoveObject(object) : false;
}

bool Scene::RemoveObject(Object *object)
{
    if (!objects_.RemoveItem(object)) return false;
    ForgetUpdated(object);
    object->SetName(nullptr);
    ForgetBounded(object);
    return true;
}

bool Scene::RemoveJoint(const char *name)
{
    Joint *joint = joints_.Lookup(Scoped(name).c_str());
    return joint ? RemoveJoint(joint) : false;
}

bool Scene::RemoveJoint(Joint *joint)
{
    if (!joints_.RemoveItem(joint)) return false;
    ForgetUpdated(joint);
    joint->SetName(nullptr);
    return true;
}

bool Scene::RemoveGraphics(const char *name)
{
    return graphics_.Remove(Scoped(name).c_str());
}

bool Scene::RemoveGraphics(Graphics *graphics)
{
    return graphics_.RemoveItem(graphics);
}

bool Scene::RemoveGeometry(const char *name)
{
    return geometries_.Remove(Scoped(name).c_str());
}

bool Scene::RemoveGP(const char *name)
{
    return primitives_.Remove(Scoped(name).c_str());
}

const char *Scene::GetName(const Object *object) const
{
    return objects_.KeyOf(object);
}

const char *Scene::GetName(const Joint *joint) const
{
    return joints_.KeyOf(joint);
}

const double (*Scene::GetSolidTransform(const char *solidName, const char *referrerKind, const char *referrerName))[4]
{
    if (!solidName || !*solidName || std::string(solidName) == "WORLD") return nullptr;
    const Solid *solid = LookupSolid(solidName);
    if (!solid) {
        Error(0,
              "Parse error in file '%s': Solid '%s' referenced from %s '%s' is not created yet, using world "
              "coordinates instead.\n",
              CurrentFile(), solidName, referrerKind, referrerName);
        return nullptr;
    }
    if (!solid->GetTM() || !IsRigidTM(solid->GetTM(), 1e-7)) {
        Error(0,
              "Internal error parsing file '%s': Transform of solid '%s' not defined, using world coordinates "
              "instead.\n",
              CurrentFile(), solidName);
        return nullptr;
    }
    return solid->GetTM();
}

} // namespace kelmar
