"""python3 -m kelmar: runs a scene file headless, like kelmar-run.

    python3 -m kelmar scene.px [--steps N] [--grasp KIND] [--images DIR]

Loads the scene into a universe, optionally runs a grasp controller on a
hand every step and films a camera, and ends with a summary: the time
simulated, the target's pose and its contacts. Exit status: 0 done, 1 the
scene did not load (its messages are shown) or a call failed, 2 a bad
command line.
"""

import argparse
import os
import sys

import kelmar
from kelmar import _kelmar
from kelmar.images import save_png

GRASPS = ("ballwrap", "orb", "contact", "contact0")


def parse(argv):
    p = argparse.ArgumentParser(prog="python3 -m kelmar", description="Runs a kelmar scene file headless.",
                                epilog="Exit status: 0 done, 1 the scene did not load or a call failed, "
                                       "2 bad command line.")
    p.add_argument("scene", help="the scene description file (.px)")
    p.add_argument("--steps", type=int, default=200, help="steps to simulate (default 200)")
    p.add_argument("--grasp", choices=GRASPS, help="a grasp controller run on the hand every step")
    p.add_argument("--hand", default="hand.robot", help="the hand robot's full name (default hand.robot)")
    p.add_argument("--target", default="ball", help="the grasped solid's full name (default ball)")
    p.add_argument("--radius", type=float, default=4.7, help="ball wraps: the wrapped radius in cm (default 4.7)")
    p.add_argument("--images", metavar="DIR", help="films the camera into DIR (needs --camera)")
    p.add_argument("--camera", help="the filmed camera's full name (a CAMERA, not a CAMHEAD)")
    p.add_argument("--every", type=int, default=1, help="steps between frames (default 1)")
    p.add_argument("--var", action="append", default=[], metavar="NAME=VALUE", help="a scene variable")
    o = p.parse_args(argv)
    if o.steps < 0 or o.every < 1:
        p.error("--steps must be at least 0 and --every at least 1")
    if o.images and not o.camera:
        p.error("--images needs --camera NAME")
    for v in o.var:
        if "=" not in v or not v.split("=", 1)[0].strip():
            p.error(f"--var takes NAME=VALUE, not {v!r}")
    return o


class NotLoaded(Exception):
    """The scene file could not be read or had errors."""


def make_grasp(kind, hand, target, radius):
    if kind == "ballwrap":
        return kelmar.GraspBallWrap(hand, target, radius, 0.05).grasp
    if kind == "orb":
        return kelmar.GraspBallWrap2_Orb(hand, 0, target.GetPosition(), radius).grasp
    if kind == "contact0":
        return kelmar.GraspContactBased0(hand, target, 1e6, 2.0).grasp
    explorer, explored = kelmar.GraspContactBased(hand, 0.05, 0, 1e9), [False]

    def explore_then_grasp():  # explores until the fingers rest, then closes
        if explored[0]:
            explorer.grasp()
        else:
            explored[0] = bool(explorer.explore())

    return explore_then_grasp


def film(camera, directory, name, step):
    save_png(os.path.join(directory, "%s_%06d.png" % (name, step)), camera.GetImage1())


def run(o, out=sys.stdout):
    kelmar.add_search_path(os.path.dirname(os.path.abspath(o.scene)))
    kelmar.quiet_grasps()  # their progress lines would drown the summary
    if not os.path.isfile(o.scene):
        raise NotLoaded(f"no scene file '{o.scene}'")
    universe = kelmar.Universe("universe", 1000, 1000, 1000, 20000)
    scene = kelmar.Scene("scene", "universe", o.scene, None, 1.0, "\n".join(v.replace("=", " = ", 1) for v in o.var))
    if _kelmar.scene_load_errors(scene._handle) != 0:
        raise NotLoaded(f"'{o.scene}' did not load")
    target = kelmar.SolidRef("scene", o.target)
    grasp = make_grasp(o.grasp, kelmar.Robot("scene", o.hand), target, o.radius) if o.grasp else None
    camera = kelmar.KelmarCamera("scene", o.camera) if o.camera else None
    if o.images:
        os.makedirs(o.images, exist_ok=True)
    for step in range(o.steps + 1):
        if camera and o.images and step % o.every == 0:
            film(camera, o.images, o.camera, step)
        if step == o.steps:
            break
        if grasp:
            grasp()
        universe.step()
    summary(out, o, universe, target)
    del scene


def summary(out, o, universe, target):
    out.write("%s: %d steps, %.3f s simulated\n" % (o.scene, o.steps, universe.GetTime()))
    if not target.Valid():
        return
    x, y, z = target.GetPosition()
    contacts = target.GetContacts()
    others = sorted({contacts.Get(i).Name(1 - _side(contacts.Get(i), o.target)) for i in range(contacts.Num())})
    out.write("  %s at %.2f %.2f %.2f cm, %d contacts with %s\n"
              % (o.target, x, y, z, contacts.Num(), ", ".join(others) or "nothing"))


def _side(contact, name):
    return 0 if contact.Name(0).endswith(name) else 1


def main(argv=None):
    o = parse(sys.argv[1:] if argv is None else argv)
    try:
        run(o)
    except kelmar.HostError as e:
        sys.stderr.write("python3 -m kelmar: %s (%s)\n" % (e, e.id))
        return 1
    except NotLoaded as e:
        sys.stderr.write("python3 -m kelmar: %s\n" % e)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
