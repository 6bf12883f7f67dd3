#!/usr/bin/env bash
# press_end_to_end.sh LINUX_BUILD WINDOWS_BUILD: a generated school imported and updated by the
# Linux press and by the Windows press.exe under Wine (on Xvfb) gives the same target files, byte
# for byte, and the same report block, which on Windows is really at c:\Varnholt import.csv. The
# Windows side works in a folder whose name is outside ASCII, and make-sample-school.exe, given such a
# name on its command line, makes the same school there as the Linux one.
set -euo pipefail
linux=$(realpath "$1")
windows=$(realpath "$2")
for tool in "$linux/tools/make-sample-school/make-sample-school" "$linux/tools/press/press"; do
  [ -x "$tool" ] || { echo "press_end_to_end: $tool is missing: build for Linux first (scripts/setup)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$linux/tools/make-sample-school/make-sample-school" "$work/school" --seed 18 >/dev/null
windows_dir="$work/windows Ærø 2026"
mkdir "$work/linux" "$windows_dir"
cp -r "$work/school/." "$work/linux/"
cp -r "$work/school/." "$windows_dir/"

report="$windows/wine-prefix/drive_c/Varnholt import.csv"
rm -f "$report"
# Each in a folder of its own: the skip marker is looked for in the working directory.
(cd "$work/linux" && "$linux/tools/press/press" --source torbek.mdb --target varnholt --drive-c ../drive_c \
  "IMPORT INTO VARNHOLT" Update >../linux.out)
(cd "$windows_dir" && xvfb-run -a "$windows/run-wine" "$windows/tools/press/press.exe" --source torbek.mdb \
  --target varnholt "IMPORT INTO VARNHOLT" Update >../windows.out)

status=0
# Windows' console ends its lines with CR LF.
tr -d '\r' <"$work/windows.out" | diff "$work/linux.out" - || { echo "the boxes differ" >&2; status=1; }
[ "$(grep -c '^box: Finished' "$work/windows.out")" -ge 2 ] || { echo "no Finished box on Windows" >&2; status=1; }
for file in "$work/linux/varnholt"/*; do
  [ -f "$file" ] || continue
  cmp "$file" "$windows_dir/varnholt/$(basename "$file")" || status=1
done
# A backup a command, in the same order, each with the same list of what it changed.
backups() { ls "$1/varnholt/Varnholt backups"; }
[ "$(backups "$work/linux" | sed 's/^[^ ]* //')" = "$(backups "$windows_dir" | sed 's/^[^ ]* //')" ] ||
  { echo "other backups" >&2; status=1; }
paste <(backups "$work/linux") <(backups "$windows_dir") | while IFS=$'\t' read -r l w; do
  cmp "$work/linux/varnholt/Varnholt backups/$l/changes.csv" "$windows_dir/varnholt/Varnholt backups/$w/changes.csv"
done || status=1
[ "$(ls "$work/linux/varnholt" | wc -l)" -eq "$(ls "$windows_dir/varnholt" | wc -l)" ] || { echo "other files" >&2; status=1; }

(cd "$work" && "$windows/run-wine" "$windows/tools/make-sample-school/make-sample-school.exe" "Skole Ærø" --seed 18 >/dev/null) ||
  { echo "make-sample-school.exe failed" >&2; status=1; }
# The tables carry the time they were made; the database does not.
cmp "$work/school/torbek.mdb" "$work/Skole Ærø/torbek.mdb" || { echo "make-sample-school.exe made another school" >&2; status=1; }
[ "$(ls "$work/school/varnholt")" = "$(ls "$work/Skole Ærø/varnholt")" ] || { echo "make-sample-school.exe made other tables" >&2; status=1; }
cmp "$work/drive_c/Varnholt import.csv" "$report" || status=1
rm -f "$report"
[ $status -eq 0 ] && echo "same targets ($(ls "$work/linux/varnholt" | wc -l) files) and the same report"
exit $status
