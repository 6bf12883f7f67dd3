#!/bin/sh
# Runs the window's tests with the Wine prefix's screen at another DPI: at_dpi.sh DPI RUN-WINE TEST-EXE
# [SCREENSHOT.bmp]. The prefix is put back to 96 DPI afterwards, whatever the outcome.
set -u
dpi=$1 run_wine=$2 test_exe=$3 screenshot=${4:-}
set_dpi() {
  "$run_wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
}
trap 'set_dpi 96' EXIT
set_dpi "$dpi" || { echo "at_dpi.sh: cannot set LogPixels to $dpi" >&2; exit 1; }
VARNHOLT_EXPECTED_DPI=$dpi VARNHOLT_SCREENSHOT=$screenshot \
  xvfb-run -a -s "-screen 0 1280x1024x24" "$run_wine" "$test_exe"
