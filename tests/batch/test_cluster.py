"""Trials on a local cluster of two worker processes against the same
trials run one after another in this process."""

import os
import signal
import subprocess

import kelmar.batch as kb
from conftest import REPO, SCENE, without_wall_time
from kelmar.batch import scenefiles


def test_cluster_rows_equal_serial_rows_bit_for_bit(trials, serial_rows, client):
    rows = kb.run(trials, client=client, progress=False)
    assert without_wall_time(rows) == without_wall_time(serial_rows)
    assert len({r["id"] for r in rows}) == 40 and not any(r["error"] for r in rows)
    # the trials differ, so equal rows are not one row forty times
    assert len({tuple(r["joints"]) for r in rows}) == 40


def test_killing_a_worker_mid_sweep_loses_no_trial(trials, serial_rows, client):
    pids = list(client.run(os.getpid).values())
    seen = []

    def kill_after_five(row):
        seen.append(row["id"])
        if len(seen) == 5:
            os.kill(pids[0], signal.SIGKILL)

    rows = kb.run(trials, client=client, on_row=kill_after_five, progress=False)
    assert without_wall_time(rows) == without_wall_time(serial_rows)
    client.wait_for_workers(2, timeout=60)  # the nanny's new worker, for the tests after this one
    assert pids[0] not in client.run(os.getpid).values()  # the kill did happen


def _kelmar_run_messages(path):
    """What kelmar-run prints of the loader's messages for a scene file."""
    program = os.environ.get("KELMAR_RUN", os.path.join(REPO, "build", "tools", "kelmar-run"))
    done = subprocess.run([program, path, "--steps", "1"], capture_output=True, text=True)
    assert done.returncode == 1
    return done.stderr.rsplit("kelmar-run: ", 1)[0]


def test_broken_scene_or_missing_target_gives_a_row_with_the_message(tmp_path, trials, serial_rows, client):
    broken = tmp_path / "broken.px"
    broken.write_text("<PX>\n<SOLID s><POS>1, 2</POS></SOLID>\n")
    bad = kb.Trial.from_file(str(broken), controller="contact", steps=60)
    unbound = kb.Trial.from_file(SCENE, controller="orb", target="nothing", steps=60)
    rows = kb.run(trials[:3] + [bad] + trials[3:6] + [unbound], client=client, progress=False)
    assert rows.pop()["error"] == "no solid 'nothing' in the scene to grasp (--target NAME)"
    folder = scenefiles.materialise(bad.files)
    # kelmar-run's messages on the worker's copy, naming the file as the trial does
    printed = _kelmar_run_messages(os.path.join(folder, bad.scene)).replace(folder + os.sep, "")
    assert rows[3]["error"] == printed.strip() and 'in file "broken.px"' in printed
    assert "expected 3 doubles, found 2" in rows[3]["error"]
    assert all(rows[3][m] is None for m in kb.MEASURES)
    assert without_wall_time(rows[:3] + rows[4:]) == without_wall_time(serial_rows[:6])
