# The chain on this basin, from the node and edge files to the water
# balance. Run it in a folder that holds the files of docs/examples/reaches
# and the scripts of docs/examples, with the four programs on the PATH:
#   sh run.sh
set -e
pelmic edges.dat nodes.dat basin.e4 > pelmic.log
dorvask basin.e4 basin.con > dorvask.log
# The river's reaches in series: tmorvelan2d needs the V.5 file.
awk -f to-v5.awk basin.con > basin-v5.con
sarnolt < sarnolt.answers > sarnolt.log
# Its console and reports go to tmorvelan2d.log; the end of it if it fails.
tmorvelan2d < tmorvelan2d.answers > tmorvelan2d.log 2>&1 || { tail tmorvelan2d.log >&2; exit 1; }
area=$(sed -n 's/.*total area: \(.*\)(m2).*/\1/p' tmorvelan2d.log)
awk -f event.awk all_rain.dat tmorvelan2d.out
awk -v area="$area" -v divisions=10 -f balance.awk all_rain.dat tmorvelan2d.out tmorvelan2d.stg
