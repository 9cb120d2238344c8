"""Failures of calls: each raises its host exception's identifier and exact
message, as the matching Python class, and changes nothing."""
import os

import numpy as np
import pytest

from conftest import EXAMPLES

SKEWED = np.eye(4)
SKEWED[0, 1] = 0.01  # rows no longer orthonormal


# (call, identifier, message, class name)
CASES = [
    (lambda o: o["universe"].SetGravity([0, 0]), "badarg:array:dim",
     "Universe:SetGravity: dim of array arg #0 must be 3\n", "BadDimension"),
    (lambda o: o["hand"].SetJoints([0.1] * 8), "badarg:array:dim",
     "Robot:SetJoints: dim of array arg #0 must be 9\n", "BadDimension"),
    (lambda o: o["ball"].SetTM(SKEWED), "badarg:value", "Solid:SetTM: transformation matrix is invalid\n",
     "BadArgument"),
    (lambda o: o["universe"].GetStaticMu(0, 99), "badarg:material", "invalid material index: 99\n", "BadMaterial"),
    (lambda o: o["hand"].GetNode(o["hand"].NumNodes()), "badarg:index", "node index (10) out of range [0, 10[\n",
     "BadIndex"),
    (lambda o: o["hand"].SetJoint(9, 0.1), "badarg:index", "Robot:SetJoint: index out of range [0,8]\n",
     "BadIndex"),
    (lambda o: o["ball"].GetContacts().Get(1), "badarg:index", "ContactList:Get: index out of range [0,0]\n",
     "BadIndex"),
    (lambda o: o["kelmar"].Contact().Position, "badobj:contact", "contact is invalid\n", "UnresolvedObject"),
    (lambda o: o["kelmar"].SolidRef(o["scene"], "no_such").GetTM(), "badobj:solid",
     "solid 'no_such' not yet resolved in scene '%(scene)s'\n", "UnresolvedObject"),
    (lambda o: o["kelmar"].Hinge("nowhere", "knee").GetAngle(), "badobj:joint",
     "joint 'knee' not yet resolved in scene 'nowhere'\n", "UnresolvedObject"),
    (lambda o: o["kelmar"].KelmarCamera("nowhere", "eye").GetZoom(), "badobj:camera",
     "camera 'eye' not yet resolved in scene 'nowhere'\n", "UnresolvedObject"),
    (lambda o: o["finger1"].SetLimits([1.0]), "badarg:array:dim", "Limit:SetLimits: dim of array arg #0 must be 2\n",
     "BadDimension"),
    (lambda o: o["finger1_mid"].SetCtrlParams([1, 2]), "badarg:array:dim",
     "wrong number of control parameters for joint 'hand.finger1_mid' in scene '%(scene)s'\n", "BadDimension"),
    (lambda o: o["finger1"].GetForce(2), "badarg:index", "Joint:GetForce: index out of range [0,1]\n", "BadIndex"),
    (lambda o: o["universe"].SetTimeStep(-0.01), "badarg:value",
     "Universe:SetTimeStep: time step must be positive and finite, not -0.01\n", "BadArgument"),
    (lambda o: o["universe"].SetTimeStep(float("nan")), "badarg:value",
     "Universe:SetTimeStep: argument #0 is not a number\n", "BadArgument"),
    (lambda o: o["ball"].SetTM(np.where(np.eye(4) == 1, np.nan, SKEWED)), "badarg:value",
     "Solid:SetTM: element 0 of array arg #0 is not a number\n", "BadArgument"),
    (lambda o: o["hand"].SetJoints([0.1] * 8 + [float("nan")]), "badarg:value",
     "Robot:SetJoints: element 8 of array arg #0 is not a number\n", "BadArgument"),
    (lambda o: o["hand"].SetJoints([float("inf")] + [0.1] * 8), "badarg:value",
     "Robot:SetJoints: joint target #0 is not finite (inf)\n", "BadArgument"),
    (lambda o: o["hand"].SetJoint(2, float("-inf")), "badarg:value",
     "Robot:SetJoint: joint target -inf is not finite\n", "BadArgument"),
    (lambda o: o["kelmar"]._kelmar.invoke("vx_DrawCircle", 0, "", [], o["kelmar"].OUT), "kelmar:noentry",
     "no entry function 'vx_DrawCircle'\n", "MissingEntry"),
]


def state(o):
    return [o["universe"].GetGravity(), o["universe"].GetTimeStep(), o["ball"].GetTM(), o["hand"].GetJoints(),
            o["finger1"].GetLimits(), o["finger1"].GetLimitParams(), o["finger1_mid"].GetCtrlParams(),
            o["finger1"].GetTM()]


@pytest.mark.parametrize("call, id, message, cls", CASES, ids=[c[1] + ":" + c[2][:24] for c in CASES])
def test_a_failed_call_raises_its_identifier_and_message_and_changes_nothing(kelmar, objects, call, id, message, cls):
    before = state(objects)
    with pytest.raises(kelmar.HostError) as raised:
        call(objects)
    assert (type(raised.value).__name__, raised.value.id) == (cls, id)
    assert raised.value.message == message % {"scene": objects["scene"]}
    assert str(raised.value) == raised.value.message.rstrip("\n")
    assert all(np.array_equal(a, b) for a, b in zip(state(objects), before))


def test_a_contact_list_the_simulation_moved_past_raises_and_a_copied_contact_stays(kelmar, objects):
    contacts = objects["ball"].GetContacts()
    contact, where = contacts.Get(0), contacts.Get(0).Position
    objects["universe"].step()
    for call in (contacts.Num, lambda: contacts.Get(0)):
        with pytest.raises(kelmar.UnresolvedObject, match="^contact is invalid$"):
            call()
    assert np.array_equal(contact.Position, where) and kelmar.ContactList().Num() == 0


def test_a_value_the_toolkit_refuses_is_shown_and_kept_out(objects, capfd):
    objects["universe"].SetGravity([0, 0, float("inf")])
    assert capfd.readouterr().err == \
        "warning: PxWarning{12}: RbdWorldSetGravity: the vector (0, 0, inf) is not finite; ignored.\n"
    assert np.array_equal(objects["universe"].GetGravity(), [0, 0, -981])


def test_a_solid_reference_works_once_its_scene_registers(kelmar, world):
    universe = world[0]
    universe.rename("later_universe")
    ref = kelmar.SolidRef("later", "ball")
    with pytest.raises(kelmar.UnresolvedObject):
        ref.GetPosition()
    assert ref.Valid() == 0
    scene = kelmar.Scene("later", "later_universe", os.path.join(EXAMPLES, "hand_ball.px"))
    assert ref.Valid() == 1
    assert np.allclose(ref.GetPosition(), [0, 0, 18.7])
    del scene
    with pytest.raises(kelmar.UnresolvedObject):
        ref.GetPosition()


def test_arguments_no_declaration_takes_are_refused_before_the_call(kelmar, objects):
    for call in (lambda: objects["universe"].SetGravity("down"), lambda: objects["ball"].SetMass([1.0]),
                 lambda: objects["universe"].SetTimeStep(0.01, 2), lambda: kelmar.SolidRef(objects["scene"]),
                 lambda: kelmar.QuaternionMake(kelmar.OUT, [1, 0, 0], 1.0, axis=[0, 1, 0])):  # axis twice
        with pytest.raises(TypeError, match="no declaration fits"):
            call()


