#!/usr/bin/env bash
# pelmic on a generated basin of 10^6 edges, side by side with `sort -n` on
# the same edge file.
#
#   bench/pelmic_vs_sort.sh [path/to/pelmic] [edges] [runs] [scrambled|ordered]
#
# The basin: nodes 1 .. n+1, edge k runs from node k+1 down to node
# floor((k+1)/2) (a binary river tree draining to node 1), elevations
# falling toward the outlet; 70 % slope edges (attribute 1), 20 % river
# edges (2), 10 % channel edges (3); comment lines mixed in. The records
# are written in a scrambled order of their numbers (the default, so that
# the sort has work to do) or in ascending order ("ordered"). The generator is deterministic (Park-Miller numbers in awk).
# Each program runs `runs` times (default 5), the three taking turns; the
# median wall times are shown.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
pelmic=${1:-$here/../build/tools/pelmic/pelmic}
n=${2:-1000000}
runs=${3:-5}
order=${4:-scrambled}
case $order in scrambled) step=7919 ;; ordered) step=1 ;; *) echo "order: scrambled or ordered" >&2; exit 2 ;; esac
pelmic=$(cd "$(dirname "$pelmic")" && pwd)/$(basename "$pelmic")
work=$(mktemp -d /tmp/pelmic_bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"

awk -v n="$n" -v step="$step" 'BEGIN {
  seed = 20240611
  m = n + 1
  print "[Comment]"; print "generated basin of " n " edges"
  print "[Data Format Name]"; print "node format V.0"; print "[Data]"
  for (k = 0; k < m; k++) {
    i = (k * step) % m + 1                       # node numbers, scrambled or ascending
    seed = (seed * 16807) % 2147483647; x = seed % 100000
    seed = (seed * 16807) % 2147483647; y = seed % 100000
    seed = (seed * 16807) % 2147483647
    z = 10 * log(i) / log(2) + (seed % 1000) / 1000
    if (k % 100000 == 0) print "# node block " k
    if (i % 10 == 0) printf "%d 1 %d %d %.3f 2500\n", i, x, y, z
    else             printf "%d 0 %d %d %.3f\n", i, x, y, z
  }
}' > nodes.dat

awk -v n="$n" -v step="$step" 'BEGIN {
  seed = 777
  print "[Comment]"; print "generated basin of " n " edges"
  print "[Data Format Name]"; print "edge format V.0"; print "[Data]"
  for (k = 0; k < n; k++) {
    e = (k * step) % n + 1                       # edge numbers, scrambled or ascending
    up = e + 1; low = int((e + 1) / 2)
    seed = (seed * 16807) % 2147483647; c = seed % 10
    seed = (seed * 16807) % 2147483647; len = 10 + seed % 500
    if (k % 100000 == 0) print "# edge block " k
    if (c < 7)      printf "%d %d %d 1 %d %d  # slope\n", e, up, low, len, 100 + seed % 5000
    else if (c < 9) printf "%d %d %d 2\n", e, up, low
    else            printf "%d %d %d 3 %d\n", e, up, low, len
  }
}' > edges.dat

echo "basin ($order): $n edges, $(wc -l < nodes.dat) node lines ($(du -h nodes.dat | cut -f1)), $(wc -l < edges.dat) edge lines ($(du -h edges.dat | cut -f1))"

# Wall time in seconds of one run of a command.
wall() {
  local s e
  s=$(date +%s.%N)
  "$@" > /dev/null
  e=$(date +%s.%N)
  echo "$e - $s" | bc
}
# The median of the numbers on standard input.
median() {
  sort -g | awk '{ v[NR] = $1 } END { printf "%.3f", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# The three commands take turns, so that a busy moment of the machine
# falls on all of them alike.
tps=() tss=() t1s=()
for ((r = 0; r < runs; r++)); do
  tps+=("$(wall "$pelmic" edges.dat nodes.dat out.dat)")
  tss+=("$(wall sort -n edges.dat -o sorted.dat)")
  t1s+=("$(wall sort -n --parallel=1 edges.dat -o sorted1.dat)")
done
tp=$(printf '%s\n' "${tps[@]}" | median)
ts=$(printf '%s\n' "${tss[@]}" | median)
t1=$(printf '%s\n' "${t1s[@]}" | median)
echo "pelmic edges.dat nodes.dat out.dat   median of $runs: ${tp} s"
echo "sort -n edges.dat                    median of $runs: ${ts} s"
echo "sort -n --parallel=1 edges.dat       median of $runs: ${t1} s"
echo "ratio pelmic / sort -n: $(echo "scale=2; $tp / $ts" | bc), pelmic / sort -n --parallel=1: $(echo "scale=2; $tp / $t1" | bc)"
echo "output: $(sed -n 12p out.dat) edges written, peak memory of pelmic:"
/usr/bin/time -f "  %M kB maximum resident, %e s" "$pelmic" edges.dat nodes.dat out.dat > /dev/null
