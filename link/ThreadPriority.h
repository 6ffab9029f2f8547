#pragma once
// The system's calls behind TSystemSerialPlatform's RaisePriority and RestorePriority, one
// definition per system (PosixSerial.cpp: SCHED_FIFO; Win32Serial.cpp: time-critical). The
// platform keeps whether a thread's priority is raised, so these are never nested.

// Gives the calling thread the priority of the transmitter hold and remembers the one it
// had; false, and nothing changed, where the system refuses or the thread needs no raise.
bool RaiseThreadPriority();
// Puts back the priority that the latest successful RaiseThreadPriority replaced.
void RestoreThreadPriority();
