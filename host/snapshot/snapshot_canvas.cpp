// The snapshot canvas: one frame of the game screen as a Cairo ARGB32 image.
//
// Text uses DejaVu Sans Mono through Cairo's toy font face (resolved by fontconfig) at a
// base size of 10.2 pixels, with metric hinting off so advances keep their exact width.
// The font's advance is 0.602 em, so a character cell is 6.14 px wide and a text line
// (ascent plus descent) 11.9 px tall. The overlay draws its column header as one string of
// monospace cells from the table's left edge, so the size was picked to put each title
// inside its grid column: cell 9 ('W') covers 55.3..61.4 inside 40..62, cell 12 ('L')
// 73.7..79.8 inside 62..85, "MMR" 122.8..141.2 inside 85..150, "Rank" 165.8..190.4 inside
// 150..200 and "To Rank up" 202.6..264.1 inside 200..280 (the 'T' stem starts a quarter
// pixel into its cell). Any size from about 10.1 to 10.3 px fits; 10.2 sits in the middle.
// A row of text placed 2 units below a row line ends about 14 units below it, well inside
// the 20-unit row pitch.
//
// Positions are the top-left corner of the text line, not its baseline. Every drawing call
// clips its geometry to the surface itself before Cairo sees it: Cairo works in 24.8 fixed
// point internally, and the plug-in may hand us positions anywhere in the int range.
#include "snapshot/snapshot_canvas.h"

#include <cairo.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "snapshot/utf8_sanitize.h"

namespace vhost {
namespace {

constexpr const char* kFontFamily = "DejaVu Sans Mono";
constexpr double kBaseFontSize = 10.2;
// A glyph larger than this covers the whole screen several times over; such requests draw
// nothing rather than ask FreeType for glyph bitmaps of absurd size.
constexpr double kMaxFontSize = 2048.0;
// Cairo's image surfaces cannot be larger than this in either direction.
constexpr int kMaxSurfaceSide = 32767;

struct CairoDeleter {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
    void operator()(cairo_scaled_font_t* font) const { cairo_scaled_font_destroy(font); }
    void operator()(cairo_font_options_t* options) const { cairo_font_options_destroy(options); }
    void operator()(cairo_pattern_t* pattern) const { cairo_pattern_destroy(pattern); }
};
using ContextPtr = std::unique_ptr<cairo_t, CairoDeleter>;
using ScaledFontPtr = std::unique_ptr<cairo_scaled_font_t, CairoDeleter>;
using FontOptionsPtr = std::unique_ptr<cairo_font_options_t, CairoDeleter>;
using PatternPtr = std::unique_ptr<cairo_pattern_t, CairoDeleter>;

struct GlyphsDeleter {
    void operator()(cairo_glyph_t* glyphs) const { cairo_glyph_free(glyphs); }
};

void SetSource(cairo_t* cr, Rgba colour) {
    cairo_set_source_rgba(cr, colour.r / 255.0, colour.g / 255.0, colour.b / 255.0, colour.a / 255.0);
}

// Clips the segment (x0,y0)-(x1,y1) to the rectangle [minX,maxX] x [minY,maxY]
// (Liang-Barsky). Returns false when no part of it lies inside.
bool ClipSegment(double& x0, double& y0, double& x1, double& y1, double minX, double minY, double maxX,
                 double maxY) {
    const double dx = x1 - x0;
    const double dy = y1 - y0;
    double tEnter = 0.0;
    double tLeave = 1.0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 - minX, maxX - x0, y0 - minY, maxY - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0) return false;  // parallel to this edge and outside it
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0.0) {
            tEnter = std::max(tEnter, t);
        } else {
            tLeave = std::min(tLeave, t);
        }
        if (tEnter > tLeave) return false;
    }
    const double sx = x0, sy = y0;
    x0 = sx + tEnter * dx;
    y0 = sy + tEnter * dy;
    x1 = sx + tLeave * dx;
    y1 = sy + tLeave * dy;
    return true;
}

}  // namespace

struct SnapshotCanvas::Impl {
    int width = 0;
    int height = 0;
    cairo_surface_t* surface = nullptr;
    cairo_font_face_t* font = nullptr;
    std::vector<unsigned char> background;  // KeepBackground's copy

    ~Impl() {
        if (font != nullptr) cairo_font_face_destroy(font);
        if (surface != nullptr) cairo_surface_destroy(surface);
    }

