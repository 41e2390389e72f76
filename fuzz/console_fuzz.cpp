// libFuzzer target: the host's command language. Every line of the input goes through the
// tokenizer and the parser, which must neither crash nor read out of bounds, whatever the
// bytes; a line that parses must describe a command the host can run, and its help topic
// (for a known command) must exist.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "core/console.h"

namespace {

// A broken invariant is a finding: abort, so that libFuzzer keeps the input.
[[noreturn]] void Broken(const char* what) {
    std::fprintf(stderr, "console fuzz: %s\n", what);
    std::abort();
}

void Check(const vhost::console::ParseResult& result) {
    using namespace vhost::console;
    if (!result.ok()) {
        if (result.error.find('\n') != std::string::npos) Broken("an error message spans lines");
        return;
    }
    if (const auto* wait = std::get_if<Wait>(&result.command)) {
        if (!(wait->seconds >= 0.0 && wait->seconds <= kMaxWaitSeconds)) Broken("a wait outside its range");
    }
    if (const auto* rating = std::get_if<SetRating>(&result.command)) {
        if (rating->after && !(*rating->after >= 0.0)) Broken("a negative or NaN delay");
    }
    if (const auto* fault = std::get_if<FaultThrow>(&result.command)) {
        if (fault->skip < 0) Broken("a negative skip");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::size_t start = 0;
    while (start <= input.size()) {
        std::size_t end = input.find('\n', start);
        if (end == std::string_view::npos) end = input.size();
        const std::string_view line = input.substr(start, end - start);

        std::vector<vhost::console::Token> words;
        std::string error;
        vhost::console::Tokenize(line, words, error);
        Check(vhost::console::Parse(line));
        start = end + 1;
    }
    // The help text of any word: empty for an unknown topic, never a crash.
    if (size < 64) vhost::console::HelpText(input);
    return 0;
}
