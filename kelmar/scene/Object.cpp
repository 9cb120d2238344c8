// Objects reach their universe through their scene.
#include <kelmar/Object.h>

#include <kelmar/Scene.h>

namespace kelmar {

Universe *Object::GetUniverse() const
{
    return scene ? scene->GetUniverse() : nullptr;
}

} // namespace kelmar
