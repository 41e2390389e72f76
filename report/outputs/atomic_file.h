// How every output file is written: whole or not at all.
#pragma once

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <string>

namespace vantrel::report {

// Writes `path` through a temporary file in the same directory that is renamed into
// place once `write` has succeeded: a reader never sees half a file, and a failure leaves
// neither a half file nor the temporary one. A link to a plain file is followed (the link
// stays); a device, a pipe or a link to one is written to directly. False with `error` set
// on failure.
bool WriteFileAtomically(const std::filesystem::path& path, const std::function<void(std::ostream&)>& write,
                         std::string& error);

}  // namespace vantrel::report
