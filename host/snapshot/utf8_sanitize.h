// Makes arbitrary bytes safe for Cairo's text functions, which refuse a whole string at the
// first byte they cannot decode.
#pragma once

#include <string>
#include <string_view>

namespace vhost {

// Returns `text` as valid UTF-8 that Cairo accepts. Every maximal ill-formed subsequence
// (stray continuation bytes, truncated or overlong sequences, surrogates, values above
// U+10FFFF) becomes one U+FFFD, as do NUL (it would end the C string early) and the
// noncharacters U+FDD0..U+FDEF and U+xxFFFE/U+xxFFFF, which Cairo also rejects.
// Valid input comes back unchanged.
std::string SanitizeUtf8(std::string_view text);

}  // namespace vhost
