// The one guard around every call into plug-in code: an exception that escapes is reported
// as "vantrel-host: exception escaped from KIND: WHAT" on the error stream, counted, and
// the host goes on.
#pragma once

#include <cstdint>
#include <exception>
#include <ostream>
#include <string_view>

namespace vhost {

class CallbackGuard {
public:
    CallbackGuard(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

    // Runs `call`; returns false when an exception escaped it.
    template <class Call>
    bool Run(std::string_view kind, Call&& call) {
        try {
            const DepthScope scope(depth_);
            call();
            return true;
        } catch (const std::exception& e) {
            Report(kind, e.what());
        } catch (...) {
            Report(kind, "an exception not derived from std::exception");
        }
        return false;
    }

    // How many plug-in calls are running (nested) right now.
    int Depth() const { return depth_; }
    std::uint64_t Escaped() const { return escaped_; }

private:
    class DepthScope {
    public:
        explicit DepthScope(int& depth) : depth_(depth) { ++depth_; }
        ~DepthScope() { --depth_; }
        DepthScope(const DepthScope&) = delete;
        DepthScope& operator=(const DepthScope&) = delete;

    private:
        int& depth_;
    };

    void Report(std::string_view kind, std::string_view what) noexcept {
        ++escaped_;
        try {
            out_.flush();
            err_ << "vantrel-host: exception escaped from " << kind << ": " << what << '\n';
            err_.flush();
        } catch (...) {
        }
    }

    std::ostream& out_;
    std::ostream& err_;
    int depth_ = 0;
    std::uint64_t escaped_ = 0;
};

}  // namespace vhost
