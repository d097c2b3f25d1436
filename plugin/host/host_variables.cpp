#include "plugin/host/host_variables.h"

#include "aced.h"
#include "acutads.h"

namespace lnkhold::host {

std::optional<std::string> stringVariable(const char* name) {
    resbuf value{};
    if (acedGetVar(name, &value) != RTNORM || value.restype != RTSTR) {
        return std::nullopt;
    }
    std::string text = value.resval.rstring ? value.resval.rstring : "";
    acutDelString(value.resval.rstring);
    return text;
}

std::optional<short> shortVariable(const char* name) {
    resbuf value{};
    if (acedGetVar(name, &value) != RTNORM) {
        return std::nullopt;
    }
    if (value.restype == RTSTR) {
        acutDelString(value.resval.rstring);
        return std::nullopt;
    }
    return value.restype == RTSHORT ? std::optional<short>(value.resval.rint) : std::nullopt;
}

}  // namespace lnkhold::host
