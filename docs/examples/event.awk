# The event at the outlet of a run of tmorvelan2d:
#   awk -f event.awk all_rain.dat tmorvelan2d.out
# prints the outflow volume (the outflow over each step as the mean of its
# two ends, m3), the peak (m3/s), its time (s), and the time from the
# beginning of the rain (the start of the first step with rain) to the peak.
# With -v row=1: the four numbers alone, on one line.
BEGIN { for (i = 1; i < ARGC; i++) input[ARGV[i]] = i }
/^#/ || NF < 2 { next }
input[FILENAME] == 1 {
  if ($2 > 0 && rained == "") { rained = $1; began = before }
  before = $1
  next
}
input[FILENAME] == 2 {
  if (n++) volume += ($1 - t) * (q + $2) / 2
  else start = $1
  if (n == 1 || $2 > peak) { peak = $2; at = $1 }
  t = $1; q = $2
}
END {
  if (began == "") began = start
  if (row) { printf "%.1f %g %d %d\n", volume, peak, at, at - began; exit }
  printf "outflow volume %.1f m3 from %d s to %d s\n", volume, start, t
  printf "peak %g m3/s at %d s", peak, at
  if (rained == "") printf ", no rain\n"
  else printf ", %d s after the rain began at %d s\n", at - began, began
}
