#include "png.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>

#include <cairo.h>

namespace vtest {

Png::Png(const std::filesystem::path& path) {
    const std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
        cairo_image_surface_create_from_png(path.c_str()), &cairo_surface_destroy);
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
        error_ = path.string() + ": " + cairo_status_to_string(cairo_surface_status(surface.get()));
        return;
    }
    cairo_surface_flush(surface.get());
    width_ = cairo_image_surface_get_width(surface.get());
    height_ = cairo_image_surface_get_height(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    const unsigned char* data = cairo_image_surface_get_data(surface.get());
    words_.resize(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_));
    for (int y = 0; y < height_; ++y) {
        std::memcpy(&words_[static_cast<std::size_t>(y) * width_], data + static_cast<std::ptrdiff_t>(y) * stride,
                    static_cast<std::size_t>(width_) * 4);
    }
}

Rgba Png::At(int x, int y) const {
    const std::uint32_t w = Word(x, y);
    return {static_cast<int>((w >> 16) & 0xff), static_cast<int>((w >> 8) & 0xff), static_cast<int>(w & 0xff),
            static_cast<int>(w >> 24)};
}

double Png::BrightShare(int left, int top, int right, int bottom) const {
    int bright = 0;
    int all = 0;
    for (int y = std::max(top, 0); y < std::min(bottom, height_); ++y) {
        for (int x = std::max(left, 0); x < std::min(right, width_); ++x, ++all) {
            if (At(x, y).r > 128) ++bright;
        }
    }
    return all == 0 ? 0.0 : static_cast<double>(bright) / all;
}

std::size_t Png::DistinctColours(std::size_t limit) const {
    std::set<std::uint32_t> colours;
    for (const std::uint32_t word : words_) {
        if (colours.size() >= limit) break;
        colours.insert(word);
    }
    return colours.size();
}

}  // namespace vtest
