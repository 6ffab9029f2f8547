#!/usr/bin/env bash
# Installs what is missing, builds Linvar and runs it on the bundled bus simulator (the demo
# devices of tools/sim/demo.conf behind port 1) with the sample catalogue params.cfg.
# Without a display it shows the same bus through linvar-cli instead.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh run

cmake --preset run >/dev/null
cmake --build --preset run -j"$(nproc)"
bin=$PWD/build/run

work=$(mktemp -d "${TMPDIR:-/tmp}/linvar-demo.XXXXXX")
source scripts/simulator.bash
cleanup() {
    stop_simulator
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

start_simulator "$bin/tools/sim/linvar-sim" tools/sim/demo.conf "$work/bus" "$work/sim.out"

# Port 1 names the simulated bus; every other setting keeps its default.
printf '[Software\\KAVEN\\VELMO\\RS]\nCOM1=%s\n' "$work/bus" >"$work/rs485.conf"
export LINVAR_SETTINGS=$work/rs485.conf

if [[ -n ${DISPLAY:-} || -n ${WAYLAND_DISPLAY:-} ]]; then
    echo "Linvar runs on the simulated bus at port 1 (devices at 5, 12, 33 and 90)." >&2
    "$bin/app/linvar"
else
    echo "No display: neither DISPLAY nor WAYLAND_DISPLAY is set, so the window cannot open." >&2
    echo "Here is the same simulated bus through linvar-cli (port 1):" >&2
    echo >&2
    cli=$bin/tools/cli/linvar-cli
    echo "\$ linvar-cli scan --port 1"
    "$cli" scan --port 1
    echo
    echo "\$ linvar-cli read --port 1 --address 12"
    "$cli" read --port 1 --address 12
fi
