# The water balance of a run of tmorvelan2d, from the files it writes:
#   awk -v area=AREA -f balance.awk all_rain.dat tmorvelan2d.out tmorvelan2d.stg
# AREA is the slope area (m2), the "total area" tmorvelan2d prints first.
#   rain     each step's rain (all_rain.dat, mm/h, the rain at the step's end)
#            over the step and the slope area;
#   outflow  the outflow over each step, as the mean of its two ends;
#   storage  the last value of tmorvelan2d.stg less the first;
#   residual rain - outflow - storage.
# Options: -v from=TIME starts the balance at TIME (s) instead of the first
# line; -v divisions=N adds the storage at the end over the divisions of an
# edge, the size of the residual the storage series leaves out; -v row=1
# prints rain, outflow, storage, residual (m3) and the residual in % of the
# rain, on one line.
BEGIN { for (i = 1; i < ARGC; i++) input[ARGV[i]] = i }
/^#/ || NF < 2 || (from != "" && $1 < from + 0) { next }
input[FILENAME] == 1 { rain[$1 + 0] = $2; next }
input[FILENAME] == 2 {
  if (n++) {
    outflow += ($1 - t) * (q + $2) / 2
    fallen += rain[$1 + 0] / 3600000 * ($1 - t) * area
  } else start = $1
  t = $1; q = $2
  next
}
input[FILENAME] == 3 { if (m++ == 0) first = $2; last = $2 }
END {
  stored = last - first
  residual = fallen - outflow - stored
  share = fallen > 0 ? 100 * residual / fallen : 0
  if (row) { printf "%.1f %.1f %.1f %.1f %.2f\n", fallen, outflow, stored, residual, share; exit }
  printf "water balance from %d s to %d s, %g m2 of slopes\n", start, t, area
  printf "  rain       %10.1f m3 (%.1f mm)\n", fallen, fallen / area * 1000
  printf "  outflow    %10.1f m3\n", outflow
  printf "  storage    %10.1f m3 (%g at %d s, %g at %d s)\n", stored, first, start, last, t
  printf "  residual   %10.1f m3, %.2f %% of the rain\n", residual, share
  if (divisions > 0) printf "  storage / %d divisions %.1f m3\n", divisions, last / divisions
}
