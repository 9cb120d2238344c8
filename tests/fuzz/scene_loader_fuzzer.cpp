// libFuzzer target for the scene-file loader: each input is a set of up to
// four files held in memory (split at the line "#FILE"), the first loaded
// into a fresh simulation universe, the others reachable by imports as
// f1.px, f2.px and f3.px (and any name through a .px name that is not one
// of them, which opens nothing). The load may fail or warn; it must not
// crash, leak, hang or end the process (a fatal error exits, which the
// fuzzer reports), and what it made is stepped twice and destroyed.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "kelmar/Cdx.h"
#include "kelmar/PxFile.h"
#include "kelmar/Px.h"
#include "kelmar/Rbd.h"
#include "kelmar/Sbx.h"

namespace {

struct FileSet {
    std::vector<std::string> texts; // texts[0] is the scene, texts[k] is fk.px
};

FileSet split(const uint8_t *data, size_t size)
{
    FileSet set;
    const std::string all(reinterpret_cast<const char *>(data), size);
    const std::string marker = "\n#FILE\n";
    size_t start = 0;
    while (set.texts.size() < 3) {
        const size_t at = all.find(marker, start);
        if (at == std::string::npos) break;
        set.texts.push_back(all.substr(start, at - start));
        start = at + marker.size();
    }
    set.texts.push_back(all.substr(start));
    return set;
}

PxStream *openFromSet(const char *name, void *data)
{
    const FileSet *set = static_cast<const FileSet *>(data);
    for (size_t k = 1; k < set->texts.size(); ++k) {
        const std::string expected = "f" + std::to_string(k) + ".px";
        if (expected == name) return PxStreamOpenMemory(name, set->texts[k].data(), set->texts[k].size());
    }
    return nullptr;
}

int silent(PxXMLInput *, int, int code, const char *, ...)
{
    return code;
}

void silence(int, const char *, va_list)
{
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Load problems and warnings are expected by the thousand: not shown.
    PxSetInfoHandler(silence);
    PxSetWarningHandler(silence);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const FileSet set = split(data, size);
    const SbxUniverseSizes sizes = {64, 256, 8, 128, 1024, 8};
    SbxUniverseID universe = SbxUniverseCreate(sizes);
    if (!universe) return 0;
    if (CdxTriangleMeshGetTypeId() < 0) {
        CdxTriangleMeshRegisterType();
        CdxTriangleMeshRegisterInteractions();
    }
    RbdWorldSetGravity(SbxUniverseGetWorld(universe), 0, 0, -9.81);
    PxLoadContext *context = PxLoadContextCreate();
    PxLoadContextSetErrorHandler(context, silent, nullptr);
    PxLoadContextSetFileOpener(context, openFromSet, const_cast<FileSet *>(&set));
    PxStream *scene = PxStreamOpenMemory("scene.px", set.texts[0].data(), set.texts[0].size());
    if (scene && SbxUniverseLoad(universe, scene, context) != PX_LOAD_FAILED) {
        for (int k = 0; k < 2; ++k) SbxUniverseStep(universe, 0.01);
    }
    PxStreamClose(scene);
    PxLoadContextDestroyObjects(context);
    PxLoadContextDestroy(context);
    SbxUniverseDestroy(universe);
    return 0;
}
