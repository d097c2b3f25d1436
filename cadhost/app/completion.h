#pragma once
// What Tab offers for the answer being typed at a prompt: command names, system variable
// names, option keywords, the current drawing's xref and layer names, and file names.

#include <string>
#include <string_view>
#include <vector>

#include "cadhost/app/command_line.h"

namespace cadhost::app {

// The answers that complete `word`, the beginning of an answer typed at a prompt asking for
// `completion`: whole answers to put in place of the word, sorted, each once. Names match
// with letter case ignored (native file names exactly). A folder ends with a separator.
std::vector<std::string> completeAnswer(std::string_view prompt, const Completion& completion,
                                        const std::string& word);

// The keywords of a prompt's "[A/B/C]" list; none when it has no list.
std::vector<std::string> promptKeywords(std::string_view prompt);

// The longest beginning all the answers share, letter case ignored, spelled as in the first.
std::string commonBeginning(const std::vector<std::string>& answers);

}  // namespace cadhost::app
