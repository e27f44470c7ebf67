# Makes the end of a run of tmorvelan2d (ended with Y, by the end of its
# input or by a signal: its terminal files are of the time it reached) the
# start of the next one under the same file names, so that any number of
# runs can follow one another in this folder:
#   sh restart.sh && tmorvelan2d
# tmorvelan2d.tst becomes tmorvelan2d.ist, naming again the initial
# discharge file, which gets the edges' discharges at the end (the terminal
# discharge file, its name with .tst); tmorvelan2d.tsd becomes
# tmorvelan2d.isd. First, the run's series and all_rain.dat, which the next
# run writes anew when its first segment ends, are kept in runs/END (END the
# time the run reached), and the first run's start in runs/start. The files
# the run wrote are only read: a restart.sh that was stopped can be run
# again.
set -e
if [ ! -f tmorvelan2d.tst ]; then
  echo "restart.sh: no tmorvelan2d.tst here: end the run with Y first" >&2
  exit 1
fi
end=$(awk '/^# current_time = / { print $4; exit }' tmorvelan2d.tst)
# The element's line: its time and the terminal discharge file.
terminal=$(awk 'NF == 2 && $2 ~ /\.tst$/ { print $2 }' tmorvelan2d.tst)
initial=${terminal%.tst}
if [ -z "$end" ] || [ -z "$terminal" ] || [ ! -f "$terminal" ]; then
  echo "restart.sh: tmorvelan2d.tst names no terminal discharge file that is here" >&2
  exit 1
fi
# The series end where the terminal state is, unless the run failed to
# write its files (it then ended with status 1, and keeping its series
# under END would replace those of the run before).
last=$(awk '!/^#/ && NF == 2 { t = $1 } END { print t }' tmorvelan2d.out 2> /dev/null || true)
if [ "$last" != "$end" ]; then
  echo "restart.sh: tmorvelan2d.out does not end at $end s, the time of tmorvelan2d.tst: the run's files do not agree (see the run's reports); nothing is changed" >&2
  exit 1
fi
if [ ! -d runs/start ]; then
  mkdir -p runs/start.new
  cp tmorvelan2d.ist "$initial" runs/start.new/
  mv runs/start.new runs/start
fi
mkdir -p "runs/$end"
cp tmorvelan2d.out tmorvelan2d.sat tmorvelan2d.stg all_rain.dat "runs/$end/"
# Each file is written beside its name and then renamed over it.
cp "$terminal" "$initial.new"
sed 's/\.tst$//' tmorvelan2d.tst > tmorvelan2d.ist.new
cp tmorvelan2d.tsd tmorvelan2d.isd.new
mv "$initial.new" "$initial"
mv tmorvelan2d.ist.new tmorvelan2d.ist
mv tmorvelan2d.isd.new tmorvelan2d.isd
echo "restart.sh: the next run starts at $end s"
