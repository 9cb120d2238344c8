"""Sweep files: what they expand to, what they refuse, and a sweep resumed
from a partial results.csv."""

import os
import subprocess
import sys

import pytest

import kelmar.batch as kb
from conftest import EXAMPLES, SCENE, without_wall_time
from kelmar.batch import __main__ as cli
from kelmar.batch import sweep, table

BASE = {"scene": "hand_up_ball.px", "controller": "contact", "steps": 5}


def parse(**doc):
    return sweep.parse({**BASE, **doc}, os.path.join(EXAMPLES, "sweeps"))


def test_grid_times_draws_in_a_fixed_order_within_ranges():
    s = parse(grid={"ball_radius": [3.0, 4.0], "ball_z": [8, 9]}, random={"samples": 3, "seed": 5, "ball_x": [-1, 2]},
              set={"ball_y": 0.5})
    assert len(s.trials) == 2 * 2 * 3 and s.swept == ["ball_radius", "ball_z", "ball_x"]
    v = [dict(t.variables) for t in s.trials]
    assert [(x["ball_radius"], x["ball_z"]) for x in v[::3]] == [("3.0", "8"), ("3.0", "9"), ("4.0", "8"), ("4.0", "9")]
    assert all(-1 <= float(x["ball_x"]) <= 2 and x["ball_y"] == "0.5" for x in v)
    assert len({x["ball_x"] for x in v}) == 12  # each grid point draws anew
    again = parse(grid={"ball_radius": [3.0, 4.0], "ball_z": [8, 9]},
                  random={"samples": 3, "seed": 5, "ball_x": [-1, 2]}, set={"ball_y": 0.5})
    assert [t.id for t in again.trials] == [t.id for t in s.trials]


@pytest.mark.parametrize(
    "doc, message",
    [
        ({"scene": 3}, 'scene = "file.px" is missing'),
        ({"colour": "red"}, "unknown keys: colour"),
        ({"grid": {"ball_x": 1.0}}, "grid.ball_x must be a list of values"),
        ({"grid": {"ball_x": []}}, "grid.ball_x must be a list of values"),
        ({"random": {"ball_x": [2, 1]}}, "random.ball_x must be [low, high] with low <= high"),
        ({"random": {"ball_x": [0, "a"]}}, "random.ball_x must be [low, high] with low <= high"),
        ({"random": {"samples": 0}}, "random.samples must be a whole number >= 1"),
        ({"grid": {"ball_x": [1]}, "random": {"ball_x": [0, 1]}}, "both grid and random: ball_x"),
        ({"success": "luck"}, "success must be a measure (" + ", ".join(kb.MEASURES) + "), not 'luck'"),
        ({"params": {"gain": 2}}, "unknown params: gain (radius, threshold, robot, target, som_file)"),
        ({"params": {"radius": "big"}}, "params.radius has the wrong type: 'big'"),
        ({"controller": "magic"}, "no grasp controller 'magic' (ballwrap, orb, contact, contact0, som)"),
        ({"steps": -1}, "steps must be a whole number >= 0, not -1"),
        ({"measures": ["held", "luck"]}, "no measure luck (" + ", ".join(kb.MEASURES) + ")"),
        ({"set": {"held": 1}}, "variable names taken by the row's columns: held"),
        ({"set": {"ball_x": True}}, "a scene variable is a number or a text, not True"),
        ({"scene": "nowhere.px"}, "no file '" + os.path.join(EXAMPLES, "sweeps", "nowhere.px") + "'"),
    ],
)
def test_sweep_files_that_cannot_run_say_why(doc, message):
    with pytest.raises(sweep.SweepError) as e:
        parse(**doc)
    assert str(e.value).startswith(message)


def test_variables_no_file_of_the_scene_names_are_reported():
    s = parse(set={"ball_z": 8, "ball_zz": 1}, grid={"ball_radius": [3.0], "bal_radius": [4.0]},
              random={"finger_force": [1, 2], "x": [0, 1]})
    assert s.unused == ["ball_zz", "bal_radius", "x"]  # finger_force: in the imported hand3.px


def test_resuming_from_25_of_40_rows_runs_only_the_other_15(tmp_path, client, capsys):
    radii = ", ".join(repr(3.0 + 0.075 * i) for i in range(40))
    (tmp_path / "s.toml").write_text(f'scene = "{SCENE}"\ncontroller = "contact"\nsteps = 60\n'
                                     f"[grid]\nball_radius = [{radii}]\n")
    full = kb.run(sweep.load(str(tmp_path / "s.toml")).trials, serial=True, progress=False)
    kb.write_csv(str(tmp_path / "results.csv"), full[:25])
    ran = cli.main([str(tmp_path / "s.toml"), "--out", str(tmp_path)], client=client)
    assert sorted(r["id"] for r in ran) == sorted(r["id"] for r in full[25:])
    _, rows = kb.read_csv(str(tmp_path / "results.csv"))
    as_text = [{k: table.cell(v) for k, v in r.items()} for r in full]
    assert sorted(without_wall_time(rows), key=str) == sorted(without_wall_time(as_text), key=str)
    assert (tmp_path / "success.png").read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
    held = sum(r["held"] for r in full)
    assert capsys.readouterr().out == (f"kelmar.batch: 15 trials run, 0 failed; held in {held} of 40; "
                                       f"rows {tmp_path}/results.csv, plot {tmp_path}/success.png\n")


def test_an_unreachable_scheduler_or_a_failed_trial_says_why_with_status_one(tmp_path):
    (tmp_path / "broken.px").write_text("<PX>\n<SOLID s><POS>1, 2</POS></SOLID>\n")
    (tmp_path / "s.toml").write_text('scene = "broken.px"\ncontroller = "contact"\nsteps = 5\n')
    unreachable = subprocess.run([sys.executable, "-m", "kelmar.batch", str(tmp_path / "s.toml"), "--out",
                                  str(tmp_path), "--scheduler", "tcp://127.0.0.1:1"], capture_output=True, text=True,
                                 env=dict(os.environ, DASK_DISTRIBUTED__COMM__TIMEOUTS__CONNECT="1s"))
    assert unreachable.stderr.endswith("\nkelmar.batch: Timed out trying to connect to tcp://127.0.0.1:1 after 1 s\n")
    done = subprocess.run([sys.executable, "-m", "kelmar.batch", str(tmp_path / "s.toml"), "--out", str(tmp_path),
                           "--serial"], capture_output=True, text=True)
    assert done.returncode == 1 and done.stdout.startswith(
        f"kelmar.batch: 1 trials run, 1 failed; held in 0 of 0; rows {tmp_path}/results.csv, plot {tmp_path}/"
        "success.png\nfirst error: ") and 'in file "broken.px"' in done.stdout


# Worker processes import the main script as they start: run at its top level,
# a local cluster would start again in each and the sweep hang.
@pytest.mark.parametrize("from_stdin", [False, True])
def test_a_script_that_starts_a_cluster_unguarded_is_refused(tmp_path, from_stdin):
    script = tmp_path / "sweep.py"
    script.write_text(f"import kelmar.batch as kb\nkb.run([kb.Trial.from_file({SCENE!r}, steps=5)])\n")
    done = subprocess.run([sys.executable] + (["-"] if from_stdin else [str(script)]), capture_output=True,
                          text=True, timeout=120, input=script.read_text() if from_stdin else None)
    where = "<stdin>" if from_stdin else f"{script}:2"
    assert done.returncode == 1 and f"MainModuleError: kelmar.batch: {where}: a script that runs" in done.stderr
