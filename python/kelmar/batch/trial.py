"""A grasp trial and its row of measures.

A trial is a scene (its files travel with it), the values of the scene's
variables, a grasp controller with its parameters, a number of steps and
the measures wanted. run_trial() runs one in this process and always
returns a row: a scene that does not load, or any error raised while the
trial runs, gives a row whose "error" holds the message.
"""

import dataclasses
import hashlib
import json
import os

from . import scenefiles

CONTROLLERS = ("ballwrap", "orb", "contact", "contact0", "som")

# What a trial can measure, in the order of a row's columns.
MEASURES = (
    "held",  # only the hand touches the object, with two fingertips or more
    "closed_step",  # the step the hand came to rest on the object; -1: never
    "lift_cm",  # how far the object rose since the start (cm)
    "slip_mm",  # how far it moved in the palm's frame since the hand closed (mm)
    "contacts",  # contacts of each finger with the object
    "tips",  # fingertips touching the object
    "rank",  # rank of the grasp map of the hand's contacts (of 6)
    "joints",  # the hand's final joint vector (rad)
    "sim_time_s",  # simulated time (s)
    "wall_time_s",  # wall clock of loading and stepping (s); the one measure that varies
)

# Columns every row has before its variables and measures.
HEAD = ("id", "controller", "steps", "error")


def variable_text(value):
    """A variable's value as the scene reads it; floats keep every bit."""
    if isinstance(value, bool) or not isinstance(value, (int, float, str)):
        raise TypeError(f"a scene variable is a number or a text, not {value!r}")
    return repr(value) if isinstance(value, float) else str(value)


@dataclasses.dataclass(frozen=True)
class Trial:
    scene: str  # the scene's name among files
    files: tuple  # ((name, text), ...): the scene and what it imports
    variables: tuple = ()  # ((name, value), ...): the scene's VAR values
    controller: str = "ballwrap"
    steps: int = 200
    radius: float = 4.7  # cm: what the ball wraps keep around the object's centre
    threshold: float = 0.05  # rad: how near its aim the ball wrap leaves a link for the next
    robot: str = ""  # the hand (empty: the first robot that branches)
    target: str = ""  # the object (empty: the solid whose name ends in "ball")
    som_file: str = ""  # the som grasp's map: its name among files (extra_files of from_file)
    measures: tuple = MEASURES

    def __post_init__(self):
        self._check()

    def _check(self):
        if self.controller not in CONTROLLERS:
            raise ValueError(f"no grasp controller '{self.controller}' ({', '.join(CONTROLLERS)})")
        if not isinstance(self.steps, int) or self.steps < 0:
            raise ValueError(f"steps must be a whole number >= 0, not {self.steps!r}")
        unknown = [m for m in self.measures if m not in MEASURES]
        if unknown:
            raise ValueError(f"no measure {', '.join(unknown)} ({', '.join(MEASURES)})")
        taken = [n for n, _ in self.variables if n in HEAD or n in MEASURES]
        if taken:
            raise ValueError(f"variable names taken by the row's columns: {', '.join(taken)}")

    @classmethod
    def from_file(cls, scene, variables=None, extra_files=(), **settings):
        """A trial of the scene file at that path; variables: {name: value}."""
        if settings.get("som_file"):
            extra_files = list(extra_files) + [os.path.join(os.path.dirname(scene), settings["som_file"])]
        name, files = scenefiles.collect(scene, extra_files)
        pairs = tuple((n, variable_text(v)) for n, v in (variables or {}).items())
        return cls(scene=name, files=files, variables=pairs, **settings)

    @property
    def id(self):
        """Names the trial by everything that decides its outcome."""
        fields = dataclasses.asdict(self)
        fields["files"] = scenefiles.digest(self.files)
        text = json.dumps(fields, sort_keys=True)
        return hashlib.sha256(text.encode()).hexdigest()[:16]


def _measured(trial):
    from . import _trial  # the native module; loaded where the trial runs

    path = os.path.join(scenefiles.materialise(trial.files), trial.scene)
    som = os.path.join(os.path.dirname(path), trial.som_file) if trial.som_file else ""
    variables = [tuple(v) for v in trial.variables]
    return _trial.run(path, variables, trial.controller, trial.steps, trial.radius, trial.robot, trial.target, som,
                      trial.threshold)


def row(trial, error="", measured=None):
    """A trial's row: its id, settings, variables, error and measures."""
    r = {"id": trial.id, "controller": trial.controller, "steps": trial.steps, "error": error}
    r.update(trial.variables)
    r.update({m: (measured or {}).get(m) for m in trial.measures})
    return r


def run_trial(trial):
    """Runs the trial here and returns its row. The loader's messages name
    the files as the trial does (relative to the scene's folder), not by
    the worker's temporary copy."""
    try:
        measured = _measured(trial)
    except Exception as e:  # a broken scene or a host error: kept in the row
        message = str(e).strip() or type(e).__name__
        folder = scenefiles.written(trial.files)
        return row(trial, error=message.replace(folder + os.sep, "") if folder else message)
    return row(trial, measured=measured)
