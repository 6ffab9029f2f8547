#pragma once
// How the last read or write of a DeviceParameters entry went, kept in the entry's Reply
// field by the workers, so the window can count the rows not read and mark and name the
// writes the device did not confirm or refused.

#include "catalogue/DeviceCatalogue.h"

#include <cstdint>

// The outcome of an entry's last exchange.
enum class TParameterReply : int32_t
{
    None = 0,         // not asked since DeviceParameters was built
    Valid = 1,        // the device answered and accepted: Value is what it holds
    Rejected = 2,     // the device answered a read with a rejecting status: Value is
                      // VALUE_UNDEFINED
    NoValidReply = 3, // nothing valid came back (a silent device, broken replies, a lost
                      // port, or the worker ended first): a read left Value as it was, a
                      // write kept the value it was to send, which the device may or may not
                      // have taken
    WriteRefused = 4, // the device answered a write with a rejecting status: Value keeps
                      // the value it was to send, so the operator's edit survives and a
                      // second write sends it again
};

// The outcome recorded in `entry`.
inline TParameterReply ReplyOf(const ParameterDescription &entry)
{
    return static_cast<TParameterReply>(entry.Reply.load());
}

// Records `reply` in `entry`.
inline void SetReply(ParameterDescription &entry, TParameterReply reply)
{
    entry.Reply = static_cast<int32_t>(reply);
}
