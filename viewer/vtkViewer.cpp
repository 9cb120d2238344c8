// The viewer prop: VTK's shaders and vertex arrays are put aside, the
// fixed-function state saved, VTK's camera loaded into the fixed-function
// matrices (transposed: VTK's matrices are row-major), a light at the eye
// set, the universe drawn in both passes, and everything restored.
#include "vtkViewer.h"

#include <vtk_glew.h>

#include <algorithm>
#include <cstdio>

#include <vtkCamera.h>
#include <vtkMatrix4x4.h>
#include <vtkObjectFactory.h>
#include <vtkOpenGLRenderWindow.h>
#include <vtkOpenGLShaderCache.h>
#include <vtkRenderer.h>
#include <vtkSmartPointer.h>

#include <kelmar/GLBackend.h>
#include <kelmar/Graphics.h>
#include <kelmar/Universe.h>

#include "RenderHost.h"

namespace kelmar {

vtkStandardNewMacro(vtkViewer);

vtkViewer::~vtkViewer()
{
    SetRender(nullptr);
}

void vtkViewer::SetUniverse(Universe *universe)
{
    universe_ = universe;
    style_->SetUniverse(universe);
    resetClipping_ = true;
}

void vtkViewer::SetRender(RenderHost *render)
{
    if (render == render_) return;
    // The renderer may hold the last reference to this viewer (a program
    // that lets go of its viewer before its window): leaving it must not
    // delete the viewer halfway through. Nothing holds it while it is
    // being destroyed, and then nothing is taken.
    vtkSmartPointer<vtkViewer> alive = GetReferenceCount() > 0 ? this : nullptr;
    if (render_) {
        if (render_->GetCurrentInteractorStyle() == style_.Get()) render_->SetCurrentInteractorStyle(nullptr);
        render_->RemoveProp(this);
        render_->Update(RenderHost::kPropRemoved);
    }
    render_ = render;
    if (!render_) return;
    render_->AddProp(this);
    render_->GetRenderer()->SetBackground(0.9, 0.9, 0.9);
    render_->SetCurrentInteractorStyle(style_);
    resetClipping_ = true;
    render_->Update(RenderHost::kPropAdded);
}

double *vtkViewer::GetBounds()
{
    if (!universe_) return nullptr;
    const float *b = universe_->GetBounds();
    double half = 0;
    for (int axis = 0; axis < 3; ++axis) half = std::max(half, 0.5 * (b[2 * axis + 1] - b[2 * axis]));
    for (int axis = 0; axis < 3; ++axis) {
        const double centre = 0.5 * (b[2 * axis] + b[2 * axis + 1]);
        bounds_[2 * axis] = centre - half;
        bounds_[2 * axis + 1] = centre + half;
    }
    return bounds_;
}

int vtkViewer::RenderOpaqueGeometry(vtkViewport *viewport)
{
    auto *renderer = vtkRenderer::SafeDownCast(viewport);
    drew_ = false;
    if (!universe_ || !render_ || !renderer) return 0;
    if (resetClipping_) {
        renderer->ResetCameraClippingRange();
        resetClipping_ = false;
    }
    drew_ = Draw(viewport);
    return drew_ ? 1 : 0;
}

namespace {

void LoadTransposed(GLenum mode, vtkMatrix4x4 *m)
{
    double t[16];
    vtkMatrix4x4::Transpose(m->GetData(), t);
    glMatrixMode(mode);
    glLoadMatrixd(t);
}

bool CompatibilityProfile()
{
    GLint mask = 0;
    glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &mask);
    glGetError(); // older contexts do not know the query
    return (mask & GL_CONTEXT_CORE_PROFILE_BIT) == 0;
}

} // namespace

bool vtkViewer::Draw(vtkViewport *viewport)
{
    auto *renderer = static_cast<vtkRenderer *>(viewport);
    auto *window = vtkOpenGLRenderWindow::SafeDownCast(renderer->GetRenderWindow());
    if (!window) return false;
    if (!CompatibilityProfile()) {
        if (!warned_)
            std::fprintf(stderr, "kelmar viewer: the window's OpenGL context is a core profile, which cannot draw "
                                 "the scene (set MESA_GL_VERSION_OVERRIDE=3.2COMPAT before the first window)\n");
        warned_ = true;
        return false;
    }
    GLBackend::Install();
    window->GetShaderCache()->ReleaseCurrentShader();
    // Client-side arrays and pixels: no buffer of VTK's may stay bound.
    GLint arrayBuffer = 0, unpackBuffer = 0;
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &arrayBuffer);
    glGetIntegerv(GL_PIXEL_UNPACK_BUFFER_BINDING, &unpackBuffer);
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    glActiveTexture(GL_TEXTURE0); // VTK leaves another unit active from the second frame on
    vtkCamera *camera = renderer->GetActiveCamera();
    glMatrixMode(GL_TEXTURE);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    LoadTransposed(GL_PROJECTION, camera->GetProjectionTransformMatrix(renderer->GetTiledAspectRatio(), -1, 1));
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    const float white[4] = {1, 1, 1, 1}, towardsViewer[4] = {0, 0, 1, 0};
    glLightfv(GL_LIGHT0, GL_AMBIENT, white);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightfv(GL_LIGHT0, GL_POSITION, towardsViewer);
    LoadTransposed(GL_MODELVIEW, camera->GetViewTransformMatrix());
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_DEPTH_TEST);
    universe_->draw(kDrawOpaquePass);
    universe_->draw(kDrawTranslucentPass);
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_TEXTURE);
    glPopMatrix();
    glPopClientAttrib();
    glPopAttrib();
    glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(arrayBuffer));
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, static_cast<GLuint>(unpackBuffer));
    return true;
}

} // namespace kelmar
