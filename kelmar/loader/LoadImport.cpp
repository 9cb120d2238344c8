// IMPORT: another scene file read into this scene under the naming scope
// ID, placed by its transform (relative to a RELTO solid), scaled by SCALE
// and given its own variables. Scope, placement, scale and the message
// file name are restored on every way out; an import that fails takes back
// everything it registered.
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <string>
#include <utility>
#include <vector>

#include <kelmar/PxVector.h>
#include <kelmar/Scene.h>
#include <kelmar/SceneLoader.h>

#include "LoadElements.h"

namespace kelmar {

namespace {

const int kTextSize = 256;

struct ImportValues {
    char id[kTextSize];
    char name[kTextSize];
    double scale;
    TransformSpec transform;
    std::vector<std::pair<std::string, std::string>> *variables;
};

// VAR children: identifier = name, content = value, handed to the file.
int LoadImportVariable(PxXMLElement *element)
{
    auto *variables = static_cast<std::vector<std::pair<std::string, std::string>> *>(
        PxXMLInputGetUserData(PxXMLElementGetInput(element)));
    const std::string value = ReadElementText(element);
    if (element->attributes && *element->attributes) variables->emplace_back(element->attributes, value);
    return PX_XML_SKIP_ELEMENT;
}

// The file an IMPORT names: ".px" added when missing; "./name" beside the
// importing file.
std::string FileNameOf(const Scene &scene, const char *name)
{
    std::string file = name;
    if (file.size() < 3 || file.compare(file.size() - 3, 3, ".px") != 0) file += ".px";
    if (file.compare(0, 2, "./") != 0) return file;
    const std::string current = scene.CurrentFile();
    const size_t slash = current.rfind('/');
    return slash == std::string::npos ? file : current.substr(0, slash + 1) + file.substr(2);
}

// The scene opens the file (a host may find files its own way); only a
// regular file is read, never a folder, device or pipe that would not end.
PxStream *OpenRegularFile(Scene &scene, const char *name)
{
    PxStream *stream = scene.StreamOpenWithSearch(name, PX_MODE_READ);
    struct stat info;
    if (!stream || (stream->file && fstat(fileno(stream->file), &info) == 0 && S_ISREG(info.st_mode))) return stream;
    PxStreamClose(stream);
    return nullptr;
}

// Scene state an import changes, put back by the destructor.
class ImportScope {
public:
    ImportScope(Scene &scene, PxXMLInput *input) : scene_(scene), input_(input), scale_(scene.GetScale())
    {
        PxM4Copy(placement_, scene.GetPlacement());
    }
    ~ImportScope()
    {
        if (pushed_) scene_.PopId();
        if (messages_) messages_->fileName = previousFile_;
        scene_.SetScale(scale_);
        scene_.SetPlacement(placement_);
    }
    void Enter(const char *id, const double placement[4][4], double scale)
    {
        scene_.SetPlacement(placement);
        scene_.SetScale(scale_ * scale);
        scene_.PushId(id);
        pushed_ = true;
    }
    // Messages of the imported file say which file they belong to.
    void NameMessagesAfter(const char *file)
    {
        messages_ = MessageCollectionOf(input_);
        if (!messages_) return;
        previousFile_ = messages_->fileName;
        messages_->fileName = file;
    }

private:
    Scene &scene_;
    PxXMLInput *input_;
    double scale_;
    double placement_[4][4];
    bool pushed_ = false;
    PxXMLErrorCollection *messages_ = nullptr;
    const char *previousFile_ = nullptr;
};

// Reads the opened file into the scene; true when it read without errors.
bool ReadImported(Scene &scene, PxXMLInput *importer, PxStream *stream, const ImportValues &v)
{
    PxXMLInput *input = scene.CreateXMLInput(stream);
    if (!input) {
        LoadError(importer, "couldn't create parser for file '%s'.\n", stream->name);
        return false;
    }
    MessageCount count = {importer->errorHandler, importer->errorHandlerData, 0, 0};
    PxXMLInputSetErrorHandler(input, CountingErrorHandler, &count);
    for (const auto &variable : *v.variables)
        PxXMLInputSetVariable(input, variable.first.c_str(), variable.second.c_str());
    const bool read = PxLoad(&scene, input);
    PxXMLInputDestroy(input);
    return read && count.errors == 0;
}

void Import(Scene &scene, PxXMLInput *input, const PxXMLHandler *handlers, const ImportValues &v)
{
    const std::string file = FileNameOf(scene, v.name);
    double placement[4][4];
    const double(*relTo)[4] = v.transform.relTo[0] ? scene.GetSolidTransform(v.transform.relTo, "IMPORT", v.id)
                                                   : nullptr;
    GenerateTransform(input, handlers, "scene base transform", v.transform, scene.GetScale(),
                      relTo ? relTo : scene.GetPlacement(), placement);
    PxStream *stream = OpenRegularFile(scene, file.c_str());
    if (!stream) {
        LoadError(input, "Imported file '%s' not found.\n", file.c_str());
        return;
    }
    ImportScope scope(scene, input);
    scope.Enter(v.id, placement, Given(handlers, "SCALE") ? v.scale : 1.0);
    scope.NameMessagesAfter(stream->name);
    const std::string prefix = scene.GetIdPrefix();
    const Scene::ScopeContents before = scene.ListScope(prefix);
    const bool read = ReadImported(scene, input, stream, v);
    PxStreamClose(stream);
    if (!read) scene.DestroyScope(prefix, before);
}

} // namespace

int LoadImport(PxXMLElement *element)
{
    Scene *scene = GetScene(element);
    PxXMLInput *input = PxXMLElementGetInput(element);
    std::vector<std::pair<std::string, std::string>> variables;
    ImportValues v = {};
    v.variables = &variables;
    SetDefaultID(v.id, element->attributes, kTextSize);
    PxXMLHandler handlers[] = {PX_XML_VALUE("ID", PxXMLParseString, offsetof(ImportValues, id), kTextSize),
                               PX_XML_VALUE("NAME", PxXMLParseString, offsetof(ImportValues, name), kTextSize),
                               PX_XML_VALUE("SCALE", PxXMLParseDouble, offsetof(ImportValues, scale), 1),
                               PX_XML_ELEMENT("VAR", LoadImportVariable),
                               KELMAR_TRANSFORM_TAGS(ImportValues, transform),
                               PX_XML_END};
    const int result = ProcessFor(&variables, element, handlers, &v);
    if (!scene) return result;
    if (!v.id[0]) {
        LoadError(input, "<IMPORT> element must have an <ID> element.\n");
        return result;
    }
    if (std::strchr(v.id, '.')) {
        LoadError(input, "<IMPORT> element cannot have an <ID> containing a dot\n");
        return result;
    }
    if (!v.name[0]) {
        LoadError(input, "<IMPORT> element must have an <NAME> element.\n");
        return result;
    }
    Import(*scene, input, handlers, v);
    return result;
}

} // namespace kelmar
