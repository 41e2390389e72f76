// Feeding the rebuild: a log's bytes in pieces cut anywhere, split into lines as the
// reader splits a whole file, each line parsed and handed to the rules (rules.cpp).
#include <algorithm>
#include <cstring>
#include <istream>
#include <limits>
#include <memory>

#include "rebuild.h"
#include "rules.h"

namespace vantrel::report {

HistoryBuilder::HistoryBuilder() : rules_(std::make_unique<Rules>()) {}
HistoryBuilder::~HistoryBuilder() = default;

const History& HistoryBuilder::history() const { return rules_->Result(); }
History HistoryBuilder::Release() { return std::move(rules_->Result()); }
HistoryChanges HistoryBuilder::TakeChanges() { return rules_->TakeChanges(); }

void HistoryBuilder::ReserveForBytes(std::uint64_t bytes) {
    rules_->Result().matches.reserve(static_cast<std::size_t>(
        std::min<std::uint64_t>(bytes / 100 + 1, std::numeric_limits<std::uint32_t>::max())));
}

void HistoryBuilder::Feed(std::string_view bytes) {
    while (!bytes.empty()) {
        const auto* lf = static_cast<const char*>(std::memchr(bytes.data(), '\n', bytes.size()));
        const std::size_t length = lf != nullptr ? static_cast<std::size_t>(lf - bytes.data()) : bytes.size();
        if (lf != nullptr && !carrying_) {
            // The common case: the whole line lies in the piece.
            std::string_view line = bytes.substr(0, length);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            const bool cut = line.size() > kMaxLineKept;
            Line(cut ? line.substr(0, kMaxLineKept) : line, cut);
            bytes.remove_prefix(length + 1);
            continue;
        }
        // The line began in an earlier piece or runs on past this one: keep what fits of it.
        carrying_ = true;
        const std::size_t room =
            kMaxLineKept + 1 > carry_.size() ? kMaxLineKept + 1 - carry_.size() : 0;
        if (length > room) carryCut_ = true;
        carry_.append(bytes.data(), std::min(length, room));
        if (lf == nullptr) return;
        bytes.remove_prefix(length + 1);
        EndCarried();
    }
}

void HistoryBuilder::Finish() {
    if (carrying_) EndCarried();
}

void HistoryBuilder::EndCarried() {
    bool cut = carryCut_;
    if (!cut && !carry_.empty() && carry_.back() == '\r') carry_.pop_back();
    if (carry_.size() > kMaxLineKept) {
        carry_.resize(kMaxLineKept);
        cut = true;
    }
    Line(carry_, cut);
    carry_.clear();
    carrying_ = false;
    carryCut_ = false;
}

void HistoryBuilder::Line(std::string_view text, bool cut) {
    ReadStats& stats = rules_->Result().stats;
    const std::uint64_t number = ++stats.lines;
    LogLine parsed;
    if (ParseLogLine(text, parsed, cut)) {
        ++stats.logLines;
        rules_->Line(number, parsed);
        inException_ = IsException(parsed.kind);
    } else if (inException_) {
        // An exception's text went on over a line break.
        ++stats.continuationLines;
    } else if (stats.unreadable++ == 0) {
        stats.firstUnreadableLine = number;
    }
}

// ---- The whole file ---------------------------------------------------------------------

History ReadHistory(std::istream& log) { return ReadHistory(log, kReadBlockSize); }

History ReadHistory(std::istream& log, std::size_t blockSize) {
    HistoryBuilder builder;
    const std::istream::pos_type here = log.tellg();
    if (here != std::istream::pos_type(-1) && log.seekg(0, std::ios::end)) {
        const std::istream::pos_type end = log.tellg();
        log.seekg(here);
        if (end != std::istream::pos_type(-1) && end > here) builder.ReserveForBytes(static_cast<std::uint64_t>(end - here));
    }
    log.clear(log.rdstate() & std::ios::badbit);
    blockSize = std::max<std::size_t>(blockSize, 1);
    const std::unique_ptr<char[]> block(new char[blockSize]);
    // A short read is the end of the input, or an error (treated alike).
    for (;;) {
        log.read(block.get(), static_cast<std::streamsize>(blockSize));
        const auto got = static_cast<std::size_t>(log.gcount());
        builder.Feed(std::string_view(block.get(), got));
        if (got < blockSize) break;
    }
    builder.Finish();
    return builder.Release();
}

}  // namespace vantrel::report
