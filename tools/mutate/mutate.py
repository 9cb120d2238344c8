#!/usr/bin/env python3
"""Mutation testing of the toolkit's core.

Reads a list of small mutations (mutations.txt beside this file), copies the
source tree into a scratch folder of its own (build-mutate/src), and for each
mutation in turn: checks that its snippet occurs exactly once in its file
(otherwise it is reported "stale" and not counted), writes the mutated file
into the scratch copy, rebuilds the named test executables incrementally in
build-mutate/build (Release, through ccache when CMake finds it), runs them
with a time limit, and puts the original file back before the next one. The
working tree itself is never written to.

A mutant is caught when a test executable fails, crashes or runs past its
time limit (reported as "timeout"); it survives when all of them pass. A
mutant that does not compile is reported and not counted; neither is one
marked equivalent (with the reason no test can tell it from the original)
while it survives. The closing line
is "caught N of M".

With --map FILE every test executable runs whole against each mutant (no
stopping at the first failure) and FILE gets one line per mutant: its id, its
verdict and the gtest names of every test that failed, tab-separated. That
map shows which tests catch which mutants: a test that catches none, or only
mutants others catch too, is a candidate for folding into a table.

Usage: tools/mutate/mutate.py [--only ID ...] [--list] [--results FILE] [--map FILE]
"""

import argparse
import filecmp
import os
import re
import shutil
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
MUTATIONS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "mutations.txt")

# What the scratch copy needs to configure and build: the top-level files
# and every folder the build reads (each library's folder has its own
# CMakeLists.txt).
def copied_entries():
    entries = ["CMakeLists.txt", "cmake", "include", "examples", "tests"]
    for name in sorted(os.listdir(ROOT)):
        path = os.path.join(ROOT, name)
        if name in entries or name.startswith((".", "build")) or not os.path.isdir(path):
            continue
        if os.path.isfile(os.path.join(path, "CMakeLists.txt")):
            entries.append(name)
    return entries


# Where each test executable lands in the build folder.
TEST_DIRS = {
    "foundation_tests": "tests/foundation",
    "dynamics_tests": "tests/dynamics",
    "collision_tests": "tests/collision",
    "bridge_tests": "tests/bridge",
    "fileformat_tests": "tests/fileformat",
    "test_grasp": "tests/grasp",
    "test_graphics": "tests/graphics",
    "test_kelmar": "tests/kelmar",
    "test_viewer": "tests/viewer",  # needs an X server: run mutate.py under xvfb-run
    "test_host": "tests/host",
    "test_sim_sleep": "tests/tools",
    "test_sim_sleep_onset": "tests/tools",
}


class Mutation:
    def __init__(self, ident, line):
        self.ident = ident
        self.line = line
        self.file = None
        self.tests = []
        self.find = None
        self.replace = None
        self.note = ""
        self.equivalent = ""


def unescape(text):
    return text.replace("\\n", "\n").replace("\\t", "\t")


def read_mutations(path):
    """Blocks of 'key: value' lines, each opened by '== id'. Keys: file, test,
    find, replace, note. In find and replace, \\n stands for a line break."""
    mutations = []
    current = None
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.rstrip("\n")
            if not line.strip() or line.lstrip().startswith("#"):
                continue
            if line.startswith("== "):
                current = Mutation(line[3:].strip(), number)
                mutations.append(current)
                continue
            key, sep, value = line.partition(":")
            if current is None or not sep:
                sys.exit(f"{path}:{number}: expected '== id' or 'key: value'")
            key = key.strip()
            value = value[1:] if value.startswith(" ") else value
            if key == "file":
                current.file = value.strip()
            elif key == "test":
                current.tests = value.split()
            elif key == "find":
                current.find = unescape(value)
            elif key == "replace":
                current.replace = unescape(value)
            elif key == "note":
                current.note = value.strip()
            elif key == "equivalent":
                current.equivalent = value.strip()
            else:
                sys.exit(f"{path}:{number}: unknown key '{key}'")
    seen = set()
    for m in mutations:
        if m.ident in seen:
            sys.exit(f"{path}:{m.line}: mutation '{m.ident}' given twice")
        seen.add(m.ident)
        if not m.file or not m.tests or m.find is None or m.replace is None:
            sys.exit(f"{path}:{m.line}: mutation '{m.ident}' needs file, test, find and replace")
        if m.find == m.replace:
            sys.exit(f"{path}:{m.line}: mutation '{m.ident}' changes nothing")
        for t in m.tests:
            if t not in TEST_DIRS:
                sys.exit(f"{path}:{m.line}: unknown test executable '{t}'")
    return mutations


def copy_fresh(origin, target):
    """Copies with a new modification time: a copied file must look newer
    than what was built from the copy it replaces, whenever it was edited."""
    shutil.copyfile(origin, target)
    shutil.copymode(origin, target)


