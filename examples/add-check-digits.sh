#!/bin/sh
# The sample run of talvo: JAN (M10W3) check digits for column 1 of sample.csv, which has a
# header line, added as a new last column.
#   add-check-digits.sh [OUTPUT]    OUTPUT is sample.out.csv in the current folder unless given
# The talvo installed beside this script (../../../../bin/talvo, as under /usr or an unpacked
# package) is used when it is there, else the one on PATH.
here=$(CDPATH='' cd -- "$(dirname -- "$0")" && pwd) || exit 1
talvo=$here/../../../../bin/talvo
[ -x "$talvo" ] || talvo=talvo
out=${1:-sample.out.csv}
# talvo wants the output's folder spelled out.
case $out in
  /*) ;;
  *) out=$PWD/$out ;;
esac

# </dev/null: after a file that cannot be opened, talvo waits for Enter; a script must not hang.
"$talvo" "$here/sample.csv" "$out" 1 1 1 6 </dev/null
status=$?
if [ "$status" -ne 0 ]; then
  echo "talvo failed with exit status $status" >&2
  exit "$status"
fi
echo "written: $out"
