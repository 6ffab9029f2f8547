#!/usr/bin/env bash
# Runs the Windows build under Wine: the core's test programs, then linvar-cli.exe against
# linvar-sim through a COM port of the prefix's registry, with link settings in the prefix's
# machine-wide key. Everything lives in a temporary folder with a Wine prefix and a
# wineserver of its own, both removed at the end; the user's ~/.wine is never touched.
# Usage: run-under-wine.sh --bin BUILD_DIR --sim LINVAR_SIM --catalogue PARAMS --bus CONF
set -uo pipefail

bin="" sim="" catalogue="" bus=""
while [[ $# -gt 0 ]]; do
    case $1 in
    --bin) bin=$2 ;;
    --sim) sim=$2 ;;
    --catalogue) catalogue=$2 ;;
    --bus) bus=$2 ;;
    *) echo "usage: $0 --bin DIR --sim PATH --catalogue FILE --bus FILE" >&2; exit 2 ;;
    esac
    shift 2
done
bin=$(realpath "$bin") sim=$(realpath "$sim")
catalogue=$(realpath "$catalogue") bus=$(realpath "$bus")
if ! command -v wine >/dev/null || ! command -v wineserver >/dev/null; then
    echo "SKIPPED: Wine is not installed (scripts/deps.sh test installs it)"
    exit 77
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/linvar-wine-XXXXXX")
export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all
# No Mono or Gecko installer dialogs, and no window at all.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
source "$(dirname "$0")/../../scripts/simulator.bash"
ser2net_pid=""
cleanup() {
    if [[ -n $ser2net_pid ]]; then
        kill "$ser2net_pid" 2>/dev/null
        wait "$ser2net_pid" 2>/dev/null
    fi
    stop_simulator
    # -k stops the wineserver of this prefix only.
    wineserver -k >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT

passed=0 failed=0
pass() { echo "ok: $1"; passed=$((passed + 1)); }
fail() { echo "FAILED: $1"; failed=$((failed + 1)); }

reg_add() { wine reg add "$@" /f >/dev/null 2>&1; }
# The link settings live in the registry's 32-bit view, as 32-bit tools write them.
settings_key='HKLM\Software\KAVEN\VELMO\RS'
settings_add() { reg_add "$settings_key" /reg:32 "$@"; }

# --- The prefix, its wineserver and the registry ------------------------------------------
start=$(date +%s%N)
mkdir -p "$WINEPREFIX"
wineserver -p10 >>"$work/wineserver.log" 2>&1
wine wineboot -i >/dev/null 2>&1
echo "prefix made in $((($(date +%s%N) - start) / 1000000)) ms"

if ! start_simulator "$sim" "$bus" "$work/link" "$work/sim.out"; then
    echo "FAILED: linvar-sim did not start"
    exit 1
fi

# Wine makes its COM ports from this key when the prefix's devices start: restart them.
reg_add 'HKCU\Software\Wine\Ports' /v COM5 /d "$work/link"
reg_add 'HKLM\Software\Wine\Ports' /v COM5 /d "$work/link"
settings_add /v CmdTimeoutConstant /t REG_DWORD /d 100
wineserver -k >/dev/null 2>&1
wineserver -p10 >>"$work/wineserver.log" 2>&1
wine wineboot -u >/dev/null 2>&1
if [[ "$(readlink "$WINEPREFIX/dosdevices/com5")" != "$work/link" ]]; then
    fail "Wine did not map COM5 to the simulator's link"
fi

# --- The core's test programs -------------------------------------------------------------
run_tests() {
    local name=$1 filter=${2:-}
    local out="$work/$name.log"
    (cd "$bin/tests/${name#test_}" && wine "./$name.exe" ${filter:+--gtest_filter=$filter}) \
        >"$out" 2>&1
    local status=$?
    local summary
    summary=$(grep -E '^\[  PASSED  \]|tests? ran' "$out" | tr '\n' ' ')
    if [[ $status -eq 0 ]]; then
        pass "$name.exe: $summary"
    else
        grep -E '^\[  FAILED  \]|Failure|Expected|Which is|actual' "$out" | head -40
        fail "$name.exe (exit $status)"
    fi
}
echo "not run under Wine: Settings.DefaultLocation (the settings' home on Windows is the" \
    "registry key; Win32Port.MissingPortFailsWithNotFoundAndNamesUseTheDeviceForm checks it)"
run_tests test_link '-Settings.DefaultLocation'
run_tests test_catalogue
run_tests test_values
run_tests test_workers

# --- linvar-cli.exe against the simulator -------------------------------------------------
cli() {
    (cd "$work" && wine "$bin/tools/cli/linvar-cli.exe" --port 5 --quiet \
        --catalogue "$catalogue" "$@") >"$work/cli.out" 2>"$work/cli.err"
}
expect_exit() {
    local want=$1 what=$2
    shift 2
    cli "$@"
    local status=$?
    if [[ $status -eq $want ]]; then
        pass "$what"
    else
        fail "$what: exit $status, wanted $want; $(tr '\n' ' ' <"$work/cli.err")"
    fi
}
expect_output() {
    if grep -qE "$1" "$work/cli.out"; then
        pass "$2"
    else
        fail "$2: no '$1' in: $(tr '\n' ' ' <"$work/cli.out")"
    fi
}

expect_exit 0 "scan through COM5" scan --last 6
expect_output '^2 +18 +1\.11' "scan finds device 2"
expect_output '^5 +9 +2\.05' "scan finds device 5"
# The traffic trace: device 2's ping and its accepted reply, on stderr.
expect_exit 0 "scan with --trace" scan --last 2 --trace
if grep -qE 'COM5 +#1 +> 02 .*accepted' "$work/cli.err"; then
    pass "the trace shows the accepted ping through COM5"
else
    fail "no accepted ping in the trace: $(head -c 400 "$work/cli.err" | tr '\n' ' ')"
fi
# The port list names COM5 by the DOS device Wine maps to the simulator.
if (cd "$work" && wine "$bin/tools/cli/linvar-cli.exe" ports) >"$work/ports.out" 2>&1 &&
    grep -qE '^port 5: ' "$work/ports.out"; then
    pass "ports lists COM5"
else
    fail "ports does not list COM5: $(tr '\n' ' ' <"$work/ports.out")"
fi
# Line speeds: Wine's serial layer hands the speed set on COM5 to the pseudo-terminal, where
# the simulator reads it; device 7 listens at 19200 only.
expect_exit 0 "scan at 19200 through COM5" --baud 19200 scan --last 7
expect_output '^7 +9 +2\.05' "a search at 19200 finds device 7"
if grep -qE '^2 +18' "$work/cli.out"; then
    fail "the search at 19200 found device 2, which listens at 9600"
else
    pass "the search at 19200 does not find device 2"
fi
expect_exit 0 "scan across 9600 and 19200 through COM5" --baud 9600,19200 scan --last 7
expect_output '^9600 +2 +18' "the search across speeds lists device 2 at 9600"
expect_output '^19200 +7 +9' "the search across speeds lists device 7 at 19200"
expect_exit 0 "write device 7 at 19200" --baud 19200 write --address 7 --raw 3=13
expect_exit 0 "read device 7 at 19200" --baud 19200 read --address 7
expect_output '13' "device 7 holds the value written at 19200"
expect_exit 1 "device 7 does not answer at 9600" read --address 7 --type 9 --firmware 2.05
# The registry's BaudRate is the speed of a run without --baud.
settings_add /v BaudRate /t REG_DWORD /d 19200
expect_exit 0 "BaudRate=19200 from the registry reaches device 7" \
    read --address 7 --type 9 --firmware 2.05
wine reg delete "$settings_key" /reg:32 /v BaudRate /f >/dev/null 2>&1
# A write that moves device 8 to address 9 and 19200 baud follows it and lands every value.
expect_exit 0 "a write follows device 8 to address 9 at 19200" write --address 8 1=9 2=19.2 7=44
expect_output 'new address 9 and at its new line speed 19200' "the write says where device 8 is"
expect_exit 0 "read the moved device at 9, 19200" --baud 19200 read --address 9
expect_output '44' "the moved device holds the value written after the move"
expect_exit 0 "read device 2" read --address 2
expect_output '20' "device 2's pause parameter read"
expect_exit 0 "write device 2" write --address 2 --raw 7=35
expect_exit 0 "read device 2 back" read --address 2
expect_output '35' "device 2 holds the written value"
# Device 5's read replies take 300 ms: the registry's 100 ms time-out loses them...
expect_exit 1 "CmdTimeoutConstant=100 from the registry cuts device 5's slow read" \
    read --address 5 --type 9 --firmware 2.05
# ... and 1000 ms lets them through.
settings_add /v CmdTimeoutConstant /t REG_DWORD /d 1000
expect_exit 0 "CmdTimeoutConstant=1000 lets device 5's slow read through" \
    read --address 5 --type 9 --firmware 2.05
# An eight-byte value counts as missing: the default 600 ms applies, enough for 300 ms.
settings_add /v CmdTimeoutConstant /t REG_QWORD /d 50
expect_exit 0 "an eight-byte CmdTimeoutConstant counts as missing" \
    read --address 5 --type 9 --firmware 2.05
if grep -q "CmdTimeoutConstant ignored" "$work/cli.err"; then
    pass "linvar-cli warns about the eight-byte value"
else
    fail "no warning about the eight-byte value: $(tr '\n' ' ' <"$work/cli.err")"
fi
if [[ "$(wine reg query "$settings_key" /reg:32 2>/dev/null | grep -c REG_)" -eq 1 ]]; then
    pass "the settings key holds only what the test wrote"
else
    fail "the program wrote into the settings key"
fi

# --- linvar-cli.exe through a network serial server --------------------------------------
# ser2net on the simulator's pseudo-terminal, on loopback ports nothing listens on, stopped by
# its pid; linvar-cli.exe reaches it over Winsock by raw TCP and by RFC 2217.
listening() { grep -q "0100007F:$(printf '%04X' "$1") 00000000:0000 0A" /proc/net/tcp; }
free_port() {
    local port
    while port=$((20000 + RANDOM % 20000)) && listening "$port"; do :; done
    echo "$port"
}
# ser2net lets go of the device a moment after its client has gone, and turns a new client
# away until then.
wait_released() {
    local device _
    device=$(readlink -f "$work/link")
    for _ in $(seq 200); do
        find "/proc/$ser2net_pid/fd" -lname "$device" 2>/dev/null | grep -q . || return 0
        sleep 0.05
    done
}
ser2net=$(command -v ser2net || echo /usr/sbin/ser2net)
if [[ -x $ser2net ]]; then
    raw_port=$(free_port) telnet_port=$(free_port)
    connector="  connector: serialdev,$work/link,9600n81,local"
    printf 'connection: &raw\n  accepter: tcp,127.0.0.1,%s\n%s\nconnection: &rfc2217\n  accepter: telnet(rfc2217),tcp,127.0.0.1,%s\n%s\n' \
        "$raw_port" "$connector" "$telnet_port" "$connector" >"$work/ser2net.yaml"
    "$ser2net" -n -u -c "$work/ser2net.yaml" >"$work/ser2net.log" 2>&1 &
    ser2net_pid=$!
    for _ in $(seq 200); do
        listening "$raw_port" && listening "$telnet_port" && break
        sleep 0.05
    done
    for url in "tcp://127.0.0.1:$raw_port" "rfc2217://127.0.0.1:$telnet_port"; do
        wait_released
        if (cd "$work" && wine "$bin/tools/cli/linvar-cli.exe" --device "$url" --quiet \
            --catalogue "$catalogue" scan --last 6) >"$work/cli.out" 2>"$work/cli.err"; then
            pass "scan through $url"
        else
            fail "scan through $url: $(tr '\n' ' ' <"$work/cli.err")"
        fi
        expect_output '^2 +18 +1\.11' "scan through ${url%%:*} finds device 2"
        expect_output '^5 +9 +2\.05' "scan through ${url%%:*} finds device 5"
    done
    # A port number of the registry key that names a remote port.
    wait_released
    settings_add /v COM9 /t REG_SZ /d "rfc2217://127.0.0.1:$telnet_port"
    if (cd "$work" && wine "$bin/tools/cli/linvar-cli.exe" --port 9 --quiet \
        --catalogue "$catalogue" scan --last 2) >"$work/cli.out" 2>"$work/cli.err"; then
        pass "scan through port 9, mapped to RFC 2217 in the registry"
    else
        fail "scan through port 9 of the registry: $(tr '\n' ' ' <"$work/cli.err")"
    fi
    expect_output '^2 +18 +1\.11' "port 9 of the registry finds device 2"
    wine reg delete "$settings_key" /reg:32 /v COM9 /f >/dev/null 2>&1
    # Nothing listens: refused at once, worded by the Windows build too.
    free=$(free_port)
    if ! (cd "$work" && wine "$bin/tools/cli/linvar-cli.exe" --device "tcp://127.0.0.1:$free" \
        --quiet scan --last 2) >"$work/cli.out" 2>"$work/cli.err" &&
        grep -q "cannot open tcp://127.0.0.1:$free" "$work/cli.err"; then
        pass "an unused port does not open: $(tr '\n' ' ' <"$work/cli.err")"
    else
        fail "an unused port: $(tr '\n' ' ' <"$work/cli.err")"
    fi
    kill "$ser2net_pid" 2>/dev/null
    wait "$ser2net_pid" 2>/dev/null
    ser2net_pid=""
else
    fail "ser2net is not installed (scripts/deps.sh test installs it)"
fi

# bench_link.exe runs; its figures say little under Wine and are only printed.
if (cd "$work" && wine "$bin/bench/bench_link.exe" 5 99 20) >"$work/bench.out" 2>&1 &&
    grep -q '^holds=60 ' "$work/bench.out"; then
    pass "bench_link.exe measures the 60 holds of 20 silent pings (under Wine: $(tail -1 "$work/bench.out"))"
else
    fail "bench_link.exe: $(tr '\n' ' ' <"$work/bench.out")"
fi

echo "wine: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
