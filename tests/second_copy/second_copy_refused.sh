#!/usr/bin/env bash
# second_copy_refused.sh MAKE_SCHOOL HOLD PRESS [EMULATOR]: one process (hold-target) holds a
# generated school's target tables as a running command does; a second copy of the program (press,
# run by EMULATOR when given: press.exe under Wine) pressing IMPORT INTO VARNHOLT on the same school
# is refused with our message and writes nothing. Once the first lets go, the folder is free.
set -euo pipefail
make_school=$(realpath "$1")
hold=$(realpath "$2")
press=$(realpath "$3")
run=()
[ $# -ge 4 ] && [ -n "$4" ] && run=("$4")
export QT_QPA_PLATFORM=offscreen

work=$(mktemp -d)
holder=""
# Ends the holder's input, and waits for it to let go (a holder that does not is stopped).
release() {
  exec 3>&-
  if [ -n "$holder" ]; then
    for _ in $(seq 1 300); do
      kill -0 "$holder" 2>/dev/null || break
      sleep 0.1
    done
    kill "$holder" 2>/dev/null || true
    wait "$holder" 2>/dev/null || true
  fi
  holder=""
}
trap 'release; rm -rf "$work"' EXIT
"$make_school" "$work/school" --seed 20 --learners 40 --parents 30 --classes 5 >/dev/null
mkdir "$work/drive_c"
cd "$work/school"

# The holder keeps its tables until its standard input ends: until fd 3 here is closed. Nothing
# else may inherit fd 3 (a Wine server started meanwhile would keep it open).
mkfifo "$work/release"
"${run[@]}" "$hold" varnholt <"$work/release" >"$work/holder.out" 2>&1 &
holder=$!
exec 3>"$work/release"
for _ in $(seq 1 600); do
  grep -q '^holding' "$work/holder.out" 2>/dev/null && break
  kill -0 "$holder" 2>/dev/null || { echo "the holder ended: $(cat "$work/holder.out")" >&2; exit 1; }
  sleep 0.1
done
grep -q '^holding' "$work/holder.out" || { echo "the holder never held the tables" >&2; exit 1; }

before=$(cd varnholt && md5sum -- * | sort)
"${run[@]}" "$press" --source torbek.mdb --target varnholt --drive-c ../drive_c "IMPORT INTO VARNHOLT" 3>&- \
  | tr -d '\r' >"$work/press.out"
status=0
grep -q '^box: .*the table is in use (another program has it open for writing)' "$work/press.out" ||
  { echo "not refused as in use:" >&2; cat "$work/press.out" >&2; status=1; }
grep -q '^box: Finished' "$work/press.out" && { echo "the second copy finished" >&2; status=1; }
after=$(cd varnholt && md5sum -- * | sort)
[ "$before" = "$after" ] || { echo "the second copy changed the tables:" >&2; diff <(echo "$before") <(echo "$after") >&2; status=1; }
[ -z "$(ls "$work/drive_c")" ] || { echo "the second copy wrote a report" >&2; status=1; }

# Let go: the same press finishes.
release
"${run[@]}" "$press" --source torbek.mdb --target varnholt --drive-c ../drive_c "IMPORT INTO VARNHOLT" 3>&- \
  | tr -d '\r' >"$work/press.out"
grep -q '^box: Finished' "$work/press.out" || { echo "not finished once let go:" >&2; cat "$work/press.out" >&2; status=1; }
[ $status -eq 0 ] && echo "refused while held, tables unchanged; finished once let go"
exit $status
