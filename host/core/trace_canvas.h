// The host's own canvases: TraceCanvas records every call as a line of text for the
// `frame` command; DiscardCanvas keeps the pen state and draws nothing (the frames drawn
// while the clock moves); CountingCanvas counts each call (and throws injected faults)
// before handing it to the canvas it wraps.
#pragma once

#include <string>
#include <vector>

#include "core/canvas_base.h"
#include "core/calls.h"

namespace vhost {

// Records the calls in the `frame` format:
//   SetColor R G B A
//   SetPosition X Y              (Vector2)
//   SetPosition X.XX Y.YY        (Vector2F, two decimals)
//   FillBox W H
//   DrawLine X1 Y1 X2 Y2
//   DrawString "TEXT" SX SY F1 F2  (scales with two decimals, flags 0 or 1)
// In TEXT, " and \ are escaped with \, and control characters are written as \n, \r, \t
// or \xHH so that every call stays on one line. GetPosition is not recorded unless asked:
//   GetPosition X Y              (what it answered)
class TraceCanvas final : public CanvasBase {
public:
    // `recordReads`: GetPosition is recorded too, so that two drawers can be compared call
    // for call (the `frame` command leaves it out).
    explicit TraceCanvas(bool recordReads = false) : recordReads_(recordReads) {}

    void SetColor(unsigned char red, unsigned char green, unsigned char blue, unsigned char alpha) override;
    void SetPosition(Vector2 position) override;
    void SetPosition(Vector2F position) override;
    void FillBox(Vector2 size) override;
    void DrawLine(Vector2 start, Vector2 end) override;
    void DrawString(const std::string& text, float xScale, float yScale, bool dropShadow, bool wrapText) override;
    Vector2 GetPosition() override;

    const std::vector<std::string>& Lines() const { return lines_; }

private:
    bool recordReads_;
    std::vector<std::string> lines_;
};

// Draws nothing. Reset() puts the pen back to its start state before each frame.
class DiscardCanvas final : public CanvasBase {
public:
    void FillBox(Vector2) override {}
    void DrawLine(Vector2, Vector2) override {}
    void DrawString(const std::string&, float, float, bool, bool) override {}
    void Reset() {
        color_ = Rgba{};
        x_ = y_ = 0.0f;
        ix_ = iy_ = 0;
    }
};

// Counts each call under its operation name (throwing an armed fault), then forwards it;
// generated from operations.h.
class CountingCanvas final : public pluginsdk::CanvasBackend {
public:
    CountingCanvas(pluginsdk::CanvasBackend& target, CallCounter& counter) : target_(target), counter_(counter) {}

#define VHOST_COUNTED(function, result, parameters, arguments) \
    VHOST_COUNTED_OVERRIDE(target_., function, result, parameters, arguments)
#define VHOST_COUNTED_OP(function, name, ...) VHOST_COUNTED(function, __VA_ARGS__)
    VHOST_CANVAS_OPERATIONS(VHOST_COUNTED_OP, VHOST_COUNTED)
#undef VHOST_COUNTED_OP
#undef VHOST_COUNTED

private:
    pluginsdk::CanvasBackend& target_;
    CallCounter& counter_;
};

// TEXT of a DrawString line: quoted and escaped as described above.
std::string QuoteCanvasText(const std::string& text);

}  // namespace vhost
