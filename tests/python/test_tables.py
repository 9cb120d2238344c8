"""The declaration tables entry by entry, the constants' values, and the
classes Python makes of them."""
import numpy as np
import pytest

from conftest import data


def expected_tables():
    tables, current = {}, None
    for line in open(data("declarations.txt")).read().split("\n"):
        if line.startswith("#") or not line:
            continue
        if line.startswith("["):
            name, count = line[1:-1].split()
            current = tables[name] = {"count": int(count), "entries": []}
        else:
            current["entries"].append(line)
    return tables


def test_every_table_entry_and_count_is_exact(kelmar):
    tables = expected_tables()
    assert kelmar._kelmar.functions() == tables.pop("FUNCTIONS_kelmar")["entries"]
    classes = kelmar._kelmar.classes()
    assert len(classes) == len(tables) == 22
    for table, (name, want) in zip(classes, tables.items()):  # in the order of CLASSES_kelmar
        assert (name, len(table)) == (name, want["count"])
        assert table == want["entries"], name


def test_every_constant_has_its_value(kelmar):
    want = [(n, int(v)) for n, v in (line.split() for line in open(data("constants.txt")) if not line.startswith("#"))]
    assert [(n, kelmar.CONSTANTS[n]) for n, _ in want] == want
    assert list(kelmar.CONSTANTS) == [n for n, _ in want]
    assert (kelmar.tUSER, kelmar.tObstacle, kelmar.tObject, kelmar.tRobot) == (16, -1, -2, -3)


def test_each_class_has_one_method_per_declared_name_with_its_declarations(kelmar):
    for table in kelmar._kelmar.classes():
        cls = kelmar.CLASSES[kelmar._declarations.class_name(table)]
        methods = [d for d in cls._declarations if d.kind == "method" and not d.obsolete]
        for d in methods:
            assert " ".join(d.text.split()) in getattr(cls, d.name).__doc__, (cls.__name__, d.text)
        own = {name for name, value in vars(cls).items() if callable(value) or isinstance(value, classmethod)}
        hooks = {kelmar._interface.HOOK_NAMES[d.name] for d in cls._declarations if d.kind == "hook"}
        assert own - {"__init__"} == {d.name for d in methods} | hooks, cls.__name__
        fields = {name for name, value in vars(cls).items() if isinstance(value, property)}
        assert fields == {d.name for d in cls._declarations if d.kind == "field"}
        assert all(text in cls.__doc__ for text in table)


# One row per form a default takes: whole and real numbers, and no value.
@pytest.mark.parametrize("cls, name, defaults", [
    ("Universe", "Universe", {"nBodies": 100, "nConstraints": 100, "nModels": 100, "nModelPairs": 1200}),
    ("Scene", "Scene", {"pcFileName": None, "pfTransform": None, "fScale": 1.0, "pcVars": None}),
    ("GraspContactBased", "GraspContactBased", {"fDeltaAngle": 0.1, "fContactMinY": 1.5, "fContactMaxY": 3.5}),
])
def test_declared_defaults(kelmar, cls, name, defaults):
    decls = [d for d in kelmar.CLASSES[cls]._declarations if d.name == name and d.kind in ("method", "constructor")]
    assert {p.name: p.default for d in decls for p in d.params if p.has_default} == defaults


# One setting per shape of entry adapter: a field of the limit, a function of the world, an array of the RPRO
# constraint, six reals of the stops; each value goes in and comes back through its pair of entries.
@pytest.mark.parametrize("target, setter, value", [
    ("finger1", "MaxSpeed", 1.5), ("universe", "Epsilon", 0.25), ("mount", "LinearStrength", [1.0, 2.0, 3.0]),
    ("finger1", "LimitParams", [100.0, 1.0, 0.2, 200.0, 2.0, 0.3])])
def test_a_setting_comes_back_through_its_entries(kelmar, objects, target, setter, value):
    owner = kelmar.RPROJoint(objects["scene"], "hand.mount") if target == "mount" else objects[target]
    getattr(owner, "Set" + setter)(value)
    assert np.allclose(getattr(owner, "Get" + setter)(), value)
