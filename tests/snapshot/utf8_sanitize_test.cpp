#include "snapshot/utf8_sanitize.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string R = "\xEF\xBF\xBD";  // U+FFFD

struct SanitizeCase {
    const char* name;
    std::string input;
    std::string expected;
};

TEST(Utf8Sanitize, ReplacesWhatCairoWouldRefuseAndKeepsTheRest) {
    const SanitizeCase cases[] = {
        {"ascii", "W  L  MMR", "W  L  MMR"},
        {"valid multibyte", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
        {"largest code point", "\xF4\x8F\xBF\xBD", "\xF4\x8F\xBF\xBD"},
        {"replacement char kept", R, R},
        {"embedded NUL", std::string("a\0b", 3), "a" + R + "b"},
        {"stray continuation", "a\x80z", "a" + R + "z"},
        {"lead byte at end", "a\xC3", "a" + R},
        {"truncated 3-byte is one replacement", "\xE2\x82" "A", R + "A"},
        {"truncated 4-byte is one replacement", "\xF0\x9F\x98", R},
        {"overlong 2-byte", "\xC0\xAF", R + R},
        {"overlong 3-byte", "\xE0\x80\xAF", R + R + R},
        {"surrogate", "\xED\xA0\x80", R + R + R},
        {"above U+10FFFF", "\xF4\x90\x80\x80", R + R + R + R},
        {"never a lead", "\xF5\xFF", R + R},
        {"noncharacter U+FFFF", "x\xEF\xBF\xBFy", "x" + R + "y"},
        {"noncharacter U+FDD0", "\xEF\xB7\x90", R},
        {"noncharacter U+10FFFF", "\xF4\x8F\xBF\xBF", R},
    };
    for (const SanitizeCase& c : cases) {
        EXPECT_EQ(vhost::SanitizeUtf8(c.input), c.expected) << c.name;
    }
}

}  // namespace
