# Adds to every record of an edge connection file its distribution rate and
# upper area: V.4 (as dorvask writes it) becomes V.5, V.2 becomes V.3.
#   awk -f to-v5.awk basin.con > basin-v5.con
# The rates and areas are the ones tmorvelan2d computes from a V.4 or V.2
# file, and an edge may also take the water of a river edge (a river of
# reaches in series): the river edge passes its upper area on.
#   distribution rate: the share of the water at the edge's upper node that
#     enters the edge: 1 for the only edge leaving the node; where several
#     leave, a river edge gets 1 / (their number), a slope edge too when a
#     river edge leaves the node, else slope edges share in proportion to
#     width x sqrt(sine of the slope angle);
#   upper area: the area draining into the upper node (for each edge
#     draining into it, its own area and its upper area), times the rate.
# The records are read as items, one record is written per line.
function fail(text) { print "to-v5.awk: " FILENAME ": " text > "/dev/stderr"; failed = 1; exit 1 }
function item() { if (next_item > items) fail("the file ends inside a record"); return word[next_item++] }
function upper_area(e,   i, k, sum) {
  if (e in area_above) return area_above[e]
  if (e in visiting) fail("edge " e " drains into itself")
  visiting[e] = 1
  for (i = 1; i <= nup[e]; i++) {
    k = up[e, i]
    if (k + 0 <= 0) continue
    if (!(k in order)) fail("edge " e ": its upper edge " k " is not in the file")
    if (order[k] > order[e]) print "to-v5.awk: edge " k " drains into edge " e " but comes after it: number the edges upstream first" > "/dev/stderr"
    sum += area[k] + upper_area(k)
  }
  return area_above[e] = sum * rate[e]
}
function distribution_rate(e,   i, k, n, river, own, all) {
  n = 1
  own = all = share[e]
  for (i = 1; i <= nup[e]; i++) {
    k = -up[e, i]
    if (k <= 0) continue
    if (!(k in order)) fail("edge " e ": its upper edge " k " is not in the file")
    n++
    if (atr[k] == 1) all += share[k]
    else river = 1
  }
  if (atr[e] == 2) return 1 / n
  return river ? 1 / n : own / all
}
data { sub(/#.*/, ""); for (i = 1; i <= NF; i++) word[++items] = $i; next }
version_line {
  version_line = 0
  if (substr($0, 1, 19) == "edge connection V.4") { point = 8; print "edge connection V.5"; next }
  if (substr($0, 1, 19) == "edge connection V.2") { point = 3; print "edge connection V.3"; next }
  fail("not an edge connection file of version V.2 or V.4")
}
count_line { count_line = 0; count = $1 + 0 }
/^\[Data Format Name\]/ { print "Distribution rates and upper areas added by to-v5.awk."; version_line = 1 }
/^\[Number of Total Edges\]/ { count_line = 1 }
/^\[Data\]/ { data = 1 }
{ print }
END {
  if (failed) exit 1
  if (!point) fail("no [Data Format Name] line")
  next_item = 1
  for (n = 1; n <= count; n++) {
    e = item(); order[e] = n; edge[n] = e
    text = e
    for (i = 1; i <= point; i++) text = text " " item()
    nup[e] = item(); text = text " " nup[e]
    for (i = 1; i <= nup[e]; i++) { up[e, i] = item(); text = text " " up[e, i] }
    k = item(); text = text " " k
    for (i = 1; i <= k; i++) text = text " " item()
    atr[e] = item(); text = text " " atr[e]
    if (atr[e] == 1) {
      len = item(); grd = item(); area[e] = item()
      text = text " " len " " grd " " area[e]
      if (grd <= 0) grd = 0.00001
      share[e] = area[e] / len * sqrt(grd / sqrt(1 + grd * grd))
    } else if (atr[e] != 2) fail("edge " e ": attribute " atr[e] ": tmorvelan2d takes 1 (slope) and 2 (river) only")
    record[e] = text
  }
  for (n = 1; n <= count; n++) rate[edge[n]] = distribution_rate(edge[n])
  for (n = 1; n <= count; n++) {
    e = edge[n]
    printf "%s %.10g %.10g\n", record[e], rate[e], upper_area(e)
  }
}
