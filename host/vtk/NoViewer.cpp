// Where the module is built without the viewer library (no VTK): the
// vtkViewer icon stays in the folder but makes no unit, and the script
// class has no entries (its calls raise "kelmar:noentry").
#include "script/ScriptEntries.h"
#include "units/Units.h"

extern "C" DfxUnit *_fun1_vtkViewer(DfxUnit *host, const DfxDialog *)
{
    dfx_warning("%S: failed to create unit!", host);
    return nullptr;
}

namespace kelmar {
namespace script {

EntryList ViewerEntries()
{
    return {nullptr, 0};
}

} // namespace script
} // namespace kelmar
