// The Chromium the browser tests drive: $VANTREL_CHROMIUM, else chromium (or
// chromium-browser) on PATH; empty when there is none (the tests then skip, saying so).
// The Python tests find it the same way (tests/support/vtest.py, find_chromium).
#pragma once

#include <filesystem>

namespace vtest {

std::filesystem::path FindChromium();

}  // namespace vtest
