#!/usr/bin/env bash
# Runs the toolkit's scene benchmark and the peer engines' suite (ODE,
# Bullet, MuJoCo, built from their Debian packages; nothing of kelmar links
# them) one after the other on this machine, then prints one table per
# scene: kelmar's time per step and quality beside each peer's, and the
# ratio kelmar / peer. kelmar runs with the world's default factorisation
# under its LCP solver (block Cholesky) and, on S1 and S3, also with the
# variable-bandwidth Cholesky, with the factorisation chosen per island and
# with a tight LCP tolerance (1e-9 instead of the world's 0.001), and S2 with 4,000 and 16,000 balls at the same
# density (S2x4, S2x16; every kelmar line gives its peak memory, rss).
# Scene S5 (a hand holding a ball) is run through the robot layer by
# bench_hand, next to BENCH_SCENES, with the peers' velocity servo and
# with the robot's time-optimal approach. Every result line is also kept
# in a file.
#
# usage: bench/bench-peers.sh BENCH_SCENES PEERS_DIR PEERS_BUILD
#        bench/bench-peers.sh --table RESULTS_FILE   (the tables of a kept file)
# env:   REPS=3          repetitions per case (median reported)
#        TIMEOUT=120     wall-clock seconds per run before it counts as not finished
#        DNF_TIMEOUT=60  the same for ODE's dWorldStep on S2 and S4, which
#                        cannot finish (one dense LCP per island)
#        GROW_TIMEOUT=600 the same for kelmar's piles of 4,000 and 16,000 balls
#        LONG=0          1: also MuJoCo Newton on S4 (about 25 minutes)
#        SLEEP=0         1: also the runs with sleeping on
#        JOBS=2          build jobs
set -euo pipefail

