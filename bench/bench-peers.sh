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
# Runs minutes apart see a different machine when it is shared (20-40 % on a
# 2-core VM), so the suite ends with H2H rounds of a head-to-head: per scene,
# kelmar (default settings) and the scene's fastest peers run back to back,
# each run a process of its own with the suite's repetitions, kelmar first in
# odd rounds and last in even ones (the scene's runs in reverse order). The
# peers: Bullet f32 "si" and "si-2f" on S1, S2 and S4; MuJoCo Newton against
# both servos on S5; on S3 the fastest peer of the suite's own lines that
# finished and stayed valid. Their lines are kept marked "h2h ROUND", and a
# last table gives per scene and pair each round's kelmar/peer ratio, their
# median and range, and in how many rounds kelmar was faster.
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
#        H2H=3           head-to-head rounds after the suite (0: none)
#        SUITE=1         0: the head-to-head alone (S3 then against both
#                        Bullet f32 solvers)
#        STEPS=          steps of every run (default each program's own,
#                        1000; fewer only to try the script's mechanics)
#        JOBS=2          build jobs
set -euo pipefail

# table FILE: the tables of the result lines in FILE.
table() {
  local main
  main=$(main_table "$1")
  if [ -n "$main" ]; then
    main_intro
    echo "$main"
  fi
  h2h_table "$1"
}

main_intro() {
  echo "Time per step (median of the repetitions) and quality, kelmar beside each peer of the same run."
  echo "bkchol/peer, vbchol/peer, auto/peer: kelmar's time with the block or the variable-bandwidth Cholesky, or the one"
  echo "chosen per island, under its LCP solver over the peer's (bk@1e-09/peer: block Cholesky, LCP tolerance 1e-9); above 1 kelmar is slower."
  echo "rate/peer, opt/peer (S5): the robot layer with the peers' velocity servo, or with its time-optimal approach."
  echo "DNF: not finished within its time limit; its time is"
  echo "the mean over the steps it did (the first, easiest steps), marked ~. Lines marked +sleep"
  echo "ran with sleeping on and are compared with kelmar+sleep."
}

