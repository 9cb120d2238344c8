/* The stand-in's renderer, the host's CRender: a unit "render" of the
   host's own folder ("host") holding a VTK renderer in a window of its
   own. Its unit data is the renderer (a kelmar::RenderHost: add and remove
   a prop, set the interaction style, update) and its output "renderer"
   holds it as a "vtk.CRender". Built where the viewer library is. */
#ifndef DFX_RENDER_H
#define DFX_RENDER_H

namespace dfx {

// Puts the "render" icon into the palette (once); false when it cannot.
bool AddRenderIcon();

} // namespace dfx

#endif
