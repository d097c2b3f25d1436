#pragma once
// The host's system variables by name (letter case ignored): the application's own (SDI,
// FILEDIA, CPROFILE ...) and those read from or written to the current drawing.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace cadhost::app {

using VariableValue = std::variant<int, std::string>;

struct SystemVariable {
    VariableValue initial;  // gives the type: short or string
    std::function<VariableValue()> get;
    // Empty for read-only variables; returns a message when the value is refused, else "".
    std::function<std::string(const VariableValue&)> set;
};

class SystemVariables {
  public:
    SystemVariables();

    // A variable whose value the registry keeps itself (with an optional check).
    void addStored(const std::string& name, VariableValue initial,
                   std::function<std::string(const VariableValue&)> check = {});
    void add(const std::string& name, SystemVariable variable);

    bool exists(const std::string& name) const;
    // Every name, upper case, in alphabetical order.
    std::vector<std::string> names() const;
    std::optional<VariableValue> get(const std::string& name) const;
    // "" on success, else the message why not.
    std::string set(const std::string& name, const VariableValue& value);
    // Converts typed text to the variable's type and sets it.
    std::string setFromText(const std::string& name, const std::string& text);
    int getInt(const std::string& name) const;

    // The values of the variables the registry keeps itself (the application's settings, not
    // the drawing's), and setting them back: a batch gives each drawing's script the same
    // settings, whichever scripts ran before it in the same process.
    std::map<std::string, VariableValue> storedValues() const;
    void restoreStored(const std::map<std::string, VariableValue>& values);

  private:
    struct Entry {
        SystemVariable variable;
        VariableValue stored;
        bool keptHere = false;  // added with addStored
    };
    Entry* find(const std::string& name);
    const Entry* find(const std::string& name) const;

    std::map<std::string, Entry> variables_;  // by upper-case name
};

SystemVariables& systemVariables();

std::string toText(const VariableValue& value);
// The check of an on/off variable: "" for 0 and 1, else the refusal.
std::string requireZeroOrOne(const VariableValue& value);
std::string upperCase(std::string text);

}  // namespace cadhost::app
