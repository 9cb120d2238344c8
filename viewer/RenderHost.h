// The renderer a viewer lives in, as far as the viewer needs it: the four
// operations of the host's renderer (add and remove a prop, install an
// interaction style, update) and the VTK renderer behind them, whose
// camera and background the viewer and its style use. kelmar-view
// implements it over a VTK renderer, window and interactor
// (VtkRenderHost); a host implements it over its own renderer object.
#ifndef KELMAR_VIEWER_RENDERHOST_H
#define KELMAR_VIEWER_RENDERHOST_H

class vtkInteractorObserver;
class vtkProp;
class vtkRenderer;

namespace kelmar {

class RenderHost {
public:
    // What Update is told: a prop was added, or removed.
    enum UpdateFlags { kPropAdded = 4, kPropRemoved = 8 };

    virtual ~RenderHost() = default;
    virtual void AddProp(vtkProp *prop) = 0;
    virtual void RemoveProp(vtkProp *prop) = 0;
    // The style that receives the window's events (null: the host's own).
    virtual void SetCurrentInteractorStyle(vtkInteractorObserver *style) = 0;
    virtual vtkInteractorObserver *GetCurrentInteractorStyle() const = 0;
    virtual void Update(int flags) = 0;
    virtual vtkRenderer *GetRenderer() const = 0;
};

} // namespace kelmar

#endif
