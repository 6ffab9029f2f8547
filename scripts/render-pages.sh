#!/usr/bin/env bash
# Renders the main window's two pages and the About box into docs/screenshots/*.png under a
# virtual X display (Xvfb), against the bus simulator. Builds what it needs first.
#   scripts/render-pages.sh            # build folder build/default
#   LINVAR_BUILD_DIR=build/x scripts/render-pages.sh
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${LINVAR_BUILD_DIR:-$root/build/default}
out=$root/docs/screenshots

for tool in xvfb-run cmake; do
    command -v "$tool" >/dev/null || { echo "render-pages: $tool is not installed" >&2; exit 1; }
done

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target linvar_render_pages linvar-sim -j2 >/dev/null

mkdir -p "$out"
# A real X server, so the pages are drawn by the same platform plugin as on a desktop.
xvfb-run -a -s "-screen 0 1024x768x24" \
    env QT_QPA_PLATFORM=xcb "$build/tests/e2e/linvar_render_pages" "$out"

if command -v identify >/dev/null; then
    identify "$out"/*.png
fi
