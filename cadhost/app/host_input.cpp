#include "cadhost/app/host_input.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "cadhost/app/command_line.h"
#include "platform/case_fold.h"
#include "platform/host_path.h"

namespace cadhost::app {

std::optional<ExistingFile> findExistingFile(const std::string& hostPath) {
    const platform::PathResult<std::string> full = platform::fullHostPath(hostPath);
    if (!full.ok()) {
        return std::nullopt;
    }
    const platform::PathResult<std::filesystem::path> native = platform::hostToNative(full.value);
    std::error_code ec;
    if (!native.ok() || !std::filesystem::is_regular_file(native.value, ec)) {
        return std::nullopt;
    }
    return ExistingFile{full.value, native.value};
}

std::optional<std::string> typedHostPathQuietly(const std::string& typed,
                                                const std::string& defaultExtension) {
    platform::PathResult<std::string> full = platform::typedFullHostPath(typed);
    if (!full.ok()) {
        return std::nullopt;
    }
    const auto nameStart = full.value.find_last_of('\\') + 1;
    if (!defaultExtension.empty() && full.value.find('.', nameStart) == std::string::npos) {
        full.value += defaultExtension;
    }
    return full.value;
}

std::optional<std::string> typedHostPath(const std::string& typed,
                                         const std::string& defaultExtension) {
    std::optional<std::string> path = typedHostPathQuietly(typed, defaultExtension);
    if (!path) {
        commandLine().print("\nInvalid file name: " + typed + "\n");
    }
    return path;
}

std::unique_ptr<InputSource> scriptFileSource(const std::string& typed) {
    std::optional<std::string> path = typedHostPath(typed, ".scr");
    platform::PathResult<std::filesystem::path> native =
        platform::hostToNative(path ? *path : std::string());
    return native.ok() ? fileSource(native.value, typed) : nullptr;
}

std::optional<std::string> askFileName(const std::string& prompt,
                                       const std::string& defaultExtension,
                                       const std::string& fallback) {
    std::optional<std::string> answer =
        commandLine().ask(prompt, true, {Completion::Kind::Files, {}});
    if (!answer) {
        return std::nullopt;
    }
    if (answer->empty()) {
        if (fallback.empty()) {
            return std::nullopt;
        }
        return fallback;
    }
    return typedHostPath(*answer, defaultExtension);
}

namespace {

bool matches(const std::string& answer, const std::string& keyword) {
    std::size_t capitals = 0;
    while (capitals < keyword.size() &&
           !std::islower(static_cast<unsigned char>(keyword[capitals]))) {
        ++capitals;
    }
    return answer.size() >= std::max<std::size_t>(capitals, 1) && answer.size() <= keyword.size() &&
           platform::equalsIgnoreCase(answer, std::string_view(keyword).substr(0, answer.size()));
}

}  // namespace

std::optional<std::string> matchKeyword(const std::string& answer,
                                        const std::vector<std::string>& keywords) {
    for (const std::string& keyword : keywords) {
        if (matches(answer, keyword)) {
            return keyword;
        }
    }
    return std::nullopt;
}

std::optional<std::string> askKeyword(const std::string& prompt,
                                      const std::vector<std::string>& keywords,
                                      const std::string& preset) {
    std::optional<std::string> answer =
        commandLine().ask(prompt, false, {Completion::Kind::Keywords, keywords});
    if (!answer) {
        return std::nullopt;
    }
    if (answer->empty() && !preset.empty()) {
        return preset;
    }
    if (std::optional<std::string> keyword = matchKeyword(*answer, keywords)) {
        return keyword;
    }
    commandLine().print("\nInvalid option keyword: " + *answer + "\n");
    return std::nullopt;
}

}  // namespace cadhost::app
