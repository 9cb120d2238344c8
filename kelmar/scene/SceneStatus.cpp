// Scene status: one OBJECT element per object and one JOINT element per
// joint, matched by full name on loading; and the temporary status file
// that carries a scene's state across a rebuild.
#include <kelmar/Scene.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include <kelmar/Joint.h>
#include <kelmar/PxVector.h>
#include <kelmar/SceneLoader.h>

namespace kelmar {

namespace {

struct StatusTarget {
    Scene *scene;
};

int LoadObjectStatus(PxXMLElement *element)
{
    Scene *scene = GetScene(element);
    Object *object = scene && element->attributes ? scene->LookupObject(element->attributes, false) : nullptr;
    return object ? object->loadStatus(element) : PX_XML_SKIP_ELEMENT;
}

int LoadJointStatus(PxXMLElement *element)
{
    Scene *scene = GetScene(element);
    Joint *joint = scene && element->attributes ? scene->LookupJoint(element->attributes, false) : nullptr;
    return joint ? joint->loadStatus(element) : PX_XML_SKIP_ELEMENT;
}

} // namespace

void Scene::saveStatus(PxStream *stream) const
{
    auto save = [stream](const char *tag, const char *name, const Object *item) {
        PxXMLIndent();
        PxXMLWriteStartTagAttrib(tag, stream, "%s", name);
        item->saveStatus(stream);
        PxXMLWriteEndTag(tag, stream);
        PxXMLDeIndent();
    };
    objects_.ForEach([&](const char *name, Object *object) { save("OBJECT", name, object); });
    joints_.ForEach([&](const char *name, Joint *joint) { save("JOINT", name, joint); });
}

void Scene::saveStatus(FILE *file) const
{
    PxStream *stream = PxStreamCreate(file);
    PxXMLWriteStartTag("SCENE", stream);
    saveStatus(stream);
    PxXMLWriteEndTag("SCENE", stream);
    PxStreamDestroy(stream);
}

// Status values are world values: placement and scale are neutral while
// they are read.
int Scene::loadStatus(PxXMLElement *element)
{
    PxXMLInput *input = PxXMLElementGetInput(element);
    Scene *previousScene = GetScene(input);
    SetInputScene(input, this);
    double placement[4][4];
    PxM4Copy(placement, placement_);
    const double scale = scale_;
    PxM4Identity(placement_);
    scale_ = 1.0;
    PxXMLHandler handlers[] = {PX_XML_ELEMENT("OBJECT", LoadObjectStatus), PX_XML_ELEMENT("JOINT", LoadJointStatus),
                               PX_XML_END};
    const int result = PxXMLElementProcess(element, handlers, nullptr);
    PxM4Copy(placement_, placement);
    scale_ = scale;
    SetInputScene(input, previousScene);
    return result;
}

int Scene::loadStatus(FILE *file)
{
    PxStream *stream = PxStreamCreate(file);
    PxXMLElement *element = CreateParser(stream, "SCENE");
    int result = PX_XML_STRUCTURE_ERROR;
    if (element) {
        result = loadStatus(element);
        DestroyParser(element);
    }
    PxStreamDestroy(stream);
    return result;
}

// flags & 0x30 chooses what the saved status holds.
bool Scene::saveStatusToTmp(unsigned int flags)
{
    if (!tmpStatusFile_.empty()) std::remove(tmpStatusFile_.c_str());
    tmpStatusFile_.clear();
    // TMPDIR first, as other programs do: two universes resetting at once in
    // separate directories never see each other's files.
    const char *dir = std::getenv("TMPDIR");
    std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/paxkelmarXXXXXX";
    const int fd = mkstemp(&pattern[0]);
    if (fd < 0) return false;
    FILE *file = fdopen(fd, "w");
    if (!file) {
        close(fd);
        std::remove(pattern.c_str());
        return false;
    }
    tmpStatusFile_ = pattern;
    const unsigned int saved = options;
    options = (options & ~(kStatusPose | kStatusAppearance)) | (flags & (kStatusPose | kStatusAppearance));
    saveStatus(file);
    options = saved;
    std::fclose(file);
    return true;
}

bool Scene::loadStatusFromTmp()
{
    if (tmpStatusFile_.empty()) return false;
    FILE *file = std::fopen(tmpStatusFile_.c_str(), "r");
    const int result = file ? loadStatus(file) : PX_XML_STRUCTURE_ERROR;
    if (file) std::fclose(file);
    std::remove(tmpStatusFile_.c_str());
    tmpStatusFile_.clear();
    return result == PX_XML_OK;
}

} // namespace kelmar
