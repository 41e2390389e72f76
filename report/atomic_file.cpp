// Output files appear whole or not at all: written to a temporary name beside the target,
// then renamed over it.
#include <cerrno>
#include <cstring>
#include <fstream>
#include <random>

#include <fmt/format.h>

#include "outputs.h"

namespace vantrel::report {

bool WriteFileAtomically(const std::filesystem::path& path, const std::function<void(std::ostream&)>& write,
                         std::string& error) {
    namespace fs = std::filesystem;
    // Same directory, so the rename never crosses file systems; a random part, so two runs
    // writing the same file do not share a temporary.
    std::random_device random;
    const fs::path temporary =
        path.parent_path() / fmt::format(".{}.{:08x}.tmp", path.filename().string(), random());
    bool written = false;
    try {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) {
            error = std::strerror(errno);
            return false;
        }
        write(out);
        out.close();
        written = !out.fail();
        if (!written) error = "write failed";
    } catch (const std::exception& e) {
        error = e.what();
    }
    std::error_code ec;
    if (written) {
        fs::rename(temporary, path, ec);
        if (!ec) return true;
        error = ec.message();
    }
    fs::remove(temporary, ec);
    return false;
}

}  // namespace vantrel::report
