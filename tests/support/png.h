// A PNG read back for its pixels (the host's snapshots and settings pictures, browser
// screenshots).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vtest {

struct Rgba {
    int r = 0, g = 0, b = 0, a = 0;
};

class Png {
public:
    // Reads the file; ok() tells whether that worked (error() says why not).
    explicit Png(const std::filesystem::path& path);
    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    int width() const { return width_; }
    int height() const { return height_; }

    // A pixel as the word 0xAARRGGBB, its colour premultiplied by its alpha (an opaque
    // pixel's word is its plain colour).
    std::uint32_t Word(int x, int y) const { return words_[static_cast<std::size_t>(y) * width_ + x]; }
    Rgba At(int x, int y) const;
    // The share of the pixels in [left, right) x [top, bottom), cut to the picture, whose
    // red is brighter than mid-grey (light text on a dark panel); 0 for no pixel.
    double BrightShare(int left, int top, int right, int bottom) const;
    // How many different words the picture holds, counting up to `limit`.
    std::size_t DistinctColours(std::size_t limit = SIZE_MAX) const;

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint32_t> words_;
    std::string error_;
};

}  // namespace vtest
