#!/usr/bin/env bash
# press_end_to_end.sh LINUX_BUILD WINDOWS_BUILD: a generated school imported and updated by the
# Linux press and by the Windows press.exe under Wine (on Xvfb) gives the same target files, byte
# for byte, and the same report block, which on Windows is really at c:\Varnholt import.csv.
set -euo pipefail
linux=$(realpath "$1")
windows=$(realpath "$2")
for tool in "$linux/tools/make-sample-school/make-sample-school" "$linux/tools/press/press"; do
  [ -x "$tool" ] || { echo "press_end_to_end: $tool is missing: build for Linux first (scripts/setup)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$linux/tools/make-sample-school/make-sample-school" "$work/school" --seed 18 >/dev/null
mkdir "$work/linux" "$work/windows"
cp -r "$work/school/." "$work/linux/"
cp -r "$work/school/." "$work/windows/"

report="$windows/wine-prefix/drive_c/Varnholt import.csv"
rm -f "$report"
# Each in a folder of its own: the skip marker is looked for in the working directory.
(cd "$work/linux" && "$linux/tools/press/press" --source torbek.mdb --target varnholt --drive-c ../drive_c \
  "IMPORT INTO VARNHOLT" Update >../linux.out)
(cd "$work/windows" && xvfb-run -a "$windows/run-wine" "$windows/tools/press/press.exe" --source torbek.mdb \
  --target varnholt "IMPORT INTO VARNHOLT" Update >../windows.out)

status=0
# Windows' console ends its lines with CR LF.
tr -d '\r' <"$work/windows.out" | diff "$work/linux.out" - || { echo "the boxes differ" >&2; status=1; }
[ "$(grep -c '^box: Finished' "$work/windows.out")" -ge 2 ] || { echo "no Finished box on Windows" >&2; status=1; }
for file in "$work/linux/varnholt"/*; do
  cmp "$file" "$work/windows/varnholt/$(basename "$file")" || status=1
done
[ "$(ls "$work/linux/varnholt" | wc -l)" -eq "$(ls "$work/windows/varnholt" | wc -l)" ] || { echo "other files" >&2; status=1; }
cmp "$work/drive_c/Varnholt import.csv" "$report" || status=1
rm -f "$report"
[ $status -eq 0 ] && echo "same targets ($(ls "$work/linux/varnholt" | wc -l) files) and the same report"
exit $status
