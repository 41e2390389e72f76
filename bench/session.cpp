#include "session.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include <fmt/format.h>

#include "Format.h"

namespace bench {
namespace {
Call Make(Call::Kind kind, std::array<int, 4> ints = {}, std::array<float, 2> floats = {}) {
    Call call{};
    call.kind = kind;
    call.ints = ints;
    call.floats = floats;
    return call;
}
}  // namespace

Session::Session(bool load) {
    previous_ = std::filesystem::current_path();
    std::string pattern = (std::filesystem::temp_directory_path() / "vantrel-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary directory");
    dir_ = pattern;
    host_ = std::make_unique<vhost::Host>(vhost::HostOptions{
        .pluginPath = {}, .workdir = dir_, .configPath = {}, .loadPlugin = load, .out = &out_, .err = &err_});
    const vhost::CommandResult started = host_->Start();
    if (!started.ok()) throw std::runtime_error("host start: " + started.message);
}

Session::~Session() {
    host_.reset();
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
    std::filesystem::remove_all(dir_, ec);
}

void Session::Run(std::string_view line) {
    const vhost::CommandResult result = host_->Execute(line);
    if (!result.ok()) throw std::runtime_error(fmt::format("'{}': {}", line, result.message));
}

Vantrel& Session::Plugin() {
    const std::string path = vhost::DefaultPluginPath().string();
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (module == nullptr) throw std::runtime_error("the plug-in module is not loaded: " + path);
    const auto* info = static_cast<const PluginInfo*>(dlsym(module, "exports"));
    dlclose(module);  // the host keeps its own handle
    if (info == nullptr) throw std::runtime_error("the plug-in module has no record");
    // getPlugin answers the module's shared owner; while it holds an object, no new one is made.
    const auto* owner = reinterpret_cast<const std::shared_ptr<Vantrel>*>(info->getPlugin());
    if (owner == nullptr || !*owner) throw std::runtime_error("no plug-in object");
    return **owner;
}

void PlayFullTable(Session& session) {
    // Ratings and ranks as the game reports them before the first match.
    session.Run("mmr 10 712.25 rank 11 1");
    session.Run("mmr 11 1176.5 rank 16 3");
    session.Run("mmr 13 840.0 rank 13 0");
    session.Run("unload");
    session.Run("load");

    // Matches: the rating service answers the new rating, with the rank that goes with
    // it, by the time the match ends, so each poll finds its change at once.
    struct Match {
        int playlist;
        bool win;
        float rating;
        int tier;
        int division;
    };
    const Match matches[] = {
        {10, true, 721.5f, 11, 2},   {10, false, 712.0f, 11, 1},  {10, true, 720.75f, 11, 2},
        {11, true, 1185.0f, 16, 3},  {11, true, 1194.25f, 16, 3}, {11, false, 1186.0f, 16, 3},
        {11, true, 1195.5f, 17, 0},  {13, false, 831.0f, 12, 3},  {13, true, 841.5f, 13, 0},
        {13, true, 850.25f, 13, 1},  {13, true, 859.0f, 13, 1},   {13, false, 849.5f, 13, 1},
    };
    for (const Match& m : matches) {
        session.Run(fmt::format("match start {}", m.playlist));
        session.Run(fmt::format("mmr {} {} rank {} {}", m.playlist, m.rating, m.tier, m.division));
        session.Run(m.win ? "match end win" : "match end loss");
        session.Run("wait 1");
    }
    session.Run("leave");
}

// --- recording -------------------------------------------------------------------------

void RecordingCanvas::SetColor(unsigned char r, unsigned char g, unsigned char b, unsigned char a) {
    pen_.SetColor(r, g, b, a);
    calls.push_back(Make(Call::SetColor, {r, g, b, a}));
}
void RecordingCanvas::SetPosition(Vector2 position) {
    pen_.SetPosition(position);
    calls.push_back(Make(Call::SetPositionInt, {position.X, position.Y}));
}
void RecordingCanvas::SetPosition(Vector2F position) {
    pen_.SetPosition(position);
    calls.push_back(Make(Call::SetPositionFloat, {}, {position.X, position.Y}));
}
Vector2 RecordingCanvas::GetPosition() {
    const Vector2 p = pen_.GetPosition();
    calls.push_back(Make(Call::GetPosition, {p.X, p.Y}));
    return p;
}
void RecordingCanvas::FillBox(Vector2 size) { calls.push_back(Make(Call::FillBox, {size.X, size.Y})); }
void RecordingCanvas::DrawLine(Vector2 start, Vector2 end) {
    calls.push_back(Make(Call::DrawLine, {start.X, start.Y, end.X, end.Y}));
}
void RecordingCanvas::DrawString(const std::string& text, float xScale, float yScale, bool dropShadow,
                                 bool wrapText) {
    Call call = Make(Call::DrawString, {}, {xScale, yScale});
    call.flags[0] = dropShadow;
    call.flags[1] = wrapText;
    call.text = text;
    calls.push_back(std::move(call));
}

std::vector<std::string> Strings(const std::vector<Call>& calls) {
    std::vector<std::string> strings;
    for (const Call& call : calls)
        if (call.kind == Call::DrawString) strings.push_back(call.text);
    return strings;
}

std::size_t LongStrings(const std::vector<Call>& calls) {
    std::size_t count = 0;
    for (const std::string& s : Strings(calls)) count += s.size() > 15 ? 1 : 0;
    return count;
}

// --- the floor -------------------------------------------------------------------------

FloorFrame FloorFrame::From(const std::vector<Call>& calls, float x, float y) {
    FloorFrame frame;
    frame.x = x;
    frame.y = y;
    const std::vector<std::string> strings = Strings(calls);
    if (strings.size() != 17) throw std::runtime_error("a frame of the table draws 17 strings");
    frame.header = strings[0];
    std::vector<std::array<unsigned char, 3>> colours;
    for (const Call& call : calls)
        if (call.kind == Call::SetColor) colours.push_back({static_cast<unsigned char>(call.ints[0]),
                                                            static_cast<unsigned char>(call.ints[1]),
                                                            static_cast<unsigned char>(call.ints[2])});
    if (colours.size() != 7) throw std::runtime_error("a frame of the table sets 7 colours");
    for (std::size_t r = 0; r < 4; ++r) {
        frame.rows[r].colour = colours[3 + r];
        for (std::size_t c = 0; c < 4; ++c) frame.rows[r].texts[c] = strings[1 + 4 * r + c];
    }
    return frame;
}

namespace {
// A canvas point must be computed for any position, so the floor converts as the plug-in
// must: toward zero, saturating at the int range, NaN to 0 (Format.h, inline).
inline Vector2 At(float x, float y) { return ToVector2(x, y); }
inline int Add(int a, int b) { return SaturatingAdd(a, b); }
}  // namespace

void FloorFrame::Draw(CanvasWrapper canvas) const {
    canvas.SetColor(0, 0, 0, 175);
    canvas.SetPosition(At(x - 5, y - 5));
    canvas.FillBox(Vector2{290, 110});
    canvas.SetColor(255, 255, 255, 175);
    for (float k : {0.0f, 20.0f, 40.0f, 60.0f, 80.0f, 100.0f}) canvas.DrawLine(At(x, y + k), At(x + 280, y + k));
    for (float c : {0.0f, 40.0f, 62.0f, 85.0f, 150.0f, 200.0f, 280.0f})
        canvas.DrawLine(At(x + c, y), At(x + c, y + 100));
    canvas.DrawLine(At(x + 95, y + 14), At(x + 100, y + 4));
    canvas.DrawLine(At(x + 100, y + 4), At(x + 105, y + 14));
    canvas.DrawLine(At(x + 95, y + 14), At(x + 105, y + 14));
    canvas.SetPosition(Vector2F{x, y + 2});
    canvas.SetColor(230, 230, 230, 255);
    canvas.DrawString(header, 1.0f, 1.0f, false, false);
    for (std::size_t r = 0; r < 4; ++r) {
        const Row& row = rows[r];
        canvas.SetPosition(Vector2F{x + 2, y + 2 + 20.0f * static_cast<float>(r + 1)});
        canvas.SetColor(row.colour[0], row.colour[1], row.colour[2], 255);
        const Vector2 p = canvas.GetPosition();
        canvas.DrawString(row.texts[0], 1.0f, 1.0f, false, false);
        canvas.SetPosition(Vector2{Add(p.X, 39), p.Y});
        canvas.DrawString(row.texts[1], 1.0f, 1.0f, false, false);
        canvas.SetPosition(Vector2{Add(p.X, 86), p.Y});
        canvas.DrawString(row.texts[2], 1.0f, 1.0f, false, false);
        canvas.SetPosition(Vector2{Add(p.X, 153), p.Y});
        canvas.DrawString(row.texts[3], 1.0f, 1.0f, false, false);
    }
}

}  // namespace bench
