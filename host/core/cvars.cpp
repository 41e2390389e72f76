#include "core/cvars.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <system_error>

#include <fmt/format.h>

#include "core/console.h"

namespace vhost {
namespace {

// Reads the whole text as a number (strtod's syntax, no surrounding blanks).
std::optional<double> ReadNumber(std::string_view text) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text.front())) != 0) return std::nullopt;
    const std::string copy(text);
    char* end = nullptr;
    const double value = std::strtod(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size()) return std::nullopt;
    return value;
}


bool NeedsQuotes(const std::string& text) {
    if (text.empty()) return true;
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return c == ' ' || c == '\t' || c == '"' || c == '#' || c == '\\'; });
}

}  // namespace

std::string EscapeQuoted(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

std::string FormatNumber(float value) { return fmt::format("{}", value); }

ConsoleVariable& CvarRegistry::Register(pluginsdk::Handle owner, const pluginsdk::CVarDefinition& definition,
                                        std::string& warning) {
    warning.clear();
    if (auto found = variables_.find(definition.name); found != variables_.end()) return found->second;

    ConsoleVariable variable;
    variable.handle = nextHandle_;
    nextHandle_ += 8;
    variable.owner = owner;
    variable.definition = definition;
    const std::optional<double> defaultNumber = ReadNumber(definition.defaultValue);
    variable.numeric = definition.hasMin || definition.hasMax || (defaultNumber && std::isfinite(*defaultNumber));
    auto& stored = variables_.emplace(definition.name, std::move(variable)).first->second;
    byHandle_[stored.handle] = definition.name;

    std::string error;
    if (!Set(stored, definition.defaultValue, error)) {
        // A default that is not a number for a limited variable: keep the text as given.
        stored.value = definition.defaultValue;
    }
    if (auto saved = saved_.find(definition.name); saved != saved_.end()) {
        if (!Set(stored, saved->second, error)) {
            warning = "saved value \"" + saved->second + "\" of " + definition.name + " refused (" + error +
                      "); using the default \"" + stored.value + "\"";
        }
    }
    return stored;
}

ConsoleVariable* CvarRegistry::Find(std::string_view name) {
    auto found = variables_.find(name);
    return found == variables_.end() ? nullptr : &found->second;
}

ConsoleVariable* CvarRegistry::FindHandle(pluginsdk::Handle handle) {
    auto found = byHandle_.find(handle);
    return found == byHandle_.end() ? nullptr : Find(found->second);
}

bool CvarRegistry::Set(ConsoleVariable& variable, std::string_view text, std::string& error) {
    if (text.find_first_of("\r\n") != std::string_view::npos) {
        error = "a value cannot hold a line break";
        return false;
    }
    std::string value(text);
    if (variable.numeric) {
        const std::optional<double> number = ReadNumber(text);
        if (!number) {
            error = "\"" + value + "\" is not a number";
            return false;
        }
        if (!std::isfinite(*number)) {
            error = "\"" + value + "\" is not a finite number";
            return false;
        }
        const auto& d = variable.definition;
        if (d.hasMin && *number < static_cast<double>(d.min)) {
            value = FormatNumber(d.min);
        } else if (d.hasMax && *number > static_cast<double>(d.max)) {
            value = FormatNumber(d.max);
        }
    }
    variable.value = std::move(value);
    const float asFloat = FloatValue(variable);
    for (auto& binding : variable.floatBindings) *binding = asFloat;
    for (auto& binding : variable.boolBindings) *binding = asFloat != 0.0f;
    return true;
}

void CvarRegistry::Bind(ConsoleVariable& variable, std::shared_ptr<bool> value) {
    if (!value) return;
    *value = BoolValue(variable);
    variable.boolBindings.push_back(std::move(value));
    PruneBindings();
}

void CvarRegistry::Bind(ConsoleVariable& variable, std::shared_ptr<float> value) {
    if (!value) return;
    *value = FloatValue(variable);
    variable.floatBindings.push_back(std::move(value));
    PruneBindings();
}

void CvarRegistry::PruneBindings() {
    for (auto& [name, variable] : variables_) {
        std::erase_if(variable.boolBindings, [](const auto& value) { return value.use_count() == 1; });
        std::erase_if(variable.floatBindings, [](const auto& value) { return value.use_count() == 1; });
    }
}

void CvarRegistry::DropBindings() {
    for (auto& [name, variable] : variables_) {
        variable.boolBindings.clear();
        variable.floatBindings.clear();
    }
}

double CvarRegistry::NumberOf(const ConsoleVariable& variable) {
    const std::optional<double> number = ReadNumber(variable.value);
    return number && !std::isnan(*number) ? *number : 0.0;
}

float CvarRegistry::FloatValue(const ConsoleVariable& variable) { return static_cast<float>(NumberOf(variable)); }

int CvarRegistry::IntValue(const ConsoleVariable& variable) {
    const double number = NumberOf(variable);
    if (number >= 2147483647.0) return std::numeric_limits<int>::max();
    if (number <= -2147483648.0) return std::numeric_limits<int>::min();
    return static_cast<int>(number);
}

bool CvarRegistry::BoolValue(const ConsoleVariable& variable) { return FloatValue(variable) != 0.0f; }

std::vector<const ConsoleVariable*> CvarRegistry::Variables() const {
    std::vector<const ConsoleVariable*> list;
    for (const auto& [name, variable] : variables_) list.push_back(&variable);
    return list;
}

void CvarRegistry::RegisterCommand(ConsoleCommand command) {
    std::string name = command.name;
    commands_[name] = std::make_shared<const ConsoleCommand>(std::move(command));
}

std::shared_ptr<const ConsoleCommand> CvarRegistry::FindCommand(std::string_view name) const {
    auto found = commands_.find(name);
    return found == commands_.end() ? nullptr : found->second;
}

void CvarRegistry::DropCommands(pluginsdk::Handle owner) {
    std::erase_if(commands_, [owner](const auto& entry) { return entry.second->owner == owner; });
}

std::vector<std::shared_ptr<const ConsoleCommand>> CvarRegistry::Commands() const {
    std::vector<std::shared_ptr<const ConsoleCommand>> list;
    for (const auto& [name, command] : commands_) list.push_back(command);
    return list;
}

std::map<std::string, std::string> CvarRegistry::ValuesToSave() const {
    // Saved values nobody registered this run are kept, so no setting is ever lost.
    std::map<std::string, std::string> values = saved_;
    for (const auto& [name, variable] : variables_) {
        if (variable.definition.saveToConfig) values[name] = variable.value;
    }
    return values;
}

std::string ConfigLine(const std::string& name, const std::string& value) {
    std::string line;
    if (NeedsQuotes(name)) {
        line += '"';
        line += EscapeQuoted(name);
        line += '"';
    } else {
        line += name;
    }
    line += " \"";
    line += EscapeQuoted(value);
    line += "\"";
    return line;
}

ConfigContents ReadConfig(const std::filesystem::path& path) {
    ConfigContents contents;
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        contents.missing = true;
        return contents;
    }
    if (!std::filesystem::is_regular_file(path, ec)) {
        contents.error = "it is not a regular file";
        return contents;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        contents.error = "cannot open it for reading";
        return contents;
    }
    std::string line, error;
    std::vector<console::Token> words;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!console::Tokenize(line, words, error)) {
            contents.problems.push_back(fmt::format("{}: {}", number, error));
            continue;
        }
        if (words.empty()) continue;
        if (words.size() != 2 || words[0].text.empty()) {
            contents.problems.push_back(fmt::format("{}: expected NAME \"VALUE\"", number));
            continue;
        }
        contents.values[words[0].text] = words[1].text;
    }
    if (in.bad()) contents.error = "a read error occurred";
    return contents;
}

bool WriteConfig(const std::filesystem::path& path, const std::map<std::string, std::string>& values,
                 std::string& error) {
    std::filesystem::path temporary = path;
    temporary += ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) {
            error = "cannot create " + temporary.string();
            return false;
        }
        for (const auto& [name, value] : values) out << ConfigLine(name, value) << '\n';
        out.flush();
        if (!out) {
            error = "cannot write " + temporary.string();
            out.close();
            std::filesystem::remove(temporary);
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        error = "cannot replace " + path.string() + ": " + ec.message();
        std::filesystem::remove(temporary, ec);
        return false;
    }
    return true;
}

}  // namespace vhost
