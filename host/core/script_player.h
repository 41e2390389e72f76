// Plays a script of command lines against a Host: the one loop behind a headless script
// (Host::RunScript) and the window's script. Lines run as typed; a `wait` moves the clock,
// all at once headless, or in pieces in the window (each frame hands it the frame's share of
// the clock at the chosen speed). A failing line stops the script, reported on the host's
// error stream as "NAME:LINE: error: WHAT"; `quit` ends it; a stop request (Ctrl-C,
// SIGTERM) pauses it between lines, for the caller to end the session.
//
//   ScriptPlayer player;
//   player.Start(host, &file, "evening.vsh");
//   player.Play(ScriptPlayer::kAllTheTime);   // headless: to the end
//   return player.ExitStatus();
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <istream>
#include <limits>
#include <optional>
#include <string>

#include "core/host.h"

namespace vhost {

class ScriptPlayer {
public:
    enum class State { None, Running, Ended, Failed };
    static constexpr double kAllTheTime = std::numeric_limits<double>::infinity();

    // How a line is run (default: Host::Execute) and shown before it runs (default: not).
    using Executor = std::function<CommandResult(const std::string& line)>;
    using Echo = std::function<void(std::uint64_t number, const std::string& line)>;

    // Starts playing `in` (nothing: no script, state None).
    void Start(Host& host, std::istream* in, std::string name);
    void SetExecutor(Executor execute) { execute_ = std::move(execute); }
    void SetEcho(Echo echo) { echo_ = std::move(echo); }

    // Plays with at most `seconds` of clock for the waits: lines run until a wait needs more
    // clock than is left, the script ends, or (with `until`) that real time has passed.
    // Returns the seconds of clock used.
    double Play(double seconds, std::optional<std::chrono::steady_clock::time_point> until = std::nullopt);

    State state() const { return state_; }
    bool Running() const { return state_ == State::Running; }
    bool Waiting() const { return state_ == State::Running && waitLeft_ > 0.0; }
    double WaitLeft() const { return Waiting() ? waitLeft_ : 0.0; }
    std::uint64_t LineNumber() const { return line_; }
    const std::string& Name() const { return name_; }
    // `quit` ended the script.
    bool Quit() const { return quit_; }
    // kExitOk, or the status of the failing line (kExitError, kExitRefused).
    int ExitStatus() const { return status_; }

private:
    Host* host_ = nullptr;
    std::istream* in_ = nullptr;
    std::string name_;
    Executor execute_;
    Echo echo_;
    State state_ = State::None;
    std::uint64_t line_ = 0;
    bool inWait_ = false;
    bool waitStarted_ = false;  // a wait's first piece has run (a `wait 0` runs one piece of 0)
    double waitLeft_ = 0.0;
    bool quit_ = false;
    int status_ = kExitOk;
};

}  // namespace vhost
