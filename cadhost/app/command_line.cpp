#include "cadhost/app/command_line.h"

#include <fstream>
#include <iostream>

#include "cadhost/app/program_signals.h"
#include "cadhost/xref/host_search.h"

namespace cadhost::app {

namespace {

class StreamSource : public InputSource {
  public:
    StreamSource(std::istream& stream, std::string name, bool script, bool terminal)
        : InputSource(std::move(name), script, terminal), stream_(stream) {}

    std::optional<std::string> readLine(std::string_view, const Completion&) override {
        std::string line;
        if (!std::getline(stream_, line)) {
            return std::nullopt;
        }
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        counted(line);
        return line;
    }

  private:
    std::istream& stream_;
};

class FileSource : public StreamSource {
  public:
    FileSource(std::unique_ptr<std::ifstream> file, std::string name)
        : StreamSource(*file, std::move(name), true, false), file_(std::move(file)) {}

  private:
    std::unique_ptr<std::ifstream> file_;
};

void trimLeft(std::string& text) {
    text.erase(0, text.find_first_not_of(" \t"));
}

void trimRight(std::string& text) {
    text.erase(text.find_last_not_of(" \t") + 1);
}

}  // namespace

std::unique_ptr<InputSource> streamSource(std::istream& stream, std::string name, bool script,
                                          bool terminal) {
    return std::make_unique<StreamSource>(stream, std::move(name), script, terminal);
}

std::unique_ptr<InputSource> fileSource(const std::string& nativePath, std::string name) {
    auto file = std::make_unique<std::ifstream>(nativePath, std::ios::binary);
    if (!*file) {
        return nullptr;
    }
    return std::make_unique<FileSource>(std::move(file), std::move(name));
}

std::string takeWord(std::string& line) {
    trimLeft(line);
    std::string word;
    std::size_t i = 0;
    bool quoted = false;
    for (; i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t')); ++i) {
        if (line[i] == '"') {
            quoted = !quoted;
        } else {
            word += line[i];
        }
    }
    line.erase(0, i);
    trimLeft(line);
    return word;
}

void CommandLine::pushSource(std::unique_ptr<InputSource> source) {
    sources_.push_back(std::move(source));
    pending_.clear();
}

void CommandLine::popSource() {
    if (!sources_.empty()) {
        sources_.pop_back();
    }
    pending_.clear();
}

void CommandLine::reset() {
    sources_.clear();
    pending_.clear();
    queued_.clear();
}

bool CommandLine::inScript() const {
    return source() && source()->isScript();
}

void CommandLine::print(std::string_view text) {
    for (char c : text) {
        if (c == '\n' && atLineStart_) {
            // A message starting with "\n" begins a line; it does not leave a blank one.
            continue;
        }
        *out_ << c;
        atLineStart_ = c == '\n';
    }
    out_->flush();
}

void CommandLine::endLine() {
    if (!atLineStart_) {
        *out_ << '\n';
        atLineStart_ = true;
    }
    out_->flush();
}

std::optional<std::string> CommandLine::nextLine(std::string_view prompt,
                                                 const Completion& completion) {
    if (!pending_.empty()) {
        return pending_.front();
    }
    InputSource* input = source();
    if (!input) {
        return std::nullopt;
    }
    std::optional<std::string> line;
    {
        const WaitingForInput waiting;
        line = input->readLine(prompt, completion);
    }
    if (line) {
        trimRight(*line);
        pending_.push_back(*line);
    }
    return line;
}

std::optional<std::string> CommandLine::ask(std::string_view prompt, bool restOfLine,
                                            const Completion& completion) {
    endLine();
    if (cancelled_) {
        return std::nullopt;
    }
    const bool fromPending = !pending_.empty();
    const bool edited = !fromPending && source() && source()->showsPrompt();
    // A line editor shows the prompt's last line itself; the lines before it go out here.
    const std::size_t shownFrom = edited ? prompt.rfind('\n') + 1 : prompt.size();
    *out_ << prompt.substr(0, shownFrom);
    atLineStart_ = edited || prompt.empty();
    out_->flush();
    std::optional<std::string> line = nextLine(prompt.substr(shownFrom), completion);
    // Whatever the user did before answering (files made, moved, removed) is looked for anew.
    xref::FindFilePass::userActed();
    if (!line) {
        if (source() && source()->wasCancelled()) {
            cancel();
        }
        endLine();
        return std::nullopt;
    }
    std::string& rest = pending_.front();
    std::string answer;
    if (restOfLine) {
        trimLeft(rest);
        answer = rest.size() >= 2 && rest.front() == '"' && rest.back() == '"'
                     ? rest.substr(1, rest.size() - 2)
                     : rest;
        rest.clear();
    } else {
        answer = takeWord(rest);
    }
    if (rest.empty()) {
        pending_.pop_front();
    }
    // A terminal echoes what the user typed; other input is shown so the transcript reads
    // as a session.
    if (fromPending || !source()->isTerminal()) {
        *out_ << answer;
        atLineStart_ = false;
    } else {
        atLineStart_ = true;
    }
    endLine();
    return answer;
}

void CommandLine::cancel() {
    if (!cancelled_) {
        cancelled_ = true;
        pending_.clear();
        print("*Cancel*\n");
    }
}

void CommandLine::queue(std::string_view text) {
    std::string line;
    for (char c : text) {
        if (c == '\n' || c == '\r') {
            queued_.push_back(std::move(line));
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) {
        queued_.push_back(std::move(line));
    }
}

void CommandLine::takeQueued() {
    pending_.insert(pending_.begin(), queued_.begin(), queued_.end());
    queued_.clear();
}

CommandLine& commandLine() {
    static CommandLine line(std::cout);
    return line;
}

}  // namespace cadhost::app
