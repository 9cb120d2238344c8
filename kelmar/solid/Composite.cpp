// Composite solids: several geometries in one collision model and one body.
#include <kelmar/Composite.h>

#include <cstring>

#include <kelmar/CdxComposite.h>
#include <kelmar/CdxModel.h>
#include <kelmar/CdxSpace.h>
#include <kelmar/Graphics.h>
#include <kelmar/PxVector.h>
#include <kelmar/RbdBody.h>
#include <kelmar/SbxBridge.h>
#include <kelmar/SbxUniverse.h>
#include <kelmar/Scene.h>
#include <kelmar/Universe.h>

#include "SolidMass.h"

namespace kelmar {

Composite::~Composite()
{
    RemoveFromKelmar();
}

bool Composite::AddComponent(CdxGeometryID geometry, const Graphics *graphics, bool excluded,
                             const double relTM[4][4], int material, double density)
{
    if (built_) {
        delete graphics;
        return false;
    }
    CompositeElem *part = new CompositeElem;
    if (relTM)
        std::memcpy(part->relTM, relTM, sizeof part->relTM);
    else
        PxM4Identity(part->relTM);
    PxM4Identity(part->worldTM);
    part->graphics = graphics;
    part->excluded = excluded;
    part->material = material;
    part->density = density;
    if (!excluded) {
        part->model = CdxModelCreate(geometry);
        if (!part->model) {
            delete graphics;
            delete part;
            return false;
        }
        CdxModelSetTransformPtr(part->model, &part->worldTM);
    }
    parts_.push_back(part);
    return true;
}

// The composite model's mass properties combine the parts (inertia summed
// per unit mass about the common centre of mass); a given mass scales the
// whole tensor along, so mass and inertia stay those of one shape.
bool Composite::Build(const Scene *owner, bool frozen, int material, double mass, const double *inertia, bool enabled,
                      const double *comOffset)
{
    scene = const_cast<Scene *>(owner);
    built_ = true;
    const Universe *universe = scene->GetUniverse();
    int count = 0;
    for (const CompositeElem *part : parts_) count += part->excluded ? 0 : 1;
    if (count == 0) {
        noCollision_ = true;
        if (!ownTM_) {
            double identity[4][4];
            PxM4Identity(identity);
            SetInitialTM(identity);
        }
        if (!frozen && (options_ & (kDrawContacts | kDrawForces | kDrawInertia))) ToggleTransparency(true);
        return true;
    }
    model_ = CdxCompositeModelCreate(count);
    if (!model_) return false;
    CdxModelSetMaterialID(model_, ClampMaterial(universe, material));
    for (CompositeElem *part : parts_) {
        if (part->excluded) continue;
        part->material = ClampMaterial(universe, part->material);
        if (part->density < 0) part->density = MaterialDensity(universe, part->material);
        CdxModelSetMaterialID(part->model, part->material);
        CdxModelSetDensity(part->model, part->density);
        CdxCompositeModelAddElement(model_, part->model, &part->relTM);
    }
    CdxCompositeModelBuild(model_);
    body_ = RbdBodyCreate(scene->GetWorld());
    if (!body_ || !SbxAutoSetMassProperties(body_, model_, 0.0)) {
        if (body_) RbdBodyDestroy(body_);
        body_ = nullptr;
        CdxCompositeModelDestroy(model_);
        model_ = nullptr;
        return false;
    }
    ApplyMassOverrides(body_, mass, inertia, comOffset);
    return AttachBody(frozen, enabled);
}

void Composite::DeleteParts()
{
    for (CompositeElem *part : parts_) {
        if (part->model) CdxModelDestroy(part->model);
        delete part->graphics;
        delete part;
    }
    parts_.clear();
}

void Composite::RemoveFromKelmar()
{
    if (model_) {
        CdxCompositeModelDecompose(model_);
        const bool inSpace = CdxSpaceRemoveModel(model_) != 0;
        if (inSpace && scene && scene->GetBridge())
            SbxBridgeUpdateTransitions(scene->GetBridge(), scene->GetSpace(), scene->GetWorld());
        CdxCompositeModelDestroy(model_);
        model_ = nullptr;
    }
    DeleteParts();
    Solid::RemoveFromKelmar();
}

void Composite::draw(unsigned int flags) const
{
    Solid::draw(flags);
    for (const CompositeElem *part : parts_)
        if (part->graphics) part->graphics->draw(flags);
}

void Composite::saveStatus(PxStream *stream) const
{
    Solid::saveStatus(stream);
    if (!scene || !(scene->options & Scene::kStatusAppearance)) return;
    for (const CompositeElem *part : parts_) {
        if (!part->graphics) continue;
        float c[4];
        part->graphics->GetColor(c);
        PxXMLIndent();
        PxXMLWriteStartTag("PART", stream);
        PxXMLWrite("COLOR", stream, "%g, %g, %g, %g", c[0], c[1], c[2], c[3]);
        PxXMLWriteEndTag("PART", stream);
        PxXMLDeIndent();
    }
}

void Composite::ToggleTransparency(bool on)
{
    Solid::ToggleTransparency(on);
    for (CompositeElem *part : parts_) {
        Graphics *graphics = const_cast<Graphics *>(part->graphics);
        if (!graphics) continue;
        float rgba[4];
        graphics->GetColor(rgba);
        rgba[3] = on ? rgba[3] * 0.5f : rgba[3] * 2.0f;
        graphics->SetColor(rgba);
    }
}

void Composite::loadStatusInit(PxXMLElement *element)
{
    (void)element;
    nextPart_ = 0;
}

// PART elements restore the colours of the parts with graphics, in order.
int Composite::loadPartStatus(PxXMLElement *element)
{
    while (nextPart_ < parts_.size() && !parts_[nextPart_]->graphics) ++nextPart_;
    float color[4] = {0, 0, 0, 1};
    PxXMLHandler handlers[] = {PX_XML_VALUE("COLOR", PxXMLParseColor, 0, 4), PX_XML_END};
    const int result = PxXMLElementProcess(element, handlers, color);
    if (nextPart_ < parts_.size() && PxXMLHandlerWasCalled(handlers, "COLOR") &&
        PxXMLHandlerGetError(handlers, "COLOR") == PX_XML_OK)
        const_cast<Graphics *>(parts_[nextPart_]->graphics)->SetColor(color);
    ++nextPart_;
    return result;
}

void Composite::loadStatusFinish(PxXMLElement *element)
{
    (void)element;
}

bool Composite::IsVisible() const
{
    for (const CompositeElem *part : parts_)
        if (part->graphics && part->graphics->IsVisible()) return true;
    return Solid::IsVisible();
}

} // namespace kelmar
