// A VTK prop that lets a universe draw itself with OpenGL: both of the
// universe's passes (opaque, then translucent) are drawn in VTK's opaque
// pass, since legacy OpenGL blends wrongly inside VTK's order-independent
// translucent pass. It needs a compatibility-profile context (Mesa gives
// one with MESA_GL_VERSION_OVERRIDE=3.2COMPAT set before the first window);
// in a core-profile context it warns once and draws nothing. The viewer
// owns its interaction style and installs it in the renderer it joins.
#ifndef KELMAR_VIEWER_VTKVIEWER_H
#define KELMAR_VIEWER_VTKVIEWER_H

#include <vtkNew.h>
#include <vtkProp.h>

#include "vtkInteractorStyleKelmar.h"

namespace kelmar {

class RenderHost;
class Universe;

class vtkViewer : public vtkProp {
public:
    static vtkViewer *New();
    vtkTypeMacro(vtkViewer, vtkProp);

    // Stores the universe here and in the style (null: nothing to draw).
    void SetUniverse(Universe *universe);
    Universe *GetUniverse() const { return universe_; }
    // Leaves the old renderer (giving back its style) and joins the new
    // one: a grey background and the viewer's style (null: none).
    void SetRender(RenderHost *render);
    RenderHost *GetRender() const { return render_; }
    vtkInteractorStyleKelmar *GetStyle() { return style_; }

    int RenderOpaqueGeometry(vtkViewport *viewport) override;
    int RenderTranslucentPolygonalGeometry(vtkViewport *) override { return 0; }
    vtkTypeBool HasTranslucentPolygonalGeometry() override { return 0; }
    // The universe's bounds as a cube about their centre (cm); null
    // without a universe.
    double *GetBounds() override;

    // Whether the last opaque pass drew (false in a core-profile context).
    bool DrewLastFrame() const { return drew_; }

protected:
    vtkViewer() = default;
    ~vtkViewer() override;

private:
    vtkViewer(const vtkViewer &) = delete;
    void operator=(const vtkViewer &) = delete;
    bool Draw(vtkViewport *viewport);

    Universe *universe_ = nullptr;
    RenderHost *render_ = nullptr;
    vtkNew<vtkInteractorStyleKelmar> style_;
    bool resetClipping_ = true;
    bool drew_ = false;
    bool warned_ = false;
    double bounds_[6] = {0, 0, 0, 0, 0, 0};
};

} // namespace kelmar

#endif