    // Each drawing call gets a fresh context, so an error Cairo records on one (they are
    // sticky) can never silence the calls that follow.
    ContextPtr NewContext() const { return ContextPtr(cairo_create(surface)); }

    void PaintBackground();
    // Blends `colour` over the pixels [x, x+w) x [y, y+h), clipped to the surface.
    void FillPixels(std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h, Rgba colour);
    void StrokeSegment(double x0, double y0, double x1, double y1, Rgba colour);
    void ShowText(const std::string& utf8, double left, double top, double sizeX, double sizeY, Rgba colour,
                  bool dropShadow);
};

// A dark stadium at night: a blue sky over a green pitch seen from the stands, with mowing
// stripes and faint field markings. Built from the surface size only, so it is the same
// on every run.
void SnapshotCanvas::Impl::PaintBackground() {
    const ContextPtr context = NewContext();
    cairo_t* cr = context.get();
    const double w = width;
    const double h = height;
    const double horizon = std::round(h * 0.42);

    cairo_set_source_rgb(cr, 0.03, 0.06, 0.10);
    cairo_paint(cr);

    const PatternPtr sky(cairo_pattern_create_linear(0.0, 0.0, 0.0, horizon));
    cairo_pattern_add_color_stop_rgb(sky.get(), 0.0, 0.03, 0.06, 0.12);
    cairo_pattern_add_color_stop_rgb(sky.get(), 1.0, 0.07, 0.15, 0.23);
    cairo_rectangle(cr, 0.0, 0.0, w, horizon);
    cairo_set_source(cr, sky.get());
    cairo_fill(cr);

    const PatternPtr pitch(cairo_pattern_create_linear(0.0, horizon, 0.0, h));
    cairo_pattern_add_color_stop_rgb(pitch.get(), 0.0, 0.04, 0.17, 0.09);
    cairo_pattern_add_color_stop_rgb(pitch.get(), 1.0, 0.07, 0.30, 0.15);
    cairo_rectangle(cr, 0.0, horizon, w, h - horizon);
    cairo_set_source(cr, pitch.get());
    cairo_fill(cr);

    // Mowing stripes, narrowing towards the horizon.
    constexpr int kStripes = 12;
    cairo_set_source_rgba(cr, 0.0, 0.0, 0.0, 0.07);
    for (int k = 0; k < kStripes; k += 2) {
        const double top = horizon + (h - horizon) * std::pow(k / double(kStripes), 1.6);
        const double bottom = horizon + (h - horizon) * std::pow((k + 1) / double(kStripes), 1.6);
        cairo_rectangle(cr, 0.0, top, w, bottom - top);
    }
    cairo_fill(cr);

    // Field markings in perspective: far touchline, the side lines running towards the
    // viewer, the halfway line and the centre circle.
    const double farLine = horizon + (h - horizon) * 0.05;
    const double centreY = horizon + (h - horizon) * 0.45;
    cairo_set_source_rgba(cr, 1.0, 1.0, 1.0, 0.10);
    cairo_set_line_width(cr, 2.0);
    cairo_move_to(cr, w * 0.18, farLine);
    cairo_line_to(cr, w * 0.82, farLine);
    cairo_move_to(cr, w * 0.18, farLine);
    cairo_line_to(cr, -w * 0.20, h);
    cairo_move_to(cr, w * 0.82, farLine);
    cairo_line_to(cr, w * 1.20, h);
    cairo_move_to(cr, w * 0.50, farLine);
    cairo_line_to(cr, w * 0.50, h);
    cairo_stroke(cr);
    cairo_save(cr);
    cairo_translate(cr, w * 0.5, centreY);
    cairo_scale(cr, w * 0.12, h * 0.08);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 0.0, 0.0, 1.0, 0.0, 2.0 * std::numbers::pi);
    cairo_restore(cr);
    cairo_stroke(cr);
}

void SnapshotCanvas::Impl::FillPixels(std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h,
                                      Rgba colour) {
    if (w <= 0 || h <= 0) return;
    const std::int64_t left = std::max<std::int64_t>(x, 0);
    const std::int64_t top = std::max<std::int64_t>(y, 0);
    const std::int64_t right = std::min<std::int64_t>(x + w, width);
    const std::int64_t bottom = std::min<std::int64_t>(y + h, height);
    if (left >= right || top >= bottom) return;

    const ContextPtr context = NewContext();
    cairo_t* cr = context.get();
    SetSource(cr, colour);
    cairo_rectangle(cr, static_cast<double>(left), static_cast<double>(top), static_cast<double>(right - left),
                    static_cast<double>(bottom - top));
    cairo_fill(cr);
}

