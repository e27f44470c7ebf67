# Runs the basin of the current folder at several time steps of the runoff
# element and prints a row for each: the peak outflow and its time, the
# outflow volume, the storage at the end and the water balance's residual.
#   sh steps.sh LENGTH INCREMENT STEP...
# LENGTH and INCREMENT answer tmorvelan2d's first two prompts (s). Each step
# runs on a copy of the folder's files; the folder itself is not changed.
# Needs tmorvelan2d on the PATH, and event.awk and balance.awk beside this
# script.
set -e
tools=$(cd "$(dirname "$0")" && pwd)
here=$(pwd)
length=$1
increment=$2
shift 2
work=${TMPDIR:-/tmp}/steps.$$
trap 'rm -rf "$work"' 0
trap 'exit 1' HUP INT TERM
printf '%8s %9s %8s %9s %9s %9s %7s\n' step peak "peak at" outflow storage residual "of the"
printf '%8s %9s %8s %9s %9s %9s %7s\n' "(s)" "(m3/s)" "(s)" "(m3)" "(m3)" "(m3)" rain
for step in "$@"; do
  rm -rf "$work"
  mkdir "$work"
  for f in ./*; do if [ -f "$f" ]; then cp "$f" "$work/"; fi; done
  cd "$work"
  # The element's line: the first line after "Morvelan2d ..." that is not a
  # comment; its first number is the time step.
  awk -v step="$step" '
    element && !/^#/ && NF { $1 = step; element = 0 }
    /^Morvelan2d/ { element = 1 }
    { print }' tmorvelan2d.pmt > pmt.new
  mv pmt.new tmorvelan2d.pmt
  if ! printf '%s\n%s\nY\n' "$length" "$increment" | tmorvelan2d > console 2> errors; then
    cat errors >&2
    exit 1
  fi
  area=$(sed -n 's/.*total area: \(.*\)(m2).*/\1/p' console)
  set -- $(awk -v row=1 -f "$tools/event.awk" all_rain.dat tmorvelan2d.out) \
    $(awk -v row=1 -v area="$area" -f "$tools/balance.awk" all_rain.dat tmorvelan2d.out tmorvelan2d.stg)
  printf '%8s %9.4g %8s %9.0f %9.0f %9.0f %5.1f %%\n' "$step" "$2" "$3" "$1" "$7" "$8" "$9"
  cd "$here"
done
