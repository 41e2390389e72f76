// Per-operation call counts and injected faults. Every backend operation and every canvas
// call of the host's canvases passes through CallCounter::Enter first (the forwarding
// functions generated from operations.h): it counts the call and throws when a fault is
// armed for that operation.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/operations.h"

namespace vhost {

class CallCounter {
public:
    // Counts one call of `op`; throws std::runtime_error if a fault is armed for it.
    void Enter(Op op) {
        const auto i = static_cast<std::size_t>(op);
        ++counts_[i];
        if (anyArmed_ && faults_[i].armed) Hit(i);
    }

    std::uint64_t Count(Op op) const { return counts_[static_cast<std::size_t>(op)]; }
    void ResetCounts() { counts_.fill(0); }

    // The next call of `op` (every call with `always`) throws std::runtime_error(message);
    // an empty message becomes "injected fault in OP". With `skip`, that many calls go
    // through first, so a sweep can hit any one call of a session.
    void Arm(Op op, std::string message, bool always, std::uint64_t skip = 0);
    void ClearFaults();
    bool IsArmed(Op op) const { return faults_[static_cast<std::size_t>(op)].armed; }

private:
    struct Fault {
        bool armed = false;
        bool always = false;
        std::uint64_t skip = 0;
        std::string message;
    };
    // Lets the call through while calls are left to skip, else throws.
    void Hit(std::size_t index);

    std::array<std::uint64_t, kOpCount> counts_{};
    std::array<Fault, kOpCount> faults_{};
    bool anyArmed_ = false;
};

}  // namespace vhost
