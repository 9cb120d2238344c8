// Installing the view handlers: "solid.so" through the host's module
// loader, its four functions looked up by name.
#include "view/ViewHandlers.h"

#include <cstdio>

#include "admin/DfxKelmarAdmin.h"

namespace kelmar {

const double ViewHandlers::kRayLength = 500.0;

ViewHandlers &TheViewHandlers()
{
    static ViewHandlers handlers;
    return handlers;
}

bool ViewHandlers::Install()
{
    if (tried_) return Installed();
    tried_ = true;
    void *module = dfx_dlopen("solid.so");
    if (!module) return false;
    auto addMouse = reinterpret_cast<View3d_AddMouseHandler_t>(dfx_dlsym(module, "View3d_AddMouseHandler"));
    auto getClick = reinterpret_cast<View3d_GetClickPoint_t>(dfx_dlsym(module, "View3d_GetClickPoint"));
    auto addKey = reinterpret_cast<View3d_AddKeyHandler_t>(dfx_dlsym(module, "View3d_AddKeyHandler"));
    auto activate = reinterpret_cast<View3d_ActivateMouseHandler_t>(dfx_dlsym(module, "View3d_ActivateMouseHandler"));
    const char *missing = !addMouse   ? "View3d_AddMouseHandler"
                          : !getClick ? "View3d_GetClickPoint"
                          : !addKey   ? "View3d_AddKeyHandler"
                          : !activate ? "View3d_ActivateMouseHandler"
                                      : nullptr;
    if (missing) {
        std::fprintf(stderr, "couldn't find %s\n", missing);
        dfx_dlclose(module);
        return false;
    }
    module_ = module;
    getClickPoint_ = getClick;
    activate_ = activate;
    addKey(Key, this);
    const View3dMouseHandler pick = {"kelmar:pick", Click, nullptr, nullptr, nullptr, this};
    const View3dMouseHandler drag = {"kelmar:drag", nullptr, Press, Move, Release, this};
    addMouse(&pick);
    addMouse(&drag);
    return true;
}

void ViewHandlers::Uninstall()
{
    if (module_) dfx_dlclose(module_);
    *this = ViewHandlers();
}

void DfxKelmarAdmin::InstallViewHandlers()
{
    if (viewHandlersTried_) return;
    viewHandlersTried_ = true;
    TheViewHandlers().Install();
}

} // namespace kelmar
