#pragma once
// linvar-cli --trace: every attempt on the bus as one line, and with --json as an "attempts"
// array of the output. The link adds each attempt to a bounded record that the main thread
// takes from between the worker's messages, so printing never holds up the bus. This unit
// records and words; CliOutput prints.

#include "sets/ParameterSet.h"

#include <string>
#include <vector>

// Starts recording the link's attempts; their times count from this call. With `keep` they
// are also kept for WithTrace.
void StartTrace(bool keep);
// Stops recording; what is pending stays for TakeTraceLines.
void StopTrace();
// The lines of the attempts recorded since the last call, oldest first, after a line saying
// how many the record had to drop when it dropped any; none while no trace runs.
std::vector<std::string> TakeTraceLines();
// `json` with the kept attempts added as "attempts" (and "attempts_dropped" when the record
// dropped any); `json` as it is when none are kept or it is no object.
TJson WithTrace(const TJson &json);
