#include "core/script_player.h"

#include <algorithm>
#include <ostream>
#include <variant>

#include "core/stop_request.h"

namespace vhost {

void ScriptPlayer::Start(Host& host, std::istream* in, std::string name) {
    host_ = &host;
    in_ = in;
    name_ = std::move(name);
    state_ = in != nullptr ? State::Running : State::None;
    line_ = 0;
    inWait_ = false;
    waitLeft_ = 0.0;
    quit_ = false;
    status_ = kExitOk;
}

double ScriptPlayer::Play(double seconds, std::optional<std::chrono::steady_clock::time_point> until) {
    double used = 0.0;
    while (state_ == State::Running) {
        if (inWait_) {
            // The remaining time is kept rather than an end time: a wait given whole is the
            // very number the script holds, as `wait N` typed would take it.
            const double step = std::min(waitLeft_, seconds - used);
            if (step > 0.0 || !waitStarted_) {
                const CommandResult moved = host_->AdvanceClock(step);
                waitStarted_ = true;
                if (!moved.ok()) {
                    host_->out().flush();
                    host_->err() << name_ << ":" << line_ << ": error: " << moved.message << '\n';
                    host_->err().flush();
                    state_ = State::Failed;
                    status_ = kExitError;
                    return used;
                }
                used += step;
                waitLeft_ -= step;
            }
            if (waitLeft_ > 5e-10) return used;
            inWait_ = false;
            waitLeft_ = 0.0;
            continue;
        }
        if (StopRequested()) return used;
        if (until && std::chrono::steady_clock::now() > *until) return used;
        std::string line;
        if (!std::getline(*in_, line)) {
            state_ = State::Ended;
            return used;
        }
        ++line_;
        if (echo_) echo_(line_, line);
        const console::ParseResult parsed = console::Parse(line);
        if (parsed.ok()) {
            if (const auto* wait = std::get_if<console::Wait>(&parsed.command)) {
                inWait_ = true;
                waitStarted_ = false;
                waitLeft_ = wait->seconds;
                continue;
            }
        }
        const CommandResult result = execute_ ? execute_(line) : host_->Execute(line);
        if (result.outcome == Outcome::Quit) {
            quit_ = true;
            state_ = State::Ended;
        } else if (!result.ok()) {
            host_->out().flush();
            host_->err() << name_ << ":" << line_ << ": error: " << result.message << '\n';
            host_->err().flush();
            state_ = State::Failed;
            status_ = result.outcome == Outcome::Refused ? kExitRefused : kExitError;
        }
    }
    return used;
}

}  // namespace vhost