void SnapshotCanvas::Impl::StrokeSegment(double x0, double y0, double x1, double y1, Rgba colour) {
    // A little outside the surface, so that the caps of a clipped end stay off-screen.
    constexpr double kMargin = 4.0;
    if (!ClipSegment(x0, y0, x1, y1, -kMargin, -kMargin, width + kMargin, height + kMargin)) return;

    const ContextPtr context = NewContext();
    cairo_t* cr = context.get();
    SetSource(cr, colour);
    cairo_set_line_width(cr, 1.0);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, x1, y1);
    cairo_stroke(cr);
}

void SnapshotCanvas::Impl::ShowText(const std::string& utf8, double left, double top, double sizeX,
                                    double sizeY, Rgba colour, bool dropShadow) {
    cairo_matrix_t fontMatrix;
    cairo_matrix_t identity;
    cairo_matrix_init_scale(&fontMatrix, sizeX, sizeY);
    cairo_matrix_init_identity(&identity);
    const FontOptionsPtr options(cairo_font_options_create());
    cairo_font_options_set_antialias(options.get(), CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options.get(), CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_OFF);
    const ScaledFontPtr scaled(cairo_scaled_font_create(font, &fontMatrix, &identity, options.get()));
    if (cairo_scaled_font_status(scaled.get()) != CAIRO_STATUS_SUCCESS) return;

    cairo_font_extents_t extents;
    cairo_scaled_font_extents(scaled.get(), &extents);
    // A whole-pixel baseline keeps the glyphs' horizontal strokes sharp.
    const double baseline = std::round(top + extents.ascent);

    // Glyph ink stays within a few ems of its origin; anything further off is not drawn,
    // which also keeps every coordinate handed to Cairo small.
    const double reach = 4.0 * std::max(sizeX, sizeY) + 2.0;
    if (!(baseline > -reach && baseline < height + reach)) return;
    if (!(left < width + reach)) return;

    cairo_glyph_t* rawGlyphs = nullptr;
    int glyphCount = 0;
    const cairo_status_t status = cairo_scaled_font_text_to_glyphs(
        scaled.get(), left, baseline, utf8.data(), static_cast<int>(utf8.size()), &rawGlyphs, &glyphCount,
        nullptr, nullptr, nullptr);
    const std::unique_ptr<cairo_glyph_t, GlyphsDeleter> glyphs(rawGlyphs);
    if (status != CAIRO_STATUS_SUCCESS || glyphCount <= 0) return;

    // Glyph origins only grow from left to right: keep the run that can reach the screen.
    const cairo_glyph_t* first = glyphs.get();
    const cairo_glyph_t* last = glyphs.get() + glyphCount;
    first = std::find_if(first, last, [&](const cairo_glyph_t& g) { return g.x > -reach; });
    last = std::find_if(first, last, [&](const cairo_glyph_t& g) { return g.x >= width + reach; });
    if (first == last) return;
    const int visible = static_cast<int>(last - first);

    const ContextPtr context = NewContext();
    cairo_t* cr = context.get();
    cairo_set_scaled_font(cr, scaled.get());
    if (dropShadow) {
        cairo_save(cr);
        cairo_translate(cr, 1.0, 1.0);
        SetSource(cr, Rgba{0, 0, 0, colour.a});
        cairo_show_glyphs(cr, first, visible);
        cairo_restore(cr);
    }
    SetSource(cr, colour);
    cairo_show_glyphs(cr, first, visible);
}

