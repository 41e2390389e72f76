// Console variables and console commands, and the saved configuration file.
//
// A variable holds a string. One registered with a limit, or whose default is a number, is
// numeric: a value must then read as a finite number, and is clamped to the registered
// limits. Values bound with bindTo follow every change (a bool binding reads value != 0).
// Saved values read from the configuration replace a variable's default when it is
// registered, and are written back at exit even if nothing registered them this run.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <pluginsdk/backend.h>

namespace vhost {

// The text with `"` and `\` escaped by a backslash, as it stands between double quotes
// in the configuration file and in `get`.
std::string EscapeQuoted(const std::string& text);

struct ConsoleVariable {
    pluginsdk::Handle handle = 0;
    pluginsdk::Handle owner = 0;  // the plug-in load that registered it
    pluginsdk::CVarDefinition definition;
    std::string value;
    bool numeric = false;
    std::vector<std::shared_ptr<bool>> boolBindings;
    std::vector<std::shared_ptr<float>> floatBindings;
};

struct ConsoleCommand {
    pluginsdk::Handle owner = 0;
    std::string name;
    pluginsdk::NotifierCallback callback;
    std::string description;
    unsigned char permissions = 0;
};

class CvarRegistry {
public:
    // Registers a variable, or returns the one already registered under that name (left
    // as it is). A saved value for the name replaces the default; if it is refused, the
    // default stays and `warning` says why.
    ConsoleVariable& Register(pluginsdk::Handle owner, const pluginsdk::CVarDefinition& definition,
                              std::string& warning);

    ConsoleVariable* Find(std::string_view name);
    ConsoleVariable* FindHandle(pluginsdk::Handle handle);

    // Sets a value: numeric variables refuse text that is not a finite number and clamp to
    // their limits. Refused: returns false, sets `error`, keeps the old value.
    bool Set(ConsoleVariable& variable, std::string_view text, std::string& error);

    // Binds a shared value: it takes the current value at once and every later one.
    void Bind(ConsoleVariable& variable, std::shared_ptr<bool> value);
    void Bind(ConsoleVariable& variable, std::shared_ptr<float> value);
    // Drops the bindings that nobody but the host holds any more.
    void PruneBindings();
    // Drops every binding (the shared values may come from a plug-in module).
    void DropBindings();

    static double NumberOf(const ConsoleVariable& variable);  // 0 when not a number
    static float FloatValue(const ConsoleVariable& variable);
    static int IntValue(const ConsoleVariable& variable);
    static bool BoolValue(const ConsoleVariable& variable);

    // All variables, sorted by name.
    std::vector<const ConsoleVariable*> Variables() const;

    // Console commands: a later registration of a name replaces the earlier one.
    void RegisterCommand(ConsoleCommand command);
    // Held by the caller while the command runs, so that it outlives its own removal.
    std::shared_ptr<const ConsoleCommand> FindCommand(std::string_view name) const;
    void DropCommands(pluginsdk::Handle owner);
    void DropAllCommands() { commands_.clear(); }
    std::vector<std::shared_ptr<const ConsoleCommand>> Commands() const;

    // The saved configuration: values read at start, and what to write at exit.
    void SetSavedValues(std::map<std::string, std::string> saved) { saved_ = std::move(saved); }
    std::map<std::string, std::string> ValuesToSave() const;

private:
    std::map<std::string, ConsoleVariable, std::less<>> variables_;
    std::map<pluginsdk::Handle, std::string> byHandle_;
    std::map<std::string, std::shared_ptr<const ConsoleCommand>, std::less<>> commands_;
    std::map<std::string, std::string> saved_;
    pluginsdk::Handle nextHandle_ = 0x7c000000;
};

// Formats a float the shortest way that reads back the same (10, 0.5, 1e+20).
std::string FormatNumber(float value);

// The configuration file: one variable a line, `name "value"` (\" and \\ escaped).
struct ConfigContents {
    std::map<std::string, std::string> values;
    std::vector<std::string> problems;  // "LINE: what is wrong" for every skipped line
    bool missing = false;               // no such file (not an error)
    std::string error;                  // the file exists but could not be read
};
ConfigContents ReadConfig(const std::filesystem::path& path);
// Writes atomically: a temporary file beside it, then a rename.
bool WriteConfig(const std::filesystem::path& path, const std::map<std::string, std::string>& values,
                 std::string& error);
// One configuration line (without the newline).
std::string ConfigLine(const std::string& name, const std::string& value);

}  // namespace vhost
