#include "core/calls.h"

#include <stdexcept>

namespace vhost {

void CallCounter::Arm(Op op, std::string message, bool always, std::uint64_t skip) {
    Fault& fault = faults_[static_cast<std::size_t>(op)];
    fault.armed = true;
    fault.always = always;
    fault.skip = skip;
    fault.message = message.empty() ? "injected fault in " + std::string(OpName(op)) : std::move(message);
    anyArmed_ = true;
}

void CallCounter::ClearFaults() {
    for (Fault& fault : faults_) fault = Fault{};
    anyArmed_ = false;
}

void CallCounter::Hit(std::size_t index) {
    Fault& fault = faults_[index];
    if (fault.skip > 0) {
        --fault.skip;
        return;
    }
    std::string message = fault.message;
    if (!fault.always) {
        fault = Fault{};
        anyArmed_ = false;
        for (const Fault& other : faults_) anyArmed_ = anyArmed_ || other.armed;
    }
    throw std::runtime_error(message);
}

}  // namespace vhost
