#!/usr/bin/env bash
# bench-peers.sh --table on fixed input: a kept run's tables come out as that
# run printed them, and a head-to-head's ratios, medians, ranges and counts
# are the ones worked out by hand below.
# usage: test_bench_peers_table.sh BENCH_PEERS_SCRIPT KEPT_RUN
set -euo pipefail
script=$1 kept=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

awk '/^Time per step/ { p = 1 } /^All result lines/ { p = 0 } p' "$kept" | sed '$ { /^$/d }' >"$tmp/printed"
"$script" --table "$kept" >"$tmp/old"
diff "$tmp/printed" "$tmp/old"

# S4: 2000/2500 = 0.80; round 2 unfinished (~1.50, left out); 2400/2000 = 1.20; 1900/2000 = 0.95.
# S5 in rounds 1 and 2 alone, the median the mean of the two: rate 0.50 and 1.10, opt 0.60 and 1.20.
cat "$kept" - >"$tmp/h2h" <<'EOF_H2H'
h2h 1 kelmar     lcs-bkchol S4  us/step= 2000.0
h2h 1 bullet-f32 si         S4  us/step= 2500.0
h2h 1 kelmar     servo-rate S5  us/step= 10.0
h2h 1 kelmar     servo-opt  S5  us/step= 12.0
h2h 1 mujoco     newton     S5  us/step= 20.0
h2h 2 mujoco     newton     S5  us/step= 10.0
h2h 2 kelmar     servo-opt  S5  us/step= 12.0
h2h 2 kelmar     servo-rate S5  us/step= 11.0
h2h 2 bullet-f32 si         S4  us/step= 2000.0
h2h 2 kelmar     lcs-bkchol S4  DNF: timeout 60s after 48 steps (3000.0 us/step over completed steps)
h2h 3 kelmar     lcs-bkchol S4  us/step= 2400.0
h2h 3 bullet-f32 si         S4  us/step= 2000.0
h2h 4 bullet-f32 si         S4  us/step= 2000.0
h2h 4 kelmar     lcs-bkchol S4  us/step= 1900.0
EOF_H2H
"$script" --table "$tmp/h2h" >"$tmp/new"
head -n "$(wc -l <"$tmp/old")" "$tmp/new" | diff "$tmp/old" -
sed -n '/^  scene  kelmar/,$p' "$tmp/new" | diff - <(cat <<'EOF_ROWS'
  scene  kelmar       peer                round 1  round 2  round 3  round 4  median  range        faster
  S4     lcs-bkchol   bullet-f32 si          0.80    ~1.50     1.20     0.95    0.95  0.80-1.20    2 of 3
  S5     servo-rate   mujoco newton          0.50     1.10        -        -    0.80  0.50-1.10    1 of 2
  S5     servo-opt    mujoco newton          0.60     1.20        -        -    0.90  0.60-1.20    1 of 2
EOF_ROWS
)