def sync_tree(src):
    """Mirrors the working tree's toolkit folders into src, writing only the
    files that differ so that the incremental build stays incremental."""
    for entry in copied_entries():
        origin = os.path.join(ROOT, entry)
        target = os.path.join(src, entry)
        if os.path.isfile(origin):
            os.makedirs(os.path.dirname(target), exist_ok=True)
            if not os.path.exists(target) or not filecmp.cmp(origin, target, shallow=False):
                copy_fresh(origin, target)
            continue
        wanted = set()
        for dirpath, dirnames, filenames in os.walk(origin):
            dirnames[:] = [d for d in dirnames if not d.startswith(".") and d != "__pycache__"]
            rel = os.path.relpath(dirpath, ROOT)
            os.makedirs(os.path.join(src, rel), exist_ok=True)
            for name in filenames:
                path = os.path.join(rel, name)
                wanted.add(path)
                a, b = os.path.join(ROOT, path), os.path.join(src, path)
                if not os.path.exists(b) or not filecmp.cmp(a, b, shallow=False):
                    copy_fresh(a, b)
        for dirpath, _, filenames in os.walk(target):
            for name in filenames:
                path = os.path.relpath(os.path.join(dirpath, name), src)
                if path not in wanted:
                    os.remove(os.path.join(src, path))


def run(cmd, cwd=None, timeout=None, log=None):
    start = time.monotonic()
    try:
        proc = subprocess.run(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=timeout,
                              start_new_session=True)
        out = proc.stdout.decode("utf-8", "replace")
        rc = proc.returncode
    except subprocess.TimeoutExpired as e:
        # subprocess.run kills the child; a test executable starts no children of its own.
        out = (e.stdout or b"").decode("utf-8", "replace")
        rc = None
    if log:
        with open(log, "a", encoding="utf-8") as f:
            f.write(f"$ {' '.join(cmd)}\n{out}\n")
    return rc, out, time.monotonic() - start


def build(build_dir, targets, jobs, log):
    rc, out, _ = run(["cmake", "--build", build_dir, "-j", str(jobs), "--target"] + targets, log=log)
    return rc == 0, out


def first_failure(output):
    for line in output.splitlines():
        if line.startswith("[  FAILED  ]"):
            return line[len("[  FAILED  ]"):].strip().split(" ")[0]
    return ""


def all_failures(output):
    """Every test the output names as failed, once each, in order."""
    names = []
    for line in output.splitlines():
        if line.startswith("[  FAILED  ]") and not re.match(r"\[  FAILED  \] \d+ tests?, listed below", line):
            name = line[len("[  FAILED  ]"):].strip().split(" ")[0].rstrip(",")
            if name and name not in names:
                names.append(name)
    return names


def last_started(output):
    """The test running when the output stopped (a crash or a timeout)."""
    started = ""
    for line in output.splitlines():
        if line.startswith("[ RUN      ]"):
            started = line[len("[ RUN      ]"):].strip()
        elif line.startswith(("[       OK ]", "[  FAILED  ]")):
            started = ""
    return started


