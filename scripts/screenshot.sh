#!/usr/bin/env bash
# Makes docs/screenshot.png from the real main window with the demo catalogue open.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${WELARIK_BUILD_DIR:-build}
cmake --build "$build" --target welarik-screenshot welarik-dbf
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/tools/welarik-dbf" demo "$work" > /dev/null
if command -v xvfb-run > /dev/null; then
    xvfb-run -a -s "-screen 0 1024x768x24" "$build/tools/welarik-screenshot" "$work/FILMY.DBF" docs/screenshot.png
else
    QT_QPA_PLATFORM=offscreen "$build/tools/welarik-screenshot" "$work/FILMY.DBF" docs/screenshot.png
fi
echo "docs/screenshot.png"
