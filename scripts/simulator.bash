# Sourced by the scripts that put linvar-sim on a pseudo-terminal of their own: starting it,
# waiting until its devices answer, and stopping it by its own process id.

sim_pid=""

# start_simulator PROGRAM CONFIG LINK OUT: starts the simulator in the background, its output
# in OUT and its errors in OUT.err, and waits up to ten seconds for the "ready LINK PTY" line
# it prints once its devices answer. Fails, with the simulator's own words on stderr, when it
# ends or does not get ready.
start_simulator() {
    local program=$1 config=$2 link=$3 out=$4
    "$program" --config "$config" --link "$link" >"$out" 2>"$out.err" &
    sim_pid=$!
    local _
    for _ in $(seq 200); do
        grep -q '^ready ' "$out" 2>/dev/null && return 0
        kill -0 "$sim_pid" 2>/dev/null || break
        sleep 0.05
    done
    grep -q '^ready ' "$out" 2>/dev/null && return 0
    echo "The bus simulator did not get ready: $(cat "$out.err")" >&2
    return 1
}

# stop_simulator: stops the simulator that start_simulator started, if it runs.
stop_simulator() {
    if [[ -n $sim_pid ]]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
        sim_pid=""
    fi
}
