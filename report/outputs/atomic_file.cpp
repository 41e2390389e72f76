// Output files appear whole or not at all: written to a temporary name beside the target,
// then renamed over it. Targets that are not plain files are written to as they are.
#include <cerrno>
#include <cstring>
#include <fstream>
#include <random>

#include <fmt/format.h>

#include "atomic_file.h"
#include "utf8_path.h"

namespace vantrel::report {

namespace {

// Streams straight into `path`: for targets that must not be renamed over.
bool WriteDirectly(const std::filesystem::path& path, const std::function<void(std::ostream&)>& write,
                   std::string& error) {
    try {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        if (!out) {
            error = std::strerror(errno);
            return false;
        }
        write(out);
        out.close();
        if (!out.fail()) return true;
        error = "write failed";
    } catch (const std::exception& e) {
        error = e.what();
    }
    return false;
}

}  // namespace

bool WriteFileAtomically(const std::filesystem::path& requested, const std::function<void(std::ostream&)>& write,
                         std::string& error) {
    namespace fs = std::filesystem;
    // Renaming replaces whatever has the target's name. A device, a pipe or a link to one
    // (/dev/stdout) must be written to instead of replaced; a link to a plain file is
    // followed, so that the file is replaced and the link kept.
    fs::path path = requested;
    std::error_code statError;
    const fs::file_status own = fs::symlink_status(requested, statError);
    if (fs::is_symlink(own)) {
        const fs::file_status target = fs::status(requested, statError);
        if (!fs::is_regular_file(target)) return WriteDirectly(requested, write, error);
        path = fs::canonical(requested, statError);
        if (statError) return WriteDirectly(requested, write, error);
    } else if (fs::exists(own) && !fs::is_regular_file(own)) {
        return WriteDirectly(requested, write, error);
    }
    // Same directory, so the rename never crosses file systems; a random part, so two runs
    // writing the same file do not share a temporary.
    std::random_device random;
    const fs::path temporary =
        path.parent_path() / PathFromUtf8(fmt::format(".{}.{:08x}.tmp", PathToUtf8(path.filename()), random()));
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