# main_table FILE: the suite's tables, one a scene (nothing for a file without
# the suite's lines).
main_table() {
  sed -e 's/= */=/g' "$1" | awk '
  /^#/ || NF < 4 || $4 == "N/A:" || $1 == "h2h" { next }
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

# h2h_table FILE: the head-to-head's ratios, from the lines marked "h2h ROUND"
# (nothing for a file without them).
h2h_table() {
  sed -e 's/= */=/g' "$1" | awk '
  $1 != "h2h" || $2 !~ /^[0-9]+$/ || NF < 6 { next }
  {
    r = $2 + 0; scene = $5; us = ""; dnf = ($6 == "DNF:" || $6 == "FAILED:")
    if (dnf) { match($0, /\(([0-9.]+) us\/step/); us = substr($0, RSTART + 1, RLENGTH - 9) }
    for (i = 6; i <= NF; ++i) if ($i ~ /^us\/step=/) us = substr($i, 9)
    if (us == "") next
    if (r > rounds) rounds = r
    if (!(scene in scenes)) { scenes[scene] = 1; order[++nscenes] = scene }
    side = ($3 == "kelmar") ? "k" : "p"; who = (side == "k") ? $4 : $3 " " $4
    if (!((scene, side, who) in known)) { known[scene, side, who] = 1; list[scene, side, ++n[scene, side]] = who }
    time[scene, who, r] = us + 0; failed[scene, who, r] = dnf
  }
  END {
    if (!rounds) exit
    printf "\nHead-to-head after the suite: %d round%s, each scene'"'"'s kelmar and peer runs back to back, each a process\n", rounds, (rounds > 1) ? "s" : ""
    printf "of its own, kelmar first in odd rounds and last in even ones. kelmar/peer per round (above 1 kelmar is slower),\n"
    printf "their median and range, and the rounds in which kelmar was faster; ~: a run that did not finish, left out of all three.\n\n"
    printf "  %-6s %-12s %-18s", "scene", "kelmar", "peer"
    for (r = 1; r <= rounds; ++r) printf " %8s", "round " r
    printf " %7s  %-11s  %s\n", "median", "range", "faster"
    for (s = 1; s <= nscenes; ++s) {
      sc = order[s]
      for (k = 1; k <= n[sc, "k"]; ++k) for (p = 1; p <= n[sc, "p"]; ++p) {
        mine = list[sc, "k", k]; peer = list[sc, "p", p]; m = 0; faster = 0
        printf "  %-6s %-12s %-18s", sc, mine, peer
        for (r = 1; r <= rounds; ++r) {
          if (!((sc, mine, r) in time) || !((sc, peer, r) in time) || time[sc, peer, r] <= 0) { printf " %8s", "-"; continue }
          ratio = time[sc, mine, r] / time[sc, peer, r]
          if (failed[sc, mine, r] || failed[sc, peer, r]) { printf " %8s", sprintf("~%.2f", ratio); continue }
          printf " %8.2f", ratio
          # insertion into the sorted ratios of this pair
          for (i = ++m; i > 1 && v[i - 1] > ratio; --i) v[i] = v[i - 1]
          v[i] = ratio; faster += (ratio < 1)
        }
        if (!m) { printf " %7s  %-11s  %s\n", "-", "-", "-"; continue }
        median = (m % 2) ? v[(m + 1) / 2] : (v[m / 2] + v[m / 2 + 1]) / 2
        printf " %7.2f  %-11s  %d of %d\n", median, sprintf("%.2f-%.2f", v[1], v[m]), faster, m
      }
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
LONG=${LONG:-0} SLEEP=${SLEEP:-0} JOBS=${JOBS:-2} H2H=${H2H:-3} SUITE=${SUITE:-1}
steps=()
if [ -n "${STEPS:-}" ]; then steps=(--steps "$STEPS"); fi

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
  echo "# reps=$REPS timeout=${TIMEOUT}s dnf_timeout=${DNF_TIMEOUT}s h2h=$H2H${STEPS:+ steps=$STEPS}"
} | tee "$results"
started=$SECONDS

# run SECONDS PROGRAM ARGS...: result lines to the terminal and the file,
# progress (standard error) to the terminal only.
run() {
  local seconds=$1
  shift
  "$@" "${steps[@]}" --reps "$REPS" --timeout "$seconds" | tee -a "$results"
}

if [ "$SUITE" != 0 ]; then
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
  echo "# suite: $((SECONDS - started)) s" | tee -a "$results"
fi

# h2h_run ROUND SCENE KEY: one run of the head-to-head, its lines marked with
# the round. KEY: kelmar (bench_scenes), rate or opt (bench_hand's servos), or
# a peer as "BINARY SOLVER" (peer_BINARY --solver SOLVER).
h2h_run() {
  local round=$1 scene=$2 key=$3
  case $key in
    kelmar) set -- "$bench" --scene "$scene" ;;
    rate | opt) set -- "$hand" --servo "$key" ;;
    *) set -- "$build/peer_${key%% *}" --solver "${key#* }" --scene "$scene" ;;
  esac
  "$@" "${steps[@]}" --reps "$REPS" --timeout "$TIMEOUT" | sed -u "s/^/h2h $round /" | tee -a "$results"
}

if [ "$H2H" -gt 0 ]; then
  # S3's peer: the fastest of the suite's S3 lines that finished and stayed valid.
  s3peer=$(sed -e 's/= */=/g' "$results" | awk '
    $1 !~ /^(#|h2h|kelmar)/ && $1 !~ /\+sleep$/ && $3 == "S3" && $4 ~ /^steps\/s=/ && !/INVALID/ {
      for (i = 4; i <= NF; ++i) if ($i ~ /^us\/step=/) us = substr($i, 9) + 0
      if (best == "" || us < fastest) { best = $1 " " $2; fastest = us }
    }
    END { print best }')
  bullet="bullet_f32 si,bullet_f32 si-2f"
  s3keys=$bullet
  if [ -n "$s3peer" ]; then s3keys="$(echo "${s3peer%% *}" | tr - _) ${s3peer#* }"; fi
  plan=("1:kelmar,$bullet" "2:kelmar,$bullet" "3:kelmar,$s3keys" "4:kelmar,$bullet")
  if [ -x "$hand" ]; then plan+=("5:rate,opt,mujoco newton"); fi
  echo "# h2h: $H2H rounds; S3's peer: ${s3peer:-none from the suite, so both Bullet f32 solvers}" | tee -a "$results"
  started=$SECONDS
  for ((round = 1; round <= H2H; ++round)); do
    echo "# h2h round $round $(date +%T) load $(cut -d' ' -f1-3 /proc/loadavg)" | tee -a "$results"
    for entry in "${plan[@]}"; do
      IFS=, read -ra keys <<<"${entry#*:}"
      if ((round % 2 == 0)); then
        for ((i = ${#keys[@]} - 1; i >= 0; --i)); do h2h_run "$round" "${entry%%:*}" "${keys[i]}"; done
      else
        for key in "${keys[@]}"; do h2h_run "$round" "${entry%%:*}" "$key"; done
      fi
    done
  done
  echo "# h2h: $((SECONDS - started)) s" | tee -a "$results"
fi

echo
table "$results"
echo
echo "All result lines: $results"
