// A solid whose collision model is made of several geometries (parts) and
// whose mass properties are combined from them.
#ifndef KELMAR_COMPOSITE_H
#define KELMAR_COMPOSITE_H

#include <vector>

#include <kelmar/Solid.h>

namespace kelmar {

struct CompositeElem {
    CdxModelID model = nullptr; // one part's model, owned
    double relTM[4][4];         // placement in the composite's frame (cm)
    double comOffset[3] = {0, 0, 0};
    const Graphics *graphics = nullptr; // owned by the composite
    bool excluded = false;              // graphics only: no collision, no mass
    double worldTM[4][4];               // the part's world placement, read by its model
    int material = 0;
    double density = 0.001; // kg/cm^3
};

class Composite : public Solid {
public:
    Composite() = default;
    ~Composite() override;

    // False once the composite is built. density < 0: the material's. The
    // composite owns graphics from now on (also when it returns false).
    bool AddComponent(CdxGeometryID geometry, const Graphics *graphics, bool excluded, const double relTM[4][4],
                      int material, double density);
    bool Build(const Scene *scene, bool frozen, int material, double mass, const double *inertia, bool enabled,
               const double *comOffset);

    void draw(unsigned int flags) const override;
    void saveStatus(PxStream *stream) const override;
    void ToggleTransparency(bool on) override;
    void loadStatusInit(PxXMLElement *element) override;
    void loadStatusFinish(PxXMLElement *element) override;
    void RemoveFromKelmar() override;
    bool IsVisible() const override;
    int loadPartStatus(PxXMLElement *element) override;
    int GetNumParts() const { return static_cast<int>(parts_.size()); }
    const CompositeElem *GetPart(int index) const { return parts_[static_cast<size_t>(index)]; }

private:
    bool BuildMassProperties(double mass, const double *inertia, const double *comOffset);
    void DeleteParts();

    std::vector<CompositeElem *> parts_; // in the order added
    bool built_ = false;
    size_t nextPart_ = 0; // the part the next PART element restores
};

} // namespace kelmar

#endif
