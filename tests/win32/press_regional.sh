#!/usr/bin/env bash
# press_regional.sh LINUX_BUILD WINDOWS_BUILD: press.exe under Wine imports and updates a school
# whose dates a wrong reading would change (make-sample-school --date-edge-cases), on the regional
# settings of real office PCs: Wine's default en-US (M/d/yyyy), en-GB (dd/MM/yyyy), de-DE
# (dd.MM.yyyy, decimal comma), sv-SE (yyyy-MM-dd) and en-ZA (yyyy/MM/dd). Each time the target
# files are byte for byte those of the Linux press, and so is the report, given the setting's date
# separator. A prefix of its own: a change of locale resets a prefix's regional settings, which
# would change them under the suites running beside this one.
set -euo pipefail
linux=$(realpath "$1")
windows=$(realpath "$2")
for tool in "$linux/tools/make-sample-school/make-sample-school" "$linux/tools/press/press"; do
  [ -x "$tool" ] || { echo "press_regional: $tool is missing: build for Linux first (scripts/setup)" >&2; exit 1; }
done
for locale in en_US en_GB de_DE sv_SE en_ZA; do
  locale -a 2>/dev/null | grep -qx "$locale.utf8" ||
    { echo "press_regional: the locale $locale.UTF-8 is missing: scripts/build-windows makes it" >&2; exit 1; }
done
export WINEPREFIX="$windows/wine-prefix-regional" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
work=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8 wineboot -i </dev/null >/dev/null 2>&1
  # As the suites' prefix: Xvfb has no window manager, so Wine draws the frames itself.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f </dev/null >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
  wineserver -w
fi
for font in /usr/share/wine/fonts/*; do
  [ -e "$WINEPREFIX/drive_c/windows/Fonts/$(basename "$font")" ] || cp "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
done

"$linux/tools/make-sample-school/make-sample-school" "$work/school" --seed 30 --learners 300 --date-edge-cases >/dev/null
report="$WINEPREFIX/drive_c/Varnholt import.csv"
international='HKCU\Control Panel\International'
status=0
# locale, then the short date the PC's owner set (empty: the locale's own), then its separator.
while IFS='|' read -r locale pattern separator; do
  export LANG=$locale LC_ALL=$locale
  # The first program under a new locale puts that locale's settings in the prefix; ours go on top.
  wine reg query "$international" /v sShortDate </dev/null >/dev/null 2>&1 || true
  if [ -n "$pattern" ]; then
    wine reg add "$international" /v sShortDate /d "$pattern" /f </dev/null >/dev/null 2>&1
    wine reg add "$international" /v sDate /d "$separator" /f </dev/null >/dev/null 2>&1
  fi
  shown=$(wine reg query "$international" /v sShortDate </dev/null 2>/dev/null | tr -d '\r' | awk '/sShortDate/ {print $3}')
  sep=$(wine reg query "$international" /v sDate </dev/null 2>/dev/null | tr -d '\r' | awk '/sDate/ {print $3}')
  # The server the reg calls started has no display, nor would the windows of its programs.
  wineserver -w
  name=${locale%%.*}
  lin="$work/linux-$name"
  win="$work/$name Ærø"
  mkdir -p "$lin" "$win"
  cp -r "$work/school/." "$lin/"
  cp -r "$work/school/." "$win/"
  rm -f "$report"
  (cd "$lin" && "$linux/tools/press/press" --source torbek.mdb --target varnholt --drive-c drive_c --date-separator "$sep" \
    "IMPORT INTO VARNHOLT" Update >out)
  (cd "$win" && xvfb-run -a wine "$windows/tools/press/press.exe" --source torbek.mdb --target varnholt \
    "IMPORT INTO VARNHOLT" Update >out) || { echo "$name: press.exe failed" >&2; status=1; }
  same=yes
  tr -d '\r' <"$win/out" | diff "$lin/out" - >&2 || { echo "$name: the boxes differ" >&2; same=no; }
  [ "$(grep -c '^box: Finished' "$lin/out")" -eq 2 ] || { echo "$name: no two Finished boxes" >&2; same=no; }
  for file in "$lin/varnholt"/*; do
    [ -f "$file" ] || continue
    cmp "$file" "$win/varnholt/$(basename "$file")" >&2 || same=no
  done
  # The backups' lists of what changed: dates as dates whatever the regional settings.
  for list in "$lin/varnholt/Varnholt backups"/*/changes.csv; do
    other=$(ls -d "$win/varnholt/Varnholt backups"/*" $(basename "$(dirname "$list")" | cut -d' ' -f2-)" | head -1)
    cmp "$list" "$other/changes.csv" >&2 || same=no
  done
  [ "$(ls "$lin/varnholt" | wc -l)" -eq "$(ls "$win/varnholt" | wc -l)" ] || { echo "$name: other files" >&2; same=no; }
  cmp "$lin/drive_c/Varnholt import.csv" "$report" >&2 || { echo "$name: the reports differ" >&2; same=no; }
  echo "$name (short date $shown, separator $sep): $([ $same = yes ] && echo same targets and report || echo DIFFERENT)"
  [ $same = yes ] || status=1
done <<'SETTINGS'
en_US.UTF-8||
en_GB.UTF-8|dd/MM/yyyy|/
de_DE.UTF-8|dd.MM.yyyy|.
sv_SE.UTF-8|yyyy-MM-dd|-
en_ZA.UTF-8|yyyy/MM/dd|/
SETTINGS
rm -f "$report"
exit $status
