#pragma once
// The traffic record: what each attempt of a transaction put on the wire and got back, for
// the people who ask "did our frame go out, did anything come back, was it garbled". The
// link reports to a record that the program may set; with none set it reports nothing.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

// How one attempt ended.
enum class TAttemptVerdict
{
    Accepted,          // a well-formed reply
    NoReply,           // nothing came back before the time-out
    TooShort,          // fewer bytes than the shortest reply
    LengthOutOfBounds, // the reply's L names a frame shorter or longer than replies can be
    LengthMismatch,    // the bytes received are not the L + 1 the reply names
    WrongCheckByte,    // the check byte does not match the bytes before it
    ShortWrite,        // the port took fewer bytes than the request has
    PortLost,          // the port went away (hung up, unplugged)
};

// One attempt as the link saw it.
struct TTrafficAttempt
{
    int64_t TimeNs = 0;           // MonotonicNs() when the attempt ended
    std::string Port;             // path of the port
    int Attempt = 0;              // 1 for the first attempt of its transaction
    std::vector<uint8_t> Request; // the request frame, check byte included
    std::vector<uint8_t> Reply;   // every byte received, possibly none; an echo left out
    TAttemptVerdict Verdict = TAttemptVerdict::NoReply;
    bool Echo = false;        // the converter's echo of the request came back (and was dropped)
    int64_t RequestEndNs = 0; // MonotonicNs() once the request had left the wire; 0 unsent
    int64_t ReplyEndNs = 0;   // MonotonicNs() once the last reply byte came; 0 when none came
};

// A bounded, thread-safe record of attempts: full, it drops the oldest and counts the drops,
// so the link never waits for whoever reads it.
class TTrafficRecord
{
public:
    // A record that keeps at most `capacity` attempts (at least one).
    explicit TTrafficRecord(size_t capacity = 10000);
    // Adds an attempt, dropping the oldest when full.
    void Add(TTrafficAttempt attempt);
    // Hands over the attempts kept so far and empties the record.
    std::vector<TTrafficAttempt> Take();
    // Attempts dropped unread since the record was made.
    uint64_t Dropped() const;

private:
    const size_t Capacity;
    mutable std::mutex Lock;
    std::deque<TTrafficAttempt> Attempts;
    uint64_t DroppedCount = 0;
};

// Makes the link report every attempt to `record`; nullptr stops the reports. The record must
// outlive its use: clear it before destroying the record.
void SetTrafficRecord(TTrafficRecord *record);
// The record set, or nullptr.
TTrafficRecord *CurrentTrafficRecord();

// The verdict of a reply of `count` bytes as the link judges it; Accepted for a well-formed
// one. Never ShortWrite or PortLost, which are not the reply's doing.
TAttemptVerdict JudgeReply(const uint8_t *reply, size_t count);
// True when the attempt got bytes back, usable or not: a line that is not silent.
bool BroughtBytes(TAttemptVerdict verdict);
// Short English name of a verdict ("accepted", "no reply", ...): a stable token for logs and
// JSON; the window words verdicts itself.
const char *VerdictName(TAttemptVerdict verdict);
// Short English name of an attempt's echo flag for logs: "echo".
constexpr const char *EchoName = "echo";
