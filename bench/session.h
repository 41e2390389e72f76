// What the benchmarks and the frame driver share: a vhost::Host running in-process in a
// fresh temporary working directory with the real plug-in module (plugins/Vantrel.so)
// loaded; a session that fills the statistics table as a player's evening would; a canvas
// that records every call (GetPosition included); and the floor frame, the same canvas
// calls with ready-made strings.
#pragma once

#include <array>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <host.h>

#include "Vantrel.h"

namespace bench {

// A Host in its own temporary directory. Only one may exist at a time (the SDK has one
// backend slot). The destructor destroys the host, goes back to the directory the process
// was in and removes the temporary one.
class Session {
public:
    // `load`: load the plug-in at start (otherwise `load` later).
    explicit Session(bool load = true);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    vhost::Host& host() { return *host_; }
    const std::filesystem::path& dir() const { return dir_; }

    // Runs one command line; throws std::runtime_error when it fails.
    void Run(std::string_view line);

    // The loaded plug-in object, reached as the host reaches it: through the module's
    // exported record and getPlugin. Only virtual functions and data members of it may be
    // used (the module exports nothing else).
    Vantrel& Plugin();

private:
    std::filesystem::path previous_;
    std::filesystem::path dir_;
    std::ostringstream out_;
    std::ostringstream err_;
    std::unique_ptr<vhost::Host> host_;
};

// Ratings known at start, then matches in every ranked mode with rating changes, then
// back to the menus: every row has wins, losses, a change and a real rank, and the table
// shows (it is visible in the menus).
//   1vs1  P2 D3  2-1  +08.50    2vs2  CH2 D1  3-1  +19.00    3vs3  D1 D2  3-2  +09.50
void PlayFullTable(Session& session);

// Draws nothing; keeps the pen so that GetPosition answers what was set.
using DiscardCanvas = vhost::DiscardCanvas;

// One canvas call with its arguments.
struct Call {
    enum Kind { SetColor, SetPositionInt, SetPositionFloat, GetPosition, FillBox, DrawLine, DrawString } kind;
    std::array<int, 4> ints{};
    std::array<float, 2> floats{};
    bool flags[2]{};
    std::string text;
    bool operator==(const Call&) const = default;
};

// Records every call, GetPosition included, and keeps the pen like DiscardCanvas.
class RecordingCanvas final : public pluginsdk::CanvasBackend {
public:
    void SetColor(unsigned char r, unsigned char g, unsigned char b, unsigned char a) override;
    void SetPosition(Vector2 position) override;
    void SetPosition(Vector2F position) override;
    Vector2 GetPosition() override;
    void FillBox(Vector2 size) override;
    void DrawLine(Vector2 start, Vector2 end) override;
    void DrawString(const std::string& text, float xScale, float yScale, bool dropShadow, bool wrapText) override;

    std::vector<Call> calls;

private:
    DiscardCanvas pen_;
};

// The drawn strings of a recorded frame, in order.
std::vector<std::string> Strings(const std::vector<Call>& calls);

// Strings longer than libstdc++'s small-string buffer (15 characters): each costs one heap
// allocation when it is copied into DrawString's by-value parameter.
std::size_t LongStrings(const std::vector<Call>& calls);

// The floor of a frame: the canvas calls the table needs (colours, box, 16 lines, 17
// strings at their positions, GetPosition once per row) with the strings ready-made,
// copied into DrawString's by-value parameter as the SDK forces.
struct FloorFrame {
    float x = 0.0f;
    float y = 0.0f;
    std::string header;
    struct Row {
        std::array<unsigned char, 3> colour{};
        std::array<std::string, 4> texts;  // name, W/L, change, rank column
    };
    std::array<Row, 4> rows;  // three modes and the total

    // Takes the strings and colours of a frame drawn by the plug-in.
    static FloorFrame From(const std::vector<Call>& calls, float x, float y);
    void Draw(CanvasWrapper canvas) const;
};

}  // namespace bench