# table FILE: the tables of the result lines in FILE.
table() {
  echo "Time per step (median of the repetitions) and quality, kelmar beside each peer of the same run."
  echo "bkchol/peer, vbchol/peer, auto/peer: kelmar's time with the block or the variable-bandwidth Cholesky, or the one"
  echo "chosen per island, under its LCP solver over the peer's (bk@1e-09/peer: block Cholesky, LCP tolerance 1e-9); above 1 kelmar is slower."
  echo "rate/peer, opt/peer (S5): the robot layer with the peers' velocity servo, or with its time-optimal approach."
  echo "DNF: not finished within its time limit; its time is"
  echo "the mean over the steps it did (the first, easiest steps), marked ~. Lines marked +sleep"
  echo "ran with sleeping on and are compared with kelmar+sleep."
  sed -e 's/= */=/g' "$1" | awk '
  /^#/ || NF < 4 || $4 == "N/A:" { next }
  {
    engine = $1 " " $2; scene = substr($3, 2); us = ""; state = "ok"; quality = ""
    group = ($1 ~ /\+sleep$/) ? "+sleep" : ""
    if ($4 == "DNF:" || $4 == "FAILED:") {
      state = "dnf"
      match($0, /after [0-9]+ steps/); done = substr($0, RSTART + 6, RLENGTH - 12)
      match($0, /\(([0-9.]+) us\/step/); us = substr($0, RSTART + 1, RLENGTH - 9)
      quality = $4 " " done " steps done"
      if ($4 == "DNF:") quality = "DNF after " done " steps (" $6 ")"
    } else {
      for (i = 4; i <= NF; ++i) {
        if ($i ~ /^us\/step=/) us = substr($i, 9)
        else if ($i ~ /^steps\/s=/ || $i ~ /^\[reps/ || $i ~ /\]$/) continue
        else quality = quality (quality == "" ? "" : " ") $i
      }
    }
    n = ++count[scene]; name[scene, n] = engine; time[scene, n] = us; status[scene, n] = state
    text[scene, n] = quality; groupOf[scene, n] = group; seen[engine, scene] = 1
    # each kelmar solver of a group gets a ratio column of its own
    if ($1 == "kelmar" group) {
      if (!((group, $2) in column)) { column[group, $2] = ++columns[group]; label[group, columns[group]] = $2 }
      c = column[group, $2]; mine[group, c, scene] = us; mineState[group, c, scene] = state
      present[group, c, scene] = 1
    }
  }
  END {
    split("stack pile chain boxes hand", title, " ")
    for (s = 1; s <= 5; ++s) {
      if (!count[s]) continue
      printf "\nS%d %s\n", s, title[s]
      printf "  %-22s %14s", "engine solver", "us/step"
      for (c = 1; c <= columns[""]; ++c) if (present["", c, s]) printf " %12s", substr(label["", c], index(label["", c], "-") + 1) "/peer"
      printf "  quality\n"
      for (pass = 1; pass <= 2; ++pass) for (n = 1; n <= count[s]; ++n) {
        if ((pass == 1) != (name[s, n] ~ /^kelmar/)) continue
        t = time[s, n]; mark = (status[s, n] == "dnf") ? "~" : ""; g = groupOf[s, n]
        printf "  %-22s %14s", name[s, n], mark sprintf("%.1f", t)
        for (c = 1; c <= columns[""]; ++c) {
          if (!present["", c, s]) continue
          ratio = "-"
          if (name[s, n] !~ /^kelmar/ && mine[g, c, s] != "" && t + 0 > 0) {
            partial = (status[s, n] == "dnf" || mineState[g, c, s] == "dnf") ? "~" : ""
            ratio = sprintf("%s%.2f", partial, mine[g, c, s] / t)
          }
          printf " %12s", ratio
        }
        printf "  %s\n", text[s, n]
      }
      if (s == 2) printf "  %-22s %14s  %s\n", "mujoco (all)", "N/A", "cannot hold the settled pile'"'"'s contacts (peers README)"
      if (s == 4 && !seen["mujoco newton", 4]) printf "  %-22s %14s  %s\n", "mujoco newton", "not run", "about 25 minutes; LONG=1 runs it"
    }
  }'
}

if [ $# -eq 2 ] && [ "$1" = "--table" ]; then
  table "$2"
  exit 0
fi
if [ $# -ne 3 ]; then
  echo "usage: $0 BENCH_SCENES PEERS_DIR PEERS_BUILD" >&2
  echo "       $0 --table RESULTS_FILE" >&2
  exit 2
fi
bench=$1 peers=$2 build=$3
hand=$(dirname "$bench")/bench_hand
REPS=${REPS:-3} TIMEOUT=${TIMEOUT:-120} DNF_TIMEOUT=${DNF_TIMEOUT:-60} GROW_TIMEOUT=${GROW_TIMEOUT:-600}
LONG=${LONG:-0} SLEEP=${SLEEP:-0} JOBS=${JOBS:-2}

if [ ! -x "$bench" ]; then
  echo "bench-peers: no scene benchmark at '$bench' (make bench builds it)" >&2
  exit 1
fi
if [ ! -f "$peers/common.hpp" ] || [ ! -f "$peers/CMakeLists.txt" ]; then
  echo "bench-peers: no peer suite in '$peers' (it is expected next to the repository, in ../shared/peers)" >&2
  exit 1
fi

cmake -S "$peers" -B "$build" -G Ninja >/dev/null
cmake --build "$build" -j "$JOBS"

mkdir -p "$build"
results=$build/results-$(date +%Y%m%dT%H%M%S).txt
{
  echo "# bench-peers $(date -Is)"
  echo "# machine: nproc=$(nproc) cpu=\"$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')\" load=\"$(cut -d' ' -f1-3 /proc/loadavg)\""
  echo "# reps=$REPS timeout=${TIMEOUT}s dnf_timeout=${DNF_TIMEOUT}s"
} | tee "$results"

# run SECONDS PROGRAM ARGS...: result lines to the terminal and the file,
# progress (standard error) to the terminal only.
run() {
  local seconds=$1
  shift
  "$@" --reps "$REPS" --timeout "$seconds" | tee -a "$results"
}

run "$TIMEOUT"     "$bench"
run "$TIMEOUT"     "$bench" --solver vbchol --scene 13
run "$TIMEOUT"     "$bench" --solver auto --scene 13
run "$TIMEOUT"     "$bench" --tolerance 1e-9 --scene 13
# How the pile's cost grows: 4,000 and 16,000 balls at the same density.
run "$GROW_TIMEOUT" "$bench" --scene 2 --pile-width 2
run "$GROW_TIMEOUT" "$bench" --scene 2 --pile-width 4
if [ -x "$hand" ]; then
  run "$TIMEOUT"   "$hand" --servo rate
  run "$TIMEOUT"   "$hand" --servo opt
fi
run "$TIMEOUT"     "$build/peer_ode" --solver step --scene 135
run "$DNF_TIMEOUT" "$build/peer_ode" --solver step --scene 24
run "$TIMEOUT"     "$build/peer_ode" --solver quick
run "$TIMEOUT"     "$build/peer_bullet_f64"
run "$TIMEOUT"     "$build/peer_bullet_f32"
run "$TIMEOUT"     "$build/peer_mujoco" --solver newton --scene 135
if [ "$LONG" = 1 ]; then
  run 900 "$build/peer_mujoco" --solver newton --scene 4
fi
run "$TIMEOUT"     "$build/peer_mujoco" --solver pgs --scene 1345
run "$TIMEOUT"     "$build/peer_mujoco" --solver newton-eq --scene 3
if [ "$SLEEP" = 1 ]; then
  run "$TIMEOUT" "$bench" --sleep --scene 124
  run "$TIMEOUT" "$build/peer_ode" --solver quick --scene 124 --sleep
  run "$TIMEOUT" "$build/peer_bullet_f64" --scene 124 --sleep
fi

echo
table "$results"
echo
echo "All result lines: $results"
