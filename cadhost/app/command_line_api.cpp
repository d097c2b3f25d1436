// The command-line functions modules call: printing and prompting.

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "cadhost/app/command_line.h"
#include "cadhost/app/interpreter.h"
#include "cadhost/sdk/aced.h"

using cadhost::app::commandLine;

int acutPrintf(const char* format, ...) {
    if (!format) {
        return 0;
    }
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length < 0) {
        va_end(args);
        return length;
    }
    std::vector<char> text(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), format, args);
    va_end(args);
    commandLine().print(std::string_view(text.data(), static_cast<std::size_t>(length)));
    return length;
}

namespace {

// The longest answer acedGetString hands back, without its terminating NUL.
constexpr std::size_t kMaxAnswer = 132;

}  // namespace

int acedGetString(int allowSpaces, const char* prompt, char* result) {
    if (!result) {
        return RTERROR;
    }
    *result = '\0';
    std::optional<std::string> answer = commandLine().ask(prompt ? prompt : "", allowSpaces != 0);
    if (!answer) {
        cadhost::app::interpreter().markFailed();
        return RTCAN;
    }
    const std::size_t length = std::min(answer->size(), kMaxAnswer);
    std::memcpy(result, answer->data(), length);
    result[length] = '\0';
    return RTNORM;
}

int acedGetInt(const char* prompt, int* result) {
    if (!result) {
        return RTERROR;
    }
    while (true) {
        std::optional<std::string> answer = commandLine().ask(prompt ? prompt : "");
        if (!answer) {
            cadhost::app::interpreter().markFailed();
            return RTCAN;
        }
        if (answer->empty()) {
            return RTNONE;
        }
        char* end = nullptr;
        const long value = std::strtol(answer->c_str(), &end, 10);
        if (*end == '\0' && value >= -32768 && value <= 32767) {
            *result = static_cast<int>(value);
            return RTNORM;
        }
        commandLine().print("\nRequires an integer value.\n");
    }
}

int acedCommand(int type, ...) {
    va_list args;
    va_start(args, type);
    const char* name = type == RTSTR ? va_arg(args, const char*) : nullptr;
    const int next = name ? va_arg(args, int) : RTNONE;
    va_end(args);
    if (!name || next != RTNONE) {
        return RTERROR;
    }
    return cadhost::app::interpreter().execute(name) ? RTNORM : RTERROR;
}