SnapshotCanvas::SnapshotCanvas(int width, int height) : impl_(std::make_unique<Impl>()) {
    if (width <= 0 || height <= 0 || width > kMaxSurfaceSide || height > kMaxSurfaceSide) {
        throw std::invalid_argument("snapshot canvas: size " + std::to_string(width) + "x" +
                                    std::to_string(height) + " is not between 1 and " +
                                    std::to_string(kMaxSurfaceSide) + " pixels a side");
    }
    impl_->width = width;
    impl_->height = height;
    impl_->surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (const cairo_status_t status = cairo_surface_status(impl_->surface); status != CAIRO_STATUS_SUCCESS) {
        throw std::runtime_error(std::string("snapshot canvas: cannot create the image: ") +
                                 cairo_status_to_string(status));
    }
    impl_->font = cairo_toy_font_face_create(kFontFamily, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    if (const cairo_status_t status = cairo_font_face_status(impl_->font); status != CAIRO_STATUS_SUCCESS) {
        throw std::runtime_error(std::string("snapshot canvas: cannot create the font: ") +
                                 cairo_status_to_string(status));
    }
    impl_->PaintBackground();
}

SnapshotCanvas::~SnapshotCanvas() = default;

void SnapshotCanvas::FillBox(Vector2 size) {
    impl_->FillPixels(ix_, iy_, size.X, size.Y, color_);
}

void SnapshotCanvas::DrawLine(Vector2 start, Vector2 end) {
    if (start.X == end.X || start.Y == end.Y) {
        // Horizontal, vertical or a single point: exactly the pixels from one end point to
        // the other, both included.
        const std::int64_t left = std::min(start.X, end.X);
        const std::int64_t top = std::min(start.Y, end.Y);
        const std::int64_t right = std::max(start.X, end.X);
        const std::int64_t bottom = std::max(start.Y, end.Y);
        impl_->FillPixels(left, top, right - left + 1, bottom - top + 1, color_);
        return;
    }
    // Through the pixel centres, with square caps reaching half a pixel past each end point.
    impl_->StrokeSegment(start.X + 0.5, start.Y + 0.5, end.X + 0.5, end.Y + 0.5, color_);
}

void SnapshotCanvas::DrawString(const std::string& text, float xScale, float yScale, bool dropShadow,
                                bool /*wrapText: the screen draws one line*/) {
    if (!std::isfinite(xScale) || !std::isfinite(yScale) || xScale <= 0.0f || yScale <= 0.0f) return;
    const double sizeX = kBaseFontSize * xScale;
    const double sizeY = kBaseFontSize * yScale;
    if (sizeX > kMaxFontSize || sizeY > kMaxFontSize) return;
    if (text.empty()) return;
    // The exact position as set; where it is not a number, the integer one that
    // GetPosition reports (as FillBox uses).
    const double left = std::isfinite(x_) ? static_cast<double>(x_) : static_cast<double>(ix_);
    const double top = std::isfinite(y_) ? static_cast<double>(y_) : static_cast<double>(iy_);
    impl_->ShowText(SanitizeUtf8(text), left, top, sizeX, sizeY, color_, dropShadow);
}

int SnapshotCanvas::Width() const { return impl_->width; }

int SnapshotCanvas::Height() const { return impl_->height; }

Rgba SnapshotCanvas::PixelAt(int x, int y) const {
    if (x < 0 || y < 0 || x >= impl_->width || y >= impl_->height) return Rgba{0, 0, 0, 0};
    cairo_surface_flush(impl_->surface);
    const unsigned char* data = cairo_image_surface_get_data(impl_->surface);
    if (data == nullptr) return Rgba{0, 0, 0, 0};
    const int stride = cairo_image_surface_get_stride(impl_->surface);
    std::uint32_t pixel = 0;
    std::memcpy(&pixel, data + static_cast<std::ptrdiff_t>(y) * stride + static_cast<std::ptrdiff_t>(x) * 4,
                sizeof pixel);
    // ARGB32 is native-endian and premultiplied by alpha.
    const auto alpha = static_cast<unsigned>(pixel >> 24);
    if (alpha == 0) return Rgba{0, 0, 0, 0};
    const auto unpremultiply = [alpha](std::uint32_t channel) {
        return static_cast<unsigned char>(std::min(255u, (channel * 255u + alpha / 2u) / alpha));
    };
    return Rgba{unpremultiply((pixel >> 16) & 0xFFu), unpremultiply((pixel >> 8) & 0xFFu),
                unpremultiply(pixel & 0xFFu), static_cast<unsigned char>(alpha)};
}

void SnapshotCanvas::KeepBackground() {
    cairo_surface_flush(impl_->surface);
    const unsigned char* data = cairo_image_surface_get_data(impl_->surface);
    impl_->background.assign(data, data + static_cast<std::size_t>(Stride()) * static_cast<std::size_t>(impl_->height));
}

void SnapshotCanvas::RestoreBackground() {
    if (impl_->background.empty()) return;
    cairo_surface_flush(impl_->surface);
    std::memcpy(cairo_image_surface_get_data(impl_->surface), impl_->background.data(), impl_->background.size());
    cairo_surface_mark_dirty(impl_->surface);
}

void SnapshotCanvas::RestoreBackground(const PixelBox& box) {
    if (impl_->background.empty()) return;
    const int left = std::max(box.x, 0), top = std::max(box.y, 0);
    const int right = std::min(box.x + box.w, impl_->width), bottom = std::min(box.y + box.h, impl_->height);
    if (left >= right || top >= bottom) return;
    cairo_surface_flush(impl_->surface);
    unsigned char* data = cairo_image_surface_get_data(impl_->surface);
    const auto stride = static_cast<std::size_t>(Stride());
    const auto offset = static_cast<std::size_t>(left) * 4;
    const auto bytes = static_cast<std::size_t>(right - left) * 4;
    for (int y = top; y < bottom; ++y) {
        const std::size_t row = static_cast<std::size_t>(y) * stride + offset;
        std::memcpy(data + row, impl_->background.data() + row, bytes);
    }
    cairo_surface_mark_dirty_rectangle(impl_->surface, left, top, right - left, bottom - top);
}

PixelBox SnapshotCanvas::ChangedFromBackground() const {
    if (impl_->background.empty()) return {};
    cairo_surface_flush(impl_->surface);
    const unsigned char* data = cairo_image_surface_get_data(impl_->surface);
    const unsigned char* kept = impl_->background.data();
    const auto stride = static_cast<std::size_t>(Stride());
    const auto rowBytes = static_cast<std::size_t>(impl_->width) * 4;
    int top = -1, bottom = -1, left = impl_->width, right = 0;
    for (int y = 0; y < impl_->height; ++y) {
        const unsigned char* row = data + static_cast<std::size_t>(y) * stride;
        const unsigned char* keptRow = kept + static_cast<std::size_t>(y) * stride;
        // Whole rows are compared first (most rows are the background's); only a changed
        // row is searched for its first and last changed pixel.
        if (std::memcmp(row, keptRow, rowBytes) == 0) continue;
        if (top < 0) top = y;
        bottom = y + 1;
        int first = 0;
        while (std::memcmp(row + first * 4, keptRow + first * 4, 4) == 0) ++first;
        int last = impl_->width - 1;
        while (std::memcmp(row + last * 4, keptRow + last * 4, 4) == 0) --last;
        left = std::min(left, first);
        right = std::max(right, last + 1);
    }
    if (top < 0) return {};
    return {left, top, right - left, bottom - top};
}

PixelBox PixelBox::Union(const PixelBox& other) const {
    if (other.Empty()) return *this;
    if (Empty()) return other;
    const int left = std::min(x, other.x), top = std::min(y, other.y);
    const int right = std::max(x + w, other.x + other.w), bottom = std::max(y + h, other.y + other.h);
    return {left, top, right - left, bottom - top};
}

const unsigned char* SnapshotCanvas::Pixels() const {
    cairo_surface_flush(impl_->surface);
    return cairo_image_surface_get_data(impl_->surface);
}

int SnapshotCanvas::Stride() const { return cairo_image_surface_get_stride(impl_->surface); }

bool SnapshotCanvas::WritePng(const std::string& path, std::string& error) const {
    error.clear();
    if (path.empty()) {
        error = "cannot write PNG: no file name given";
        return false;
    }
    if (path.find('\0') != std::string::npos) {
        // The C file name would stop at the NUL and name another file.
        error = "cannot write PNG: the file name contains a NUL byte";
        return false;
    }
    errno = 0;
    const cairo_status_t status = cairo_surface_write_to_png(impl_->surface, path.c_str());
    const int savedErrno = errno;
    if (status == CAIRO_STATUS_SUCCESS) return true;
    error = "cannot write PNG \"" + path + "\": " + cairo_status_to_string(status);
    if (status == CAIRO_STATUS_WRITE_ERROR && savedErrno != 0) {
        error += std::string(" (") + std::strerror(savedErrno) + ")";
    }
    return false;
}

}  // namespace vhost
