#include "window/console_buffer.h"

#include <fstream>
#include <system_error>

namespace vhost {

void ConsoleBuffer::Add(ConsoleLine::Kind kind, std::string text) {
    if (!text.empty() && text.back() == '\r') text.pop_back();
    lines_.push_back({kind, std::move(text)});
    while (lines_.size() > maxLines_) lines_.pop_front();
    ++added_;
}

ConsoleTee::~ConsoleTee() {
    if (!partial_.empty()) console_.Add(kind_, std::move(partial_));
}

void ConsoleTee::Take(const char* text, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (text[i] == '\n') {
            console_.Add(kind_, std::move(partial_));
            partial_.clear();
        } else {
            partial_.push_back(text[i]);
        }
    }
}

ConsoleTee::int_type ConsoleTee::overflow(int_type ch) {
    if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
    const char c = traits_type::to_char_type(ch);
    Take(&c, 1);
    if (passOn_ != nullptr) passOn_->sputc(c);
    return ch;
}

std::streamsize ConsoleTee::xsputn(const char* text, std::streamsize count) {
    Take(text, static_cast<std::size_t>(count));
    if (passOn_ != nullptr) passOn_->sputn(text, count);
    return count;
}

int ConsoleTee::sync() { return passOn_ != nullptr ? passOn_->pubsync() : 0; }

FileTail::FileTail(std::filesystem::path path) : path_(std::move(path)) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path_, ec);
    offset_ = ec ? 0 : size;
}

std::vector<std::string> FileTail::Poll() {
    std::vector<std::string> lines;
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path_, ec);
    if (ec) return lines;
    if (size < offset_) {
        offset_ = 0;
        partial_.clear();
    }
    if (size == offset_) return lines;
    std::ifstream in(path_, std::ios::binary);
    if (!in.seekg(static_cast<std::streamoff>(offset_))) return lines;
    std::string chunk(static_cast<std::size_t>(size - offset_), '\0');
    in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    chunk.resize(static_cast<std::size_t>(in.gcount()));
    offset_ += chunk.size();
    for (const char c : chunk) {
        if (c == '\n') {
            if (!partial_.empty() && partial_.back() == '\r') partial_.pop_back();
            lines.push_back(std::move(partial_));
            partial_.clear();
        } else {
            partial_.push_back(c);
        }
    }
    return lines;
}

}  // namespace vhost
