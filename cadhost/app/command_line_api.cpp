// The command-line functions modules call: printing and prompting.

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "cadhost/app/command_line.h"
#include "cadhost/app/host_input.h"
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

// The size of the buffer the classic acedGetString and acedGetKword fill.
constexpr std::size_t kClassicBuffer = 133;

// Keywords set by acedInitGet for the next acedGetKword.
struct PendingKeywords {
    int flags = 0;
    std::vector<std::string> keywords;
};
PendingKeywords pendingKeywords;

std::optional<std::string> askAnswer(const char* prompt, bool restOfLine,
                                     const cadhost::app::Completion& completion = {}) {
    std::optional<std::string> answer =
        commandLine().ask(prompt ? prompt : "", restOfLine, completion);
    if (!answer) {
        cadhost::app::interpreter().markFailed();
    }
    return answer;
}

// Whether a person at a terminal answers the prompts (not a script, not a pipe).
bool atTerminal() {
    const cadhost::app::InputSource* source = commandLine().source();
    return source && source->isTerminal();
}

void copyAnswer(const std::string& answer, char* result, std::size_t bufferSize) {
    const std::size_t length = std::min(answer.size(), bufferSize - 1);
    std::memcpy(result, answer.data(), length);
    result[length] = '\0';
}

}  // namespace

int acedGetString(int allowSpaces, const char* prompt, char* result) {
    if (!result) {
        return RTERROR;
    }
    *result = '\0';
    std::optional<std::string> answer = askAnswer(prompt, allowSpaces != 0);
    if (!answer) {
        return RTCAN;
    }
    copyAnswer(*answer, result, kClassicBuffer);
    return RTNORM;
}

int acedGetString(int allowSpaces, const char* prompt, char* result, std::size_t bufferSize) {
    if (!result || bufferSize == 0) {
        return RTERROR;
    }
    *result = '\0';
    std::optional<std::string> answer = askAnswer(prompt, allowSpaces != 0);
    if (!answer) {
        return RTCAN;
    }
    if (answer->size() >= bufferSize) {
        commandLine().print("\nThe answer is too long (" + std::to_string(answer->size()) +
                            " characters).\n");
        cadhost::app::interpreter().markFailed();
        return RTERROR;
    }
    copyAnswer(*answer, result, bufferSize);
    return RTNORM;
}

int acedInitGet(int flags, const char* keywordList) {
    pendingKeywords = {flags, {}};
    std::string list = keywordList ? keywordList : "";
    for (std::string word = cadhost::app::takeWord(list); !word.empty();
         word = cadhost::app::takeWord(list)) {
        pendingKeywords.keywords.push_back(word);
    }
    return RTNORM;
}

int acedGetKword(const char* prompt, char* result) {
    const PendingKeywords keywords = std::exchange(pendingKeywords, {});
    if (!result) {
        return RTERROR;
    }
    *result = '\0';
    while (true) {
        std::optional<std::string> answer =
            askAnswer(prompt, false, {cadhost::app::Completion::Kind::Keywords, keywords.keywords});
        if (!answer) {
            return RTCAN;
        }
        if (answer->empty() && (keywords.flags & RSG_NONULL) == 0) {
            return RTNONE;
        }
        if (std::optional<std::string> keyword =
                cadhost::app::matchKeyword(*answer, keywords.keywords)) {
            copyAnswer(*keyword, result, kClassicBuffer);
            return RTNORM;
        }
        if (acedRefuseAnswer("Invalid option keyword.") != RTNORM) {
            return RTCAN;
        }
    }
}

int acedGetInt(const char* prompt, int* result) {
    if (!result) {
        return RTERROR;
    }
    while (true) {
        std::optional<std::string> answer = askAnswer(prompt, false);
        if (!answer) {
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

int acedRefuseAnswer(const char* message) {
    if (message && *message) {
        commandLine().print(std::string("\n") + message + "\n");
    }
    if (atTerminal()) {
        return RTNORM;
    }
    cadhost::app::interpreter().markFailed();
    return RTCAN;
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
