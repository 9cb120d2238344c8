"""Sweep files: a grid and random ranges of a scene's variables.

    scene = "hand_up_ball.px"    # beside the sweep file (or a path from it)
    controller = "contact"       # ballwrap, orb, contact, contact0 or som
    steps = 300
    success = "held"             # the measure whose truth is a success (default)
    measures = ["held", "lift_cm"]   # optional; default all
    files = []                   # optional: more files the scene reads

    [params]                     # optional controller parameters
    radius = 4.7                 # cm (ball wraps); robot, target: names
    threshold = 0.05             # rad (ball wrap): how near its aim a link is left
    som_file = "hand24_som.txt"  # the som grasp's map, beside the scene (sent with it)

    [set]                        # variables with one value
    ball_z = 8.5

    [grid]                       # every combination of these values
    ball_radius = [3.0, 4.0, 5.0]

    [random]                     # for each grid point, `samples` draws
    samples = 20                 # uniform in [low, high] from `seed`
    seed = 1
    ball_x = [-3.0, 3.0]

The trials come in a fixed order: grid points in the order of their
combinations, each followed by its draws.
"""

import dataclasses
import itertools
import os
import random
import re
import tomllib

from .trial import MEASURES, Trial, variable_text

_KEYS = {"scene", "controller", "steps", "success", "measures", "files", "params", "set", "grid", "random"}
_PARAMS = {"radius": (int, float), "threshold": (int, float), "robot": str, "target": str, "som_file": str}


class SweepError(ValueError):
    """A sweep file that cannot be run; the message says where and why."""


@dataclasses.dataclass
class Sweep:
    trials: list
    swept: list  # the names of the variables that vary, grid first
    success: str  # the measure whose truth counts as a success
    unused: list = dataclasses.field(default_factory=list)  # variables no file of the scene names


def _number(value):
    return isinstance(value, (int, float)) and not isinstance(value, bool)


def _table(doc, key):
    value = doc.get(key, {})
    if not isinstance(value, dict):
        raise SweepError(f"[{key}] must be a table")
    return value


def _grid(doc):
    grid = _table(doc, "grid")
    for name, values in grid.items():
        if not isinstance(values, list) or not values:
            raise SweepError(f"grid.{name} must be a list of values")
    return grid


def _ranges(doc):
    ranges = dict(_table(doc, "random"))
    samples, seed = ranges.pop("samples", 1), ranges.pop("seed", 0)
    if not isinstance(samples, int) or samples < 1:
        raise SweepError("random.samples must be a whole number >= 1")
    if not isinstance(seed, int):
        raise SweepError("random.seed must be a whole number")
    for name, r in ranges.items():
        if not (isinstance(r, list) and len(r) == 2 and all(map(_number, r)) and r[0] <= r[1]):
            raise SweepError(f"random.{name} must be [low, high] with low <= high")
    return ranges, samples, seed


def _points(doc):
    """Every combination of the variables' values, in the sweep's order."""
    grid = _grid(doc)
    ranges, samples, seed = _ranges(doc)
    draw = random.Random(seed)
    for combination in itertools.product(*grid.values()):
        for _ in range(samples):
            point = dict(zip(grid, combination))
            point.update({n: draw.uniform(lo, hi) for n, (lo, hi) in ranges.items()})
            yield point


def _settings(doc):
    settings = {}
    for key, kind in _PARAMS.items():
        if key in _table(doc, "params"):
            value = doc["params"][key]
            if not isinstance(value, kind) or isinstance(value, bool):
                raise SweepError(f"params.{key} has the wrong type: {value!r}")
            settings[key] = value
    unknown = set(_table(doc, "params")) - set(_PARAMS)
    if unknown:
        raise SweepError(f"unknown params: {', '.join(sorted(unknown))} ({', '.join(_PARAMS)})")
    for key in ("controller", "steps"):
        if key in doc:
            settings[key] = doc[key]
    if "measures" in doc:
        settings["measures"] = tuple(doc["measures"])
    return settings


def _checked(doc):
    unknown = set(doc) - _KEYS
    if unknown:
        raise SweepError(f"unknown keys: {', '.join(sorted(unknown))}")
    if not isinstance(doc.get("scene"), str):
        raise SweepError("scene = \"file.px\" is missing")
    success = doc.get("success", "held")
    if success not in MEASURES:
        raise SweepError(f"success must be a measure ({', '.join(MEASURES)}), not {success!r}")
    both = set(_grid(doc)) & set(_ranges(doc)[0])
    if both:
        raise SweepError(f"both grid and random: {', '.join(sorted(both))}")
    return doc


def parse(doc, folder="."):
    """A sweep from a parsed TOML document; paths are read from folder."""
    doc = _checked(doc)
    scene = os.path.join(folder, doc["scene"])
    extra = [os.path.join(folder, f) for f in doc.get("files", [])]
    fixed, settings = _table(doc, "set"), _settings(doc)
    try:
        first = Trial.from_file(scene, fixed, extra, **settings)
        trials = [dataclasses.replace(first, variables=_merged(first, point)) for point in _points(doc)]
    except (ValueError, TypeError, OSError) as e:
        raise SweepError(str(e)) from None
    swept = list(_grid(doc)) + list(_ranges(doc)[0])
    return Sweep(trials=trials, swept=swept, success=doc.get("success", "held"),
                 unused=_unused(first.files, list(fixed) + swept))


def _unused(files, names):
    """The variables that appear in none of the scene's files: most likely
    misspelt, as the loader takes a value for a variable nothing reads
    without a word. (A file found on the search path is not among them.)"""
    return [n for n in names if not any(re.search(rf"\b{re.escape(n)}\b", text) for _, text in files)]


def _merged(trial, point):
    fixed = dict(trial.variables)
    fixed.update({n: variable_text(v) for n, v in point.items()})
    return tuple(fixed.items())


def load(path):
    """The sweep in a TOML file."""
    try:
        with open(path, "rb") as f:
            doc = tomllib.load(f)
    except tomllib.TOMLDecodeError as e:
        raise SweepError(f"{path}: {e}") from None
    return parse(doc, os.path.dirname(os.path.abspath(path)))
