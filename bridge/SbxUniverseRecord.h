// The record behind SbxUniverseID and the checks shared by the universe's
// and the model functions' files.
#ifndef KELMAR_BRIDGE_SBXUNIVERSERECORD_H
#define KELMAR_BRIDGE_SBXUNIVERSERECORD_H

#include <kelmar/SbxUniverse.h>

// Level of the universe's warnings about misuse (null handles, bad values).
enum { SBX_UNIVERSE_MESSAGE_LEVEL = 3 };

struct SbxUniverse {
    SbxUniverseSizes sizes;
    RbdWorldID world;
    CdxSpaceID space; // sort-and-sweep over all three axes
    SbxBridgeID bridge;
    int32_t stepMethod; // SbxUniverseStepPlain or SbxUniverseStepPath
    bool counted;       // its models are counted in the collision library's room
};

// False with a level-3 warning naming the caller when universe is null.
bool SbxCheckUniverse(const SbxUniverse *universe, const char *function);
// False with a level-3 warning naming the caller and the argument when
// pointer is null.
bool SbxCheckArgument(const void *pointer, const char *function, const char *argument);

// A model on geometry: a composite model for a composite geometry (which
// then belongs to the model), else a plain one. Null with a warning naming
// the caller when it cannot be made.
CdxModelID SbxModelCreateOn(CdxGeometryID geometry, const char *function);
// Gives every element of a composite geometry, at every depth, the
// density, so that a body on it is one uniform solid.
void SbxCompositeSpreadDensity(CdxGeometryID composite, PxReal density);
// Re-sorts the model in its space at its current pose, also when the
// space holds it frozen (it stays frozen). Nothing outside a space.
void SbxModelPlace(CdxModelID model);
// False with a warning naming the caller when transform is not a rigid
// transform.
bool SbxCheckTransform(const PxReal (*transform)[4], const char *function);
// False with a warning when the model is in another universe's space or
// its body in another universe's world.
bool SbxCheckModelOfUniverse(const SbxUniverse *universe, CdxModelID model, const char *function);

#endif
