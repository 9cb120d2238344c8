#!/usr/bin/env python3
"""Writes examples/hand24.px, a five-fingered hand of 24 joints (cm, kg, s),
and examples/hand24_som.txt, the self-organising map of its grasp postures
that the SOM grasp follows.

The hand: a forearm held on its mount, two wrist joints (flexion, then
deviation), a palm in the x-y plane (fingers along +y, the grasping side
-z), a thumb of five joints (opposition under the palm, sweep towards the
fingers, three flexions), index, middle and ring fingers of four joints
(spread, three flexions) and a little finger of five (a cupping joint of its
metacarpal, spread, three flexions). Joint order of the robot: wrist 0 and
1, thumb 2-6, index 7-10, middle 11-14, ring 15-18, little 19-23; every
finger closes with positive values, except the thumb's opposition (joint 2),
which closes with negative ones.

The map: 16 nodes from the open hand to a power grasp, then four precision
grasps (thumb on index, on index and middle, on middle, and a lateral
pinch), one node of 24 joint values per line.

Run: tools/make_hand24.py (from the repository's root)."""

import math
import os

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")

HEADER = """<?xml version="1.0"?>
<!-- A five-fingered hand of 24 joints (cm, kg, s), written by
     tools/make_hand24.py (edit that, not this). The palm lies in the x-y
     plane with the fingers along +y and its grasping side towards -z; the
     forearm is held on its mount at y = -9.5.

     Joint order of the robot: wrist 0 and 1, thumb 2-6, index 7-10,
     middle 11-14, ring 15-18, little 19-23. Every finger closes with
     positive values, except the thumb's opposition (joint 2): negative.

     Variables: hand_mount (the solid the forearm is held on; WORLD: held
     in place), finger_force (motor force bound of the finger joints).
     The hand is a part to be imported: the importing file sets gravity.
-->
<PX>
\t<DEFAULT_VAR hand_mount>WORLD</DEFAULT_VAR>
\t<DEFAULT_VAR finger_force>3000</DEFAULT_VAR>
"""


def box(name, size):
    return "\t\t<BOX %s><SIZE>%g, %g, %g</SIZE></BOX>\n" % ((name,) + size)


def solid(name, shape, pos, material="plastic", color="0.85, 0.75, 0.65"):
    return ("\t<SOLID %s><GEOMETRY_ID>%s</GEOMETRY_ID><MATERIAL>%s</MATERIAL><COLOR>%s</COLOR>"
            "<POS>%g, %g, %g</POS></SOLID>\n" % ((name, shape, material, color) + pos))


def hinge(name, child, parent, pos, axis, stops, force="finger_force", speed=3):
    return ("\t<HINGE %s><SOLID_IDS>%s, %s</SOLID_IDS><POS>%g, %g, %g</POS><AXIS>%g, %g, %g</AXIS>\n"
            "\t\t<LIMIT><STOPS>%g, %g</STOPS><MAXFORCE>%s</MAXFORCE><MAXSPEED>%g</MAXSPEED></LIMIT></HINGE>\n"
            % ((name, child, parent) + pos + axis + stops + (force, speed)))


def finger(prefix, x, parent, first_joint_y):
    """A finger of a knuckle (spread) and three phalanges along +y from y0."""
    y0 = first_joint_y
    flex = (-1, 0, 0)  # positive values turn +y towards -z
    out = [solid(prefix + "_knuckle", "knuckle_shape", (x, y0 + 0.4, 0)),
           solid(prefix + "_proximal", "proximal_shape", (x, y0 + 2.9, 0)),
           solid(prefix + "_middle", "middle_shape", (x, y0 + 6.1, 0)),
           solid(prefix + "_distal", "distal_shape", (x, y0 + 8.5, 0), "rubber", "0.3, 0.3, 0.3"),
           hinge(prefix + "_spread", prefix + "_knuckle", parent, (x, y0, 0), (0, 0, 1), (-0.2, 0.2)),
           hinge(prefix + "_1", prefix + "_proximal", prefix + "_knuckle", (x, y0 + 0.8, 0), flex, (0, 1.6)),
           hinge(prefix + "_2", prefix + "_middle", prefix + "_proximal", (x, y0 + 4.8, 0), flex, (0, 1.7)),
           hinge(prefix + "_3", prefix + "_distal", prefix + "_middle", (x, y0 + 7.4, 0), flex, (0, 1.4))]
    return "".join(out)


def thumb():
    y = -2.0
    flex = (0, 1, 0)  # positive values turn +x towards -z
    out = [solid("f0_thumb_base", "thumb_base_shape", (4.6, y, 0)),
           solid("f0_thumb_meta", "thumb_meta_shape", (6.4, y, 0)),
           solid("f0_thumb_proximal", "thumb_proximal_shape", (9.0, y, 0)),
           solid("f0_thumb_middle", "thumb_middle_shape", (11.3, y, 0)),
           solid("f0_thumb_distal", "thumb_distal_shape", (13.2, y, 0), "rubber", "0.3, 0.3, 0.3"),
           hinge("f0_thumb_oppose", "f0_thumb_base", "palm", (4.1, y, 0), (0, -1, 0), (-1.4, 0.2)),
           hinge("f0_thumb_sweep", "f0_thumb_meta", "f0_thumb_base", (5.1, y, 0), (0, 0, 1), (-0.2, 1.0)),
           hinge("f0_thumb_1", "f0_thumb_proximal", "f0_thumb_meta", (7.7, y, 0), flex, (0, 1.2)),
           hinge("f0_thumb_2", "f0_thumb_middle", "f0_thumb_proximal", (10.3, y, 0), flex, (0, 1.3)),
           hinge("f0_thumb_3", "f0_thumb_distal", "f0_thumb_middle", (12.3, y, 0), flex, (0, 1.3))]
    return "".join(out)


