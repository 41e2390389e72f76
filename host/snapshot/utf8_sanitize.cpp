#include "snapshot/utf8_sanitize.h"

#include <cstddef>
#include <cstdint>

namespace vhost {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

bool IsNoncharacter(std::uint32_t codePoint) {
    return (codePoint >= 0xFDD0 && codePoint <= 0xFDEF) || (codePoint & 0xFFFEu) == 0xFFFEu;
}

}  // namespace

std::string SanitizeUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead == 0) {
            out += kReplacement;
            ++i;
            continue;
        }
        if (lead < 0x80) {
            out += static_cast<char>(lead);
            ++i;
            continue;
        }

        // Length of the sequence and the allowed range of its second byte (the lead byte
        // alone decides which second bytes would be overlong, surrogates or too large).
        std::size_t length = 0;
        unsigned char secondLow = 0x80, secondHigh = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead == 0xE0) {
            length = 3;
            secondLow = 0xA0;
        } else if (lead == 0xED) {
            length = 3;
            secondHigh = 0x9F;
        } else if (lead >= 0xE1 && lead <= 0xEF) {
            length = 3;
        } else if (lead == 0xF0) {
            length = 4;
            secondLow = 0x90;
        } else if (lead >= 0xF1 && lead <= 0xF3) {
            length = 4;
        } else if (lead == 0xF4) {
            length = 4;
            secondHigh = 0x8F;
        } else {
            // 0x80..0xC1 (continuation or overlong lead) and 0xF5..0xFF never start a character.
            out += kReplacement;
            ++i;
            continue;
        }

        std::uint32_t codePoint = lead & (0xFFu >> (length + 1));
        std::size_t taken = 1;
        for (; taken < length && i + taken < n; ++taken) {
            const auto next = static_cast<unsigned char>(text[i + taken]);
            const unsigned char low = taken == 1 ? secondLow : 0x80;
            const unsigned char high = taken == 1 ? secondHigh : 0xBF;
            if (next < low || next > high) break;
            codePoint = (codePoint << 6) | (next & 0x3Fu);
        }
        if (taken == length && !IsNoncharacter(codePoint)) {
            out.append(text.substr(i, length));
        } else {
            out += kReplacement;
        }
        i += taken;
    }
    return out;
}

}  // namespace vhost
