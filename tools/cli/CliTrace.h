#pragma once
// linvar-cli --trace: every attempt on the bus as one line on stderr, and with --json as an
// "attempts" array of the output. The link adds each attempt to a bounded record that the
// main thread drains between the worker's messages, so printing never holds up the bus.

#include "sets/ParameterSet.h"

// Starts recording the link's attempts; their times count from this call. With `keep` they
// are also kept for WithTrace.
void StartTrace(bool keep);
// Prints what is pending and stops recording.
void StopTrace();
// Prints the attempts recorded since the last call, one line each on stderr, and how many the
// record had to drop; nothing while no trace runs.
void DrainTrace();
// `json` with the kept attempts added as "attempts" (and "attempts_dropped" when the record
// dropped any); `json` as it is when none are kept or it is no object.
TJson WithTrace(const TJson &json);