def hand_file():
    text = HEADER
    text += "\t<GEOMETRIES>\n"
    text += box("forearm_shape", (4, 6, 3))
    text += "\t\t<SPHERE wrist_shape><RADIUS>1.2</RADIUS></SPHERE>\n"
    text += box("palm_shape", (8, 9, 2))
    text += box("knuckle_shape", (1.4, 0.6, 1.4))
    text += box("proximal_shape", (1.5, 3.8, 1.5))
    text += box("middle_shape", (1.5, 2.4, 1.5))
    text += box("distal_shape", (1.4, 2.0, 1.4))
    text += box("little_meta_shape", (1.5, 3.6, 1.6))
    text += box("thumb_base_shape", (0.8, 1.4, 1.4))
    text += box("thumb_meta_shape", (2.4, 1.6, 1.6))
    text += box("thumb_proximal_shape", (2.4, 1.5, 1.5))
    text += box("thumb_middle_shape", (1.8, 1.5, 1.5))
    text += box("thumb_distal_shape", (1.6, 1.4, 1.4))
    text += "\t</GEOMETRIES>\n"
    text += solid("forearm", "forearm_shape", (0, -9.5, 0), "plastic", "0.4, 0.4, 0.45")
    text += solid("wrist", "wrist_shape", (0, -5.7, 0), "plastic", "0.4, 0.4, 0.45")
    text += solid("palm", "palm_shape", (0, 0, 0), "plastic", "0.8, 0.7, 0.6")
    text += hinge("wrist_flex", "wrist", "forearm", (0, -5.7, 0), (1, 0, 0), (-0.6, 0.6), "1e5", 1)
    text += hinge("wrist_deviation", "palm", "wrist", (0, -5.7, 0), (0, 0, 1), (-0.3, 0.3), "1e5", 1)
    text += thumb()
    text += finger("f1_index", 2.7, "palm", 4.6)
    text += finger("f2_middle", 0.9, "palm", 4.6)
    text += finger("f3_ring", -0.9, "palm", 4.6)
    # The little finger's metacarpal cups the palm's edge about its own length.
    text += solid("f4_little_meta", "little_meta_shape", (-2.7, 2.6, 0))
    text += hinge("f4_little_cup", "f4_little_meta", "palm", (-2.7, 0.8, 0), (0, 1, 0), (0, 0.5))
    text += finger("f4_little", -2.7, "f4_little_meta", 4.6)
    text += ("\t<RPROJOINT mount><SOLID_IDS>forearm, hand_mount</SOLID_IDS><POS>0, -9.5, 0</POS>"
             "<MAX_FORCE>1e7, 1e7, 1e7</MAX_FORCE><MAX_TORQUE>1e8, 1e8, 1e8</MAX_TORQUE></RPROJOINT>\n")
    text += "\t<ROBOT><ID>robot</ID><SOLID>forearm</SOLID><JOINT>mount</JOINT><AUTO>1</AUTO></ROBOT>\n"
    text += "</PX>\n"
    return text


# Joint values of the power grasp; the open hand is all zeros.
POWER = [0, 0,
         -1.1, 0.7, 0.5, 0.6, 0.5,
         0, 1.3, 1.3, 0.9,
         0, 1.3, 1.3, 0.9,
         0, 1.3, 1.3, 0.9,
         0.3, 0, 1.3, 1.3, 0.9]
PRECISION = [
    [0, 0, -0.9, 0.8, 0.3, 0.3, 0.2, 0.1, 0.8, 0.6, 0.3, 0, 0.2, 0.2, 0.1, 0, 0.2, 0.2, 0.1, 0, 0, 0.2, 0.2, 0.1],
    [0, 0, -1.0, 0.6, 0.3, 0.3, 0.2, 0.1, 0.8, 0.6, 0.3, 0, 0.8, 0.6, 0.3, 0, 0.3, 0.3, 0.2, 0, 0, 0.3, 0.3, 0.2],
    [0, 0, -1.1, 0.4, 0.3, 0.4, 0.3, 0, 0.3, 0.3, 0.2, 0, 0.9, 0.7, 0.3, 0, 0.3, 0.3, 0.2, 0, 0, 0.3, 0.3, 0.2],
    [0, 0, -0.3, 0.9, 0.2, 0.2, 0.1, 0, 1.2, 1.2, 0.8, 0, 1.2, 1.2, 0.8, 0, 1.2, 1.2, 0.8, 0.2, 0, 1.2, 1.2, 0.8],
]
POWER_NODES = 16


def som_file():
    rows = []
    for i in range(POWER_NODES):
        t = i / (POWER_NODES - 1)
        rows.append([t * v for v in POWER])
    rows += PRECISION
    assert all(len(r) == 24 for r in rows)
    return "".join(" ".join("%.4f" % v for v in r) + "\n" for r in rows)


def main():
    with open(os.path.join(ROOT, "examples", "hand24.px"), "w") as f:
        f.write(hand_file())
    with open(os.path.join(ROOT, "examples", "hand24_som.txt"), "w") as f:
        f.write(som_file())


if __name__ == "__main__":
    main()
