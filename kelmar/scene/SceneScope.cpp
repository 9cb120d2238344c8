// Taking back what was registered under one naming scope, in the order
// destroy() uses: joints before the solids they hold, contacts before their
// models, geometries and primitives after the solids and graphics on them.
#include <kelmar/Scene.h>

#include <kelmar/CdxGeometry.h>
#include <kelmar/Graphics.h>
#include <kelmar/GraphicsPrimitive.h>
#include <kelmar/Joint.h>

namespace kelmar {

namespace {

enum { kObjects, kJoints, kGraphics, kGeometries, kPrimitives };

bool StartsWith(const char *name, const std::string &prefix)
{
    return std::string(name).compare(0, prefix.size(), prefix) == 0;
}

template <class T> void List(const Hashtable<T> &table, const std::string &prefix, std::set<std::string> &names)
{
    table.ForEach([&](const char *key, T *) {
        if (StartsWith(key, prefix)) names.insert(key);
    });
}

// The items under prefix that were not there before, unregistered.
template <class T>
std::vector<T *> Take(Hashtable<T> &table, const std::string &prefix, const std::set<std::string> &before)
{
    std::vector<std::string> keys;
    std::vector<T *> items;
    table.ForEach([&](const char *key, T *item) {
        if (StartsWith(key, prefix) && !before.count(key)) {
            keys.push_back(key);
            items.push_back(item);
        }
    });
    for (const std::string &key : keys) table.Remove(key.c_str());
    return items;
}

} // namespace

Scene::ScopeContents Scene::ListScope(const std::string &prefix) const
{
    ScopeContents contents;
    List(objects_, prefix, contents.names[kObjects]);
    List(joints_, prefix, contents.names[kJoints]);
    List(graphics_, prefix, contents.names[kGraphics]);
    List(geometries_, prefix, contents.names[kGeometries]);
    List(primitives_, prefix, contents.names[kPrimitives]);
    return contents;
}

void Scene::DestroyScope(const std::string &prefix, const ScopeContents &before)
{
    for (Joint *joint : Take(joints_, prefix, before.names[kJoints])) {
        joint->SetName(nullptr);
        ForgetUpdated(joint);
        delete joint;
    }
    for (Object *object : Take(objects_, prefix, before.names[kObjects])) {
        object->SetName(nullptr);
        ForgetBounded(object);
        ForgetUpdated(object);
        delete object;
    }
    if (world_ && space_ && bridge_) RemoveContacts();
    for (CdxGeometryID geometry : Take(geometries_, prefix, before.names[kGeometries])) CdxGeometryDestroy(geometry);
    for (Graphics *graphics : Take(graphics_, prefix, before.names[kGraphics])) delete graphics;
    for (GraphicsPrimitive *primitive : Take(primitives_, prefix, before.names[kPrimitives])) delete primitive;
}

} // namespace kelmar
