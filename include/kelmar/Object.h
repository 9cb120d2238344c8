// The base of everything a scene registers by name in its object registry
// (solids, composites, robots). Lengths of the robot layer are centimetres,
// masses kilograms, times seconds.
#ifndef KELMAR_OBJECT_H
#define KELMAR_OBJECT_H

#include <string>

#include <kelmar/PxStream.h>
#include <kelmar/PxXML.h>

namespace kelmar {

class Scene;
class Universe;

class Object {
public:
    Object() = default;
    virtual ~Object() = default;
    Object(const Object &) = delete;
    Object &operator=(const Object &) = delete;

    virtual void draw(unsigned int flags) const = 0;
    // World box {xmin, xmax, ymin, ymax, zmin, zmax} (cm), or null: no bounds.
    virtual const float *GetBounds() const { return nullptr; }
    // Once per universe step, after the dynamics.
    virtual void Update() {}
    virtual void saveStatus(PxStream *stream) const { (void)stream; }
    // Returns a reader code; the default asks the reader to skip the element.
    virtual int loadStatus(PxXMLElement *element)
    {
        (void)element;
        return PX_XML_SKIP_ELEMENT;
    }

    Universe *GetUniverse() const;
    // The full name given at registration, or null while unregistered.
    const char *GetName() const { return named_ ? name_.c_str() : nullptr; }
    void SetName(const char *name)
    {
        named_ = name != nullptr;
        name_ = name ? name : "";
    }

    Scene *scene = nullptr; // the owning scene, not owned

private:
    std::string name_;
    bool named_ = false;
};

} // namespace kelmar

#endif
