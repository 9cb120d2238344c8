"""Rows on their way out: CSV files that read back exactly, also when cut
off mid-row; scene files shipped with a trial; success rates."""

import os
import shutil

import pytest

import kelmar.batch as kb
from conftest import EXAMPLES
from kelmar.batch import plot, scenefiles, table

ROWS = [
    {"id": "a", "controller": "contact", "steps": 5, "error": "", "ball_x": "0.1", "held": True, "lift_cm": 0.1 + 0.2,
     "contacts": [1, 0, 2], "joints": [1e-17, -2.5]},
    {"id": "b", "controller": "contact", "steps": 5, "error": 'line 1: "x",\nline 2', "ball_x": "2", "held": None,
     "lift_cm": None, "contacts": None, "joints": None},
]


def test_csv_rows_read_back_exactly(tmp_path):
    path = str(tmp_path / "r.csv")
    kb.write_csv(path, ROWS)
    fields, rows = kb.read_csv(path)
    assert fields == ["id", "controller", "steps", "error", "ball_x", "held", "lift_cm", "contacts", "joints"]
    assert rows[0]["held"] == "1" and float(rows[0]["lift_cm"]) == 0.1 + 0.2
    assert [float(x) for x in rows[0]["joints"].split()] == [1e-17, -2.5]
    assert rows[1]["error"] == ROWS[1]["error"] and rows[1]["lift_cm"] == ""


@pytest.mark.parametrize("cut", [-1, -5, -12])  # the last row's end, its empty cells, its quoted error
def test_a_file_cut_off_mid_row_loses_only_that_row_and_takes_more(tmp_path, cut):
    path = str(tmp_path / "r.csv")
    kb.write_csv(path, ROWS)
    text = open(path).read()
    assert text.endswith('line 2",2,,,,\n')
    open(path, "w").write(text[:cut])
    assert [r["id"] for r in kb.read_csv(path)[1]] == ["a"]
    with table.Writer(path, []) as w:
        w.add(ROWS[1])
    assert kb.read_csv(path)[1][1]["error"] == ROWS[1]["error"]
    with pytest.raises(ValueError, match="has other columns than these rows"):
        table.Writer(path, ["id", "error"])


def test_a_trial_carries_its_scene_and_imports(tmp_path):
    for name in ("sweeps/hand_up_ball.px", "hand3.px"):
        os.makedirs(tmp_path / os.path.dirname(name), exist_ok=True)
        shutil.copy(os.path.join(EXAMPLES, name), tmp_path / name)
    trial = kb.Trial.from_file(str(tmp_path / "sweeps/hand_up_ball.px"), {"ball_radius": 5}, controller="contact",
                               steps=3)
    assert [name for name, _ in trial.files] == ["hand3.px", "sweeps/hand_up_ball.px"]
    shutil.rmtree(tmp_path / "sweeps")
    os.remove(tmp_path / "hand3.px")
    row = kb.run_trial(trial)
    assert row["error"] == "" and len(row["joints"]) == 9
    assert os.path.isfile(os.path.join(scenefiles.materialise(trial.files), "hand3.px"))


def test_success_rates_by_value_and_by_bin():
    grid = [{"r": r, "held": h, "error": ""} for r, h in [("3", "0"), ("3", "1"), ("4", "1"), ("4", "1")]]
    grid.append({"r": "3", "held": "", "error": "did not load"})
    assert plot.rates(grid, "r", "held") == [(3.0, 0.5, 2), (4.0, 1.0, 2)]
    named = [dict(g, r={"3": "rubber", "4": "wood"}[g["r"]]) for g in grid]
    assert plot.rates(named, "r", "held") == [("rubber", 0.5, 2), ("wood", 1.0, 2)]
    draws = [{"x": str(i / 10), "held": str(int(i < 50)), "error": ""} for i in range(100)]
    binned = plot.rates(draws, "x", "held")
    assert [round(x, 3) for x, _, _ in binned] == [round(0.495 + 0.99 * k, 3) for k in range(10)]
    assert [rate for _, rate, _ in binned] == [1.0] * 5 + [0.0] * 5 and sum(n for _, _, n in binned) == 100
