#pragma once
// The host's command line: every prompt of the host and of its modules reads from one input
// source (a terminal, a pipe, a script file, or text a test supplies), and all output goes
// to one stream. A line of input holds answers separated by spaces (quotes keep spaces in an
// answer); a blank line is one empty answer (Enter). Text queued by sendStringToExecute is
// read at the next "Command: " prompt, before any further input.

#include <deque>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cadhost::app {

// What a prompt asks for, so that a line editor can complete the answer being typed.
struct Completion {
    enum class Kind { Keywords, Commands, Variables, Xrefs, Layers, Files };
    Kind kind = Kind::Keywords;
    // With Kind::Keywords: the keywords; none means those of the prompt's "[A/B/C]" list.
    std::vector<std::string> keywords;
};

class InputSource {
  public:
    InputSource(std::string name, bool script, bool terminal)
        : name_(std::move(name)), script_(script), terminal_(terminal) {}
    virtual ~InputSource() = default;

    // The next line without its line end; nullopt at the end of the input, or when the user
    // cancelled the prompt (wasCancelled). A source that edits lines (a terminal) shows the
    // prompt itself (showsPrompt) and completes what the prompt asks for; others ignore both.
    virtual std::optional<std::string> readLine(std::string_view prompt,
                                                const Completion& completion) = 0;
    virtual bool showsPrompt() const { return false; }
    virtual bool wasCancelled() const { return false; }

    const std::string& name() const { return name_; }
    // Scripts answer every prompt on the command line (no dialogs) and stop at a failure.
    bool isScript() const { return script_; }
    bool isTerminal() const { return terminal_; }
    int lineNumber() const { return lineNumber_; }
    const std::string& lastLine() const { return lastLine_; }

  protected:
    void counted(const std::string& line) {
        ++lineNumber_;
        lastLine_ = line;
    }

  private:
    std::string name_;
    bool script_;
    bool terminal_;
    int lineNumber_ = 0;
    std::string lastLine_;
};

// Lines of a stream the caller keeps alive (standard input, or a test's text).
std::unique_ptr<InputSource> streamSource(std::istream& stream, std::string name, bool script,
                                          bool terminal);
// Lines of a file, read through; nullptr when it cannot be opened.
std::unique_ptr<InputSource> fileSource(const std::string& nativePath, std::string name);

class CommandLine {
  public:
    explicit CommandLine(std::ostream& out) : out_(&out) {}

    void setOutput(std::ostream& out) { out_ = &out; }
    std::ostream& output() const { return *out_; }
    void pushSource(std::unique_ptr<InputSource> source);
    // Drops the innermost source and whatever was left of its current line.
    void popSource();
    InputSource* source() const { return sources_.empty() ? nullptr : sources_.back().get(); }
    std::size_t sourceDepth() const { return sources_.size(); }
    bool inScript() const;

    void print(std::string_view text);
    // Shows the prompt and takes the next answer: a word, or with restOfLine the rest of the
    // line. Nullopt when the innermost source has ended, or the command was cancelled.
    std::optional<std::string> ask(std::string_view prompt, bool restOfLine = false,
                                   const Completion& completion = {});
    // Ends the running command as the user's cancel does: "*Cancel*" is shown, and every
    // further prompt of the command answers nothing, until the next "Command: " prompt.
    void cancel();
    bool cancelled() const { return cancelled_; }
    // At the "Command: " prompt: the next command is not cancelled.
    void clearCancel() { cancelled_ = false; }
    // Ends the output's current line, if text is on it.
    void endLine();

    void queue(std::string_view text);
    // Moves queued text ahead of the remaining input (at the "Command: " prompt).
    void takeQueued();
    // Forgets what is left of the current line (after a failed command).
    void dropRestOfLine() { pending_.clear(); }
    // Drops every source and the queued text, so that nothing one script left behind is read
    // by the next (a batch runs one script per drawing).
    void reset();

  private:
    std::optional<std::string> nextLine(std::string_view prompt, const Completion& completion);

    std::ostream* out_;
    std::vector<std::unique_ptr<InputSource>> sources_;
    std::deque<std::string> pending_;  // lines ahead of the source; the front is being read
    std::deque<std::string> queued_;
    bool atLineStart_ = true;
    bool cancelled_ = false;
};

CommandLine& commandLine();

// Splits off the first answer of a line: a word, or a quoted text without its quotes.
std::string takeWord(std::string& line);

}  // namespace cadhost::app
