#include "cadhost/app/system_variables.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>

#include "cadhost/sdk/aced.h"
#include "cadhost/sdk/acutads.h"

namespace cadhost::app {

std::string upperCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return static_cast<char>(c < 0x80 ? std::toupper(c) : c);
    });
    return text;
}

std::string toText(const VariableValue& value) {
    return std::holds_alternative<int>(value) ? std::to_string(std::get<int>(value))
                                              : "\"" + std::get<std::string>(value) + "\"";
}

std::string requireZeroOrOne(const VariableValue& value) {
    const int v = std::get<int>(value);
    return v == 0 || v == 1 ? std::string() : std::string("Requires 0 or 1.");
}

SystemVariables::SystemVariables() {
    addStored("FILEDIA", 1, requireZeroOrOne);
    addStored("CMDECHO", 1, requireZeroOrOne);
}

void SystemVariables::addStored(const std::string& name, VariableValue initial,
                                std::function<std::string(const VariableValue&)> check) {
    const std::string key = upperCase(name);
    variables_[key] = Entry{{initial, {}, {}}, initial, true};
    Entry& entry = variables_[key];
    entry.variable.get = [&entry] { return entry.stored; };
    entry.variable.set = [&entry, check](const VariableValue& value) {
        std::string refusal = check ? check(value) : std::string();
        if (refusal.empty()) {
            entry.stored = value;
        }
        return refusal;
    };
}

void SystemVariables::add(const std::string& name, SystemVariable variable) {
    VariableValue initial = variable.initial;
    variables_[upperCase(name)] = Entry{std::move(variable), std::move(initial), false};
}

SystemVariables::Entry* SystemVariables::find(const std::string& name) {
    auto found = variables_.find(upperCase(name));
    return found == variables_.end() ? nullptr : &found->second;
}

const SystemVariables::Entry* SystemVariables::find(const std::string& name) const {
    auto found = variables_.find(upperCase(name));
    return found == variables_.end() ? nullptr : &found->second;
}

bool SystemVariables::exists(const std::string& name) const {
    return find(name) != nullptr;
}

std::vector<std::string> SystemVariables::names() const {
    std::vector<std::string> result;
    for (const auto& entry : variables_) {
        result.push_back(entry.first);
    }
    return result;
}

std::optional<VariableValue> SystemVariables::get(const std::string& name) const {
    const Entry* entry = find(name);
    return entry ? std::optional(entry->variable.get()) : std::nullopt;
}

std::string SystemVariables::set(const std::string& name, const VariableValue& value) {
    Entry* entry = find(name);
    if (!entry) {
        return "Unknown variable name.";
    }
    if (!entry->variable.set) {
        return "** That variable is read only **";
    }
    if (entry->variable.initial.index() != value.index()) {
        return std::holds_alternative<int>(entry->variable.initial) ? "Requires an integer value."
                                                                    : "Requires a text value.";
    }
    return entry->variable.set(value);
}

std::string SystemVariables::setFromText(const std::string& name, const std::string& text) {
    const Entry* entry = find(name);
    if (entry && std::holds_alternative<int>(entry->variable.initial)) {
        int number = 0;
        auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
        if (error != std::errc() || end != text.data() + text.size() || number < -32768 ||
            number > 32767) {
            return "Requires an integer between -32768 and 32767.";
        }
        return set(name, number);
    }
    return set(name, text);
}

int SystemVariables::getInt(const std::string& name) const {
    std::optional<VariableValue> value = get(name);
    return value && std::holds_alternative<int>(*value) ? std::get<int>(*value) : 0;
}

std::map<std::string, VariableValue> SystemVariables::storedValues() const {
    std::map<std::string, VariableValue> values;
    for (const auto& [name, entry] : variables_) {
        if (entry.keptHere) {
            values[name] = entry.stored;
        }
    }
    return values;
}

void SystemVariables::restoreStored(const std::map<std::string, VariableValue>& values) {
    for (const auto& [name, value] : values) {
        if (Entry* entry = find(name); entry && entry->keptHere) {
            entry->stored = value;
        }
    }
}

SystemVariables& systemVariables() {
    static SystemVariables variables;
    return variables;
}

}  // namespace cadhost::app

using cadhost::app::systemVariables;
using cadhost::app::VariableValue;

int acedGetVar(const char* name, resbuf* result) {
    if (!name || !result) {
        return RTERROR;
    }
    std::optional<VariableValue> value = systemVariables().get(name);
    if (!value) {
        return RTERROR;
    }
    result->rbnext = nullptr;
    if (std::holds_alternative<int>(*value)) {
        result->restype = RTSHORT;
        result->resval.rint = static_cast<short>(std::get<int>(*value));
        return RTNORM;
    }
    result->restype = RTSTR;
    return acutNewString(std::get<std::string>(*value).c_str(), result->resval.rstring) == Acad::eOk
               ? RTNORM
               : RTERROR;
}

int acedSetVar(const char* name, const resbuf* value) {
    if (!name || !value) {
        return RTERROR;
    }
    VariableValue converted;
    if (value->restype == RTSHORT) {
        converted = value->resval.rint;
    } else if (value->restype == RTSTR && value->resval.rstring) {
        converted = std::string(value->resval.rstring);
    } else {
        return RTERROR;
    }
    return systemVariables().set(name, converted).empty() ? RTNORM : RTERROR;
}
