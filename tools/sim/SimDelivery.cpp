#include "tools/sim/SimDelivery.h"

#include <algorithm>

namespace {

// One byte on its way: its character time starts at WireNs.
struct TTimedByte
{
    int64_t WireNs;
    uint8_t Byte;
    bool AfterReplyStart;
};

} // namespace

TSimDeliveryPlan PlanDelivery(int64_t nowNs, const std::vector<uint8_t> &sent,
                              const std::vector<TSimReply> &replies, const TSimConverter &converter)
{
    const int64_t charNs = static_cast<int64_t>(converter.CharUs) * 1000;
    std::vector<TTimedByte> bytes;
    int64_t endNs = nowNs;
    if (converter.Echo) {
        // A two-wire converter's receiver hears the program's bytes as they go out.
        for (size_t i = 0; i < sent.size(); ++i) {
            bytes.push_back({nowNs + static_cast<int64_t>(i) * charNs, sent[i], false});
        }
        endNs = nowNs + static_cast<int64_t>(sent.size()) * charNs;
    }
    int64_t replyStart = nowNs;
    for (const TSimReply &reply : replies) {
        int64_t slot = replyStart + static_cast<int64_t>(reply.LatencyUs) * 1000;
        for (size_t i = 0; i < reply.Bytes.size(); ++i) {
            slot += static_cast<int64_t>(reply.GapUs[i]) * 1000;
            bytes.push_back({slot, reply.Bytes[i], i > 0});
            slot += charNs;
        }
        replyStart = slot;
        endNs = std::max(endNs, slot);
    }

    // The echo of a chunk with stray bytes before its frame can outlast a quick reply's start.
    std::stable_sort(bytes.begin(), bytes.end(),
                     [](const TTimedByte &a, const TTimedByte &b) { return a.WireNs < b.WireNs; });

    TSimDeliveryPlan plan;
    plan.EndNs = endNs;
    const int64_t tickNs = static_cast<int64_t>(converter.UsbMs) * 1'000'000;
    for (const TTimedByte &byte : bytes) {
        int64_t at = byte.WireNs;
        if (tickNs > 0) {
            // The chip holds a byte from its last bit to the next tick of its timer.
            const int64_t received = byte.WireNs + charNs;
            at = (received + tickNs - 1) / tickNs * tickNs;
        }
        if (tickNs > 0 && !plan.Writes.empty() && plan.Writes.back().AtNs == at) {
            plan.Writes.back().Bytes.push_back(byte.Byte);
            continue;
        }
        plan.Writes.push_back({at, {byte.Byte}, byte.AfterReplyStart});
    }
    return plan;
}
