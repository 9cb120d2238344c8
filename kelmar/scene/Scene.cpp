// Scene life: construction, attaching to a universe, loading, destroying.
#include <kelmar/Scene.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include <kelmar/CdxGeometry.h>
#include <kelmar/CdxSpace.h>
#include <kelmar/Graphics.h>
#include <kelmar/GraphicsPrimitive.h>
#include <kelmar/Joint.h>
#include <kelmar/PxVector.h>
#include <kelmar/SbxBridge.h>
#include <kelmar/SceneLoader.h>
#include <kelmar/Solid.h>
#include <kelmar/Transform.h>
#include <kelmar/Universe.h>

namespace kelmar {

Scene::Scene(const char *fileName, const double placement[4][4], double scale, const char *variables)
    : scale_(scale), fileName_(fileName ? fileName : "")
{
    PxM4Identity(placement_);
    if (placement && IsRigidTM(placement, 1e-7))
        PxM4Copy(placement_, placement);
    else if (placement)
        Warning(0, "invalid basis transformation, using identity instead.\n");
    if (variables) generateVariableMap(variables_, variables);
}

Scene::~Scene()
{
    destroy();
    if (!tmpStatusFile_.empty()) std::remove(tmpStatusFile_.c_str());
}

void Scene::Warning(int code, const char *format, ...) const
{
    (void)code;
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
}

void Scene::Error(int code, const char *format, ...) const
{
    (void)code;
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
}

PxStream *Scene::StreamOpenWithSearch(const char *name, int mode)
{
    return PxStreamOpenWithSearch(name, mode);
}

void Scene::SetPlacement(const double placement[4][4])
{
    PxM4Copy(placement_, placement);
}

bool Scene::create(Universe *u)
{
    Universe *target = u ? u : universe_;
    if (universe_) destroy();
    universe_ = target;
    world_ = target ? target->GetWorld() : nullptr;
    space_ = target ? target->GetSpace() : nullptr;
    bridge_ = target ? target->GetBridge() : nullptr;
    return fileName_.empty() ? true : load(fileName_.c_str());
}

void Scene::remove()
{
    destroy();
    universe_ = nullptr;
    world_ = nullptr;
    space_ = nullptr;
    bridge_ = nullptr;
}

// Joints go before the solids they hold; contacts go before the models they
// belong to; geometries after the models on them.
void Scene::destroy()
{
    DestroyJoints();
    DestroyObjects();
    if (world_ && space_ && bridge_) RemoveContacts();
    DestroyGeometries();
    DestroyGraphics();
}

void Scene::DestroyJoints()
{
    std::vector<Joint *> joints;
    joints_.ForEach([&](const char *, Joint *joint) { joints.push_back(joint); });
    joints_.Clear();
    updatedJoints_.clear();
    for (Joint *joint : joints) delete joint;
}

void Scene::DestroyObjects()
{
    std::vector<Object *> objects;
    objects_.ForEach([&](const char *, Object *object) { objects.push_back(object); });
    objects_.Clear();
    bounded_.clear();
    updatedObjects_.clear();
    for (Object *object : objects) delete object;
}

void Scene::DestroyGeometries()
{
    std::vector<CdxGeometryID> geometries;
    geometries_.ForEach([&](const char *, CdxGeometry *geometry) { geometries.push_back(geometry); });
    geometries_.Clear();
    for (CdxGeometryID geometry : geometries) CdxGeometryDestroy(geometry);
}

void Scene::DestroyGraphics()
{
    std::vector<Graphics *> graphics;
    graphics_.ForEach([&](const char *, Graphics *g) { graphics.push_back(g); });
    graphics_.Clear();
    for (Graphics *g : graphics) delete g;
    std::vector<GraphicsPrimitive *> primitives;
    primitives_.ForEach([&](const char *, GraphicsPrimitive *p) { primitives.push_back(p); });
    primitives_.Clear();
    for (GraphicsPrimitive *p : primitives) delete p;
}

void Scene::RemoveContacts()
{
    SbxBridgeUpdateTransitions(bridge_, space_, world_);
}

PxXMLInput *Scene::CreateXMLInput(PxStream *stream)
{
    if (!stream) return nullptr;
    PxXMLInput *input = PxXMLInputCreate(stream);
    if (input) SetInputScene(input, this);
    return input;
}

bool Scene::load(const char *name)
{
    loadErrors_ = loadWarnings_ = 0;
    PxStream *stream = StreamOpenWithSearch(name, PX_MODE_READ);
    if (!stream) {
        ++loadErrors_;
        Error(0, "Error opening file '%s'\n", name);
        return false;
    }
    defaultIdCounter_ = 0;
    Graphics::ResetDefaultColor();
    PxXMLErrorCollection messages;
    PxXMLErrorCollectionInit(&messages, 4096);
    messages.fileName = name;
    MessageCount count = {PxXMLCummulatingErrorHandler, &messages, 0, 0};
    PxXMLInput *input = CreateXMLInput(stream);
    PxXMLInputSetErrorHandler(input, CountingErrorHandler, &count);
    for (const auto &variable : variables_)
        PxXMLInputSetVariable(input, variable.first.c_str(), variable.second.c_str());
    if (!PxLoad(this, input) && count.errors == 0) ++count.errors;
    unusedVariables_.clear();
    for (const auto &variable : variables_)
        if (!PxXMLInputIsVariableUsed(input, variable.first.c_str())) unusedVariables_.push_back(variable.first);
    loadErrors_ = count.errors;
    loadWarnings_ = count.warnings;
    const bool clean = messages.length == 0;
    if (!clean) Error(0, "Error(s) occured during parsing: \n%s", messages.text);
    if (space_) CdxSpaceBuild(space_);
    PxXMLInputDestroy(input);
    PxStreamClose(stream);
    PxXMLErrorCollectionTerm(&messages);
    return clean;
}

void Scene::Update()
{
    for (Joint *joint : updatedJoints_) joint->Update();
    for (Object *object : updatedObjects_) object->Update();
}

void Scene::draw(unsigned int flags) const
{
    if (flags & kDrawGraphics) graphics_.ForEach([&](const char *, Graphics *g) { g->draw(flags); });
    joints_.ForEach([&](const char *, Joint *joint) { joint->draw(flags); });
    objects_.ForEach([&](const char *, Object *object) { object->draw(flags); });
}

const float *Scene::GetBounds() const
{
    static float bounds[6];
    for (int i = 0; i < 6; ++i) bounds[i] = 0;
    bool first = true;
    for (const Object *object : bounded_) {
        const float *b = object->GetBounds();
        if (!b) continue;
        for (int axis = 0; axis < 3; ++axis) {
            if (first || b[2 * axis] < bounds[2 * axis]) bounds[2 * axis] = b[2 * axis];
            if (first || b[2 * axis + 1] > bounds[2 * axis + 1]) bounds[2 * axis + 1] = b[2 * axis + 1];
        }
        first = false;
    }
    return bounds;
}

void generateVariableMap(std::map<std::string, std::string> &map, const char *text)
{
    const std::string all = text;
    size_t start = 0;
    while (start <= all.size()) {
        size_t end = all.find('\n', start);
        if (end == std::string::npos) end = all.size();
        const std::string line = all.substr(start, end - start);
        const size_t equals = line.find('=');
        if (equals != std::string::npos) {
            auto trim = [](const std::string &s) {
                const size_t a = s.find_first_not_of(" \t\r");
                return a == std::string::npos ? std::string() : s.substr(a, s.find_last_not_of(" \t\r") - a + 1);
            };
            const std::string name = trim(line.substr(0, equals));
            if (!name.empty()) map.emplace(name, trim(line.substr(equals + 1)));
        }
        start = end + 1;
    }
}

} // namespace kelmar