def run_tests(build_dir, tests, limits, log, gtest_filter=None, killers=None):
    """Returns (verdict, detail): verdict is 'survived', 'caught' or 'timeout'.
    With a killers list, every executable runs whole and the list gets the
    name of each failing test (a crash or timeout names the test it hit)."""
    result = ("survived", "")
    for t in tests:
        exe = os.path.join(build_dir, TEST_DIRS[t], t)
        extra = ["--gtest_filter=" + gtest_filter] if gtest_filter else []
        if killers is None:
            extra += ["--gtest_fail_fast", "--gtest_brief=1"]
        rc, out, _ = run([exe] + extra, timeout=limits[t], log=None if killers is not None else log)
        if killers is not None:
            killers += [f"{t}:{name}" for name in all_failures(out)]
            if rc is None or rc < 0:
                hit = last_started(out)
                killers.append(f"{t}:{hit or '?'}({'timeout' if rc is None else 'signal ' + str(-rc)})")
        if result[0] != "survived":
            continue
        if rc is None:
            result = ("timeout", f"{t} past {limits[t]:.0f} s")
        elif rc != 0:
            failed = first_failure(out)
            if rc < 0:
                result = ("caught", f"{t} crashed (signal {-rc}){' in ' + failed if failed else ''}")
            else:
                result = ("caught", f"{t}: {failed or 'exit ' + str(rc)}")
        if killers is None and result[0] != "survived":
            return result
    return result


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--only", nargs="*", default=None, help="run only these mutation ids")
    parser.add_argument("--list", action="store_true", help="list the mutations and whether they apply")
    parser.add_argument("--work", default=os.path.join(ROOT, "build-mutate"), help="scratch folder")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--results", default=None, help="also write the table to this file")
    parser.add_argument("--gtest-filter", default=None,
                        help="run only these tests against each mutant (to see which tests catch it)")
    parser.add_argument("--map", default=None,
                        help="run every test against each mutant and write which tests fail to this file")
    parser.add_argument("--no-lto", action="store_true",
                        help="build without link-time optimisation (much quicker links; for maps)")
    args = parser.parse_args()

    mutations = read_mutations(MUTATIONS)
    if args.only:
        unknown = set(args.only) - {m.ident for m in mutations}
        if unknown:
            sys.exit(f"unknown mutation ids: {' '.join(sorted(unknown))}")
        mutations = [m for m in mutations if m.ident in args.only]

    src = os.path.join(args.work, "src")
    build_dir = os.path.join(args.work, "build")
    log = os.path.join(args.work, "mutate.log")
    os.makedirs(args.work, exist_ok=True)
    sync_tree(src)

    def applies(m):
        path = os.path.join(src, m.file)
        if not os.path.isfile(path):
            return False
        with open(path, encoding="utf-8") as f:
            return f.read().count(m.find) == 1

    if args.list:
        for m in mutations:
            print(f"{m.ident:32s} {'ok   ' if applies(m) else 'STALE'} {m.file}")
        return 0

    open(log, "w").close()
    # Restore the scratch copy on any way out, signals included.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(130))
    signal.signal(signal.SIGHUP, lambda *_: sys.exit(130))

    started = time.monotonic()
    print(f"mutate: configuring {build_dir}", flush=True)
    rc, out, _ = run(["cmake", "-S", src, "-B", build_dir, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                      "-DKELMAR_BENCH=OFF", "-DKELMAR_WERROR=OFF",
                      "-DKELMAR_LTO=" + ("OFF" if args.no_lto else "ON")], log=log)
    if rc != 0:
        print(out)
        sys.exit("mutate: configuring failed")
    targets = sorted({t for m in mutations for t in m.tests})
    print(f"mutate: building {' '.join(targets)}", flush=True)
    ok, out = build(build_dir, targets, args.jobs, log)
    if not ok:
        print(out[-4000:])
        sys.exit("mutate: the unmutated tree does not build")
    limits = {}
    for t in targets:
        exe = os.path.join(build_dir, TEST_DIRS[t], t)
        rc, out, seconds = run([exe, "--gtest_brief=1"], log=log)
        if rc != 0:
            print(out[-4000:])
            sys.exit(f"mutate: {t} fails on the unmutated tree")
        limits[t] = max(30.0, 10.0 * seconds)
        print(f"mutate: {t} passes unmutated in {seconds:.1f} s (limit {limits[t]:.0f} s per mutant)", flush=True)

    rows = []
    if args.map:
        open(args.map, "w").close()
    for index, m in enumerate(mutations, 1):
        killers = [] if args.map else None
        path = os.path.join(src, m.file)
        if not applies(m):
            rows.append((m, "stale", "snippet not found exactly once"))
            print(f"[{index}/{len(mutations)}] {m.ident}: stale", flush=True)
            if args.map:
                with open(args.map, "a", encoding="utf-8") as f:
                    f.write(f"{m.ident}\tstale\n")
            continue
        with open(path, encoding="utf-8") as f:
            original = f.read()
        try:
            with open(path, "w", encoding="utf-8") as f:
                f.write(original.replace(m.find, m.replace))
            ok, out = build(build_dir, m.tests, args.jobs, log)
            if not ok:
                verdict, detail = "no-build", "the mutant does not compile"
            else:
                verdict, detail = run_tests(build_dir, m.tests, limits, log, args.gtest_filter, killers)
                if verdict == "survived" and m.equivalent:
                    verdict, detail = "equivalent", m.equivalent
        finally:
            with open(path, "w", encoding="utf-8") as f:
                f.write(original)
        if args.map:
            with open(args.map, "a", encoding="utf-8") as f:
                f.write("\t".join([m.ident, verdict] + (killers or [])) + "\n")
        rows.append((m, verdict, detail))
        print(f"[{index}/{len(mutations)}] {m.ident}: {verdict} {detail}", flush=True)

    # Leave the build matching the unmutated tree.
    build(build_dir, targets, args.jobs, log)

    counted = [r for r in rows if r[1] in ("caught", "timeout", "survived")]
    caught = [r for r in counted if r[1] != "survived"]
    lines = [f"| mutation | file | tests | result | detail |", "|---|---|---|---|---|"]
    for m, verdict, detail in rows:
        lines.append(f"| {m.ident} | {m.file} | {' '.join(m.tests)} | {verdict} | {detail} |")
    summary = (f"caught {len(caught)} of {len(counted)} "
               f"(timeouts {sum(1 for r in rows if r[1] == 'timeout')}, "
               f"stale {sum(1 for r in rows if r[1] == 'stale')}, "
               f"not building {sum(1 for r in rows if r[1] == 'no-build')}, "
               f"equivalent {sum(1 for r in rows if r[1] == 'equivalent')}) "
               f"in {(time.monotonic() - started) / 60:.1f} min")
    survivors = [m.ident for m, verdict, _ in rows if verdict == "survived"]
    print("\n".join(lines))
    if survivors:
        print("survived: " + " ".join(survivors))
    print(summary)
    if args.results:
        with open(args.results, "w", encoding="utf-8") as f:
            f.write("\n".join(lines) + "\n\n")
            if survivors:
                f.write("survived: " + " ".join(survivors) + "\n\n")
            f.write(summary + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
