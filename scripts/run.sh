#!/usr/bin/env bash
# Installs what is missing, builds, lays out the demo catalogue beside the program and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
build=${WELARIK_BUILD_DIR:-build}
bin="$build/src/app"
if [ -x "$bin/welarik" ]; then
    [ -f "$bin/FILMY.DBF" ] || "$build/tools/welarik-dbf" demo "$bin"
    exec "$bin/welarik"
fi
# Until the main window exists: lay out the demo catalogue and describe its films table.
demo="$build/demo"
[ -f "$demo/FILMY.DBF" ] || "$build/tools/welarik-dbf" demo "$demo"
"$build/tools/welarik-dbf" info "$demo/FILMY.DBF"
