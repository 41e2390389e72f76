// --obs-text DIR: one small UTF-8 text file per figure of the session, for a streaming
// program's text sources. Each file is replaced whole (written beside and renamed), and
// only when its text changed, so a reader never sees half a file.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "glance.h"

namespace vantrel::report::serve {

// The files and their texts: per mode (1vs1, 2vs2, 3vs3, other) NAME-record.txt ("4-1"),
// NAME-change.txt ("+24.50", empty when no change is known), NAME-rating.txt (the last
// known rating, kept across sessions), NAME-rank.txt ("D3 D3") and NAME-next.txt ("12.75
// to D3 D4"; empty at the top or without a rank table); then session-record.txt (all
// modes), last-result.txt ("Won +12.00 2vs2") and streak.txt ("3 wins").
std::vector<std::pair<std::string, std::string>> ObsTexts(const History& history, const SessionGlance& glance);

class ObsTextFiles {
public:
    explicit ObsTextFiles(std::filesystem::path dir) : dir_(std::move(dir)) {}
    // Writes the files whose text changed; false with `error` (the first failure) set.
    bool Update(const History& history, const SessionGlance& glance, std::string& error);

private:
    std::filesystem::path dir_;
    std::map<std::string, std::string> written_;
};

}  // namespace vantrel::report::serve
