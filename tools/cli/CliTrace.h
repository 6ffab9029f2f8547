#pragma once
// linvar-cli --trace: every attempt on the bus as one line, and with --json as an "attempts"
// array of the output. The link adds each attempt to a bounded record that the main thread
// takes from between the worker's messages, so printing never holds up the bus. This unit
// records and words; CliOutput prints. The same attempts feed the bus health of --stats and
// watch: the record hands each attempt over once, and this unit passes it on to both.

#include "link/BusHealth.h"
#include "sets/ParameterSet.h"

#include <string>
#include <vector>

// Starts recording the link's attempts into the bus health; with `lines` they are traced
// too, their times counting from this call, and with `keep` also kept for WithTrace.
void StartTrace(bool lines, bool keep);
// Stops recording; what is pending stays for TakeTraceLines.
void StopTrace();
// The lines of the attempts recorded since the last call, oldest first, after a line saying
// how many the record had to drop when it dropped any; none while no trace runs.
std::vector<std::string> TakeTraceLines();
// `json` with the kept attempts added as "attempts" (and "attempts_dropped" when the record
// dropped any); `json` as it is when none are kept or it is no object.
TJson WithTrace(const TJson &json);
// The bus health of every attempt recorded and taken so far.
const TBusHealth &RecordedHealth();
// Attempts the record dropped before they were taken: missing from the health too.
uint64_t RecordDropped();
