#include "cadhost/app/batch_worker.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <memory>
#include <optional>
#include <streambuf>

#include "cadhost/app/batch_report.h"
#include "cadhost/app/command_line.h"
#include "cadhost/app/document_commands.h"
#include "cadhost/app/host_input.h"
#include "cadhost/app/interpreter.h"
#include "cadhost/app/system_variables.h"
#include "cadhost/sdk/acdocman.h"
#include "platform/host_path.h"

namespace cadhost::app {

namespace {

std::string& reportVariable() {
    static std::string path;
    return path;
}

// What identifies one version of a file: a save writes a new file and renames it into place,
// so the inode changes; a write in place changes the size or the modification time.
struct FileStamp {
    dev_t device;
    ino_t inode;
    off_t size;
    timespec modified;

    bool operator==(const FileStamp& other) const {
        return device == other.device && inode == other.inode && size == other.size &&
               modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec;
    }
};

std::optional<FileStamp> stampOf(const std::string& hostPath) {
    const platform::PathResult<std::filesystem::path> native = platform::hostToNative(hostPath);
    struct stat info {};
    if (!native.ok() || ::stat(native.value.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return FileStamp{info.st_dev, info.st_ino, info.st_size, info.st_mtim};
}

// Passes the command line's output on and keeps a copy, so that the host's own message
// about a drawing it could not open becomes the reason in the batch's summary.
class CopyingBuffer : public std::streambuf {
  public:
    explicit CopyingBuffer(std::ostream& out) : out_(out) {}
    const std::string& text() const { return text_; }

  protected:
    int_type overflow(int_type c) override {
        if (c != traits_type::eof()) {
            text_ += traits_type::to_char_type(c);
            out_.put(traits_type::to_char_type(c));
        }
        return c;
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        text_.append(s, static_cast<std::size_t>(n));
        out_.write(s, n);
        return n;
    }
    int sync() override { return out_.flush() ? 0 : -1; }

  private:
    std::ostream& out_;
    std::string text_;
};

std::string lastLineOf(const std::string& text) {
    std::size_t end = text.find_last_not_of(" \n");
    if (end == std::string::npos) {
        return "";
    }
    const std::size_t start = text.rfind('\n', end);
    return text.substr(start == std::string::npos ? 0 : start + 1,
                       end + 1 - (start == std::string::npos ? 0 : start + 1));
}

AcApDocument* openReportingWhy(const std::string& hostPath, std::string& why) {
    std::ostream& out = commandLine().output();
    CopyingBuffer copy(out);
    std::ostream copying(&copy);
    commandLine().setOutput(copying);
    AcApDocument* document = acDocManagerPtr()->openDocument(hostPath, false);
    commandLine().setOutput(out);
    why = lastLineOf(copy.text());
    return document;
}

DrawingOutcome failed(std::string reason) {
    return {DrawingResult::Failed, std::move(reason)};
}

DrawingOutcome openAndRun(const std::string& drawing, const std::string& script) {
    const std::optional<std::string> path = typedHostPath(drawing, ".dxf");
    if (!path) {
        return failed("Invalid file name: " + drawing);
    }
    const std::optional<FileStamp> before = stampOf(*path);
    std::string why;
    AcApDocument* document = openReportingWhy(*path, why);
    if (!document) {
        return failed(why.empty() ? "Cannot open " + *path : why);
    }
    acDocManagerPtr()->makeCurrent(document);
    std::unique_ptr<InputSource> source = scriptFileSource(script);
    if (!source) {
        commandLine().print("\nCannot open script " + script + "\n");
        return failed("Cannot open script " + script);
    }
    commandLine().pushSource(std::move(source));
    const int exitCode = interpreter().run(true);
    const bool written = stampOf(*path) != before;
    if (exitCode != 0) {
        return failed(interpreter().lastScriptFailure() +
                      (written ? " (the drawing had been saved before)" : ""));
    }
    return {written ? DrawingResult::Changed : DrawingResult::Unchanged, ""};
}

// One write per message keeps the runner's view of this worker whole, and the runner sees
// each message as soon as it is sent.
void tellRunner(std::string message) {
    std::replace(message.begin(), message.end(), '\n', ' ');
    std::replace(message.begin(), message.end(), '\r', ' ');
    writeAll(kBatchControlFd, message + "\n");
}

}  // namespace

const char* resultWord(DrawingResult result) {
    switch (result) {
        case DrawingResult::Changed:
            return "changed";
        case DrawingResult::Unchanged:
            return "unchanged";
        case DrawingResult::Failed:
            return "failed";
    }
    return "failed";
}

const std::string& batchReport() {
    return reportVariable();
}

void setBatchReport(std::string hostPath) {
    reportVariable() = std::move(hostPath);
}

DrawingOutcome runScriptOnDrawing(const std::string& drawing, const std::string& script) {
    const auto settings = systemVariables().storedValues();
    closeAllDocuments();
    const DrawingOutcome outcome = openAndRun(drawing, script);
    closeAllDocuments();
    commandLine().reset();
    interpreter().clearQuit();
    systemVariables().restoreStored(settings);
    return outcome;
}

int runBatchWorker(const std::string& script, const std::vector<std::string>& drawings,
                   const std::string& reportPart) {
    setBatchReport(reportPart.empty() ? std::string() : platform::nativeToHost(reportPart));
    for (std::size_t i = 0; i < drawings.size(); ++i) {
        tellRunner("start " + std::to_string(i));
        const DrawingOutcome outcome = runScriptOnDrawing(drawings[i], script);
        std::cout.flush();
        tellRunner("done " + std::to_string(i) + " " + resultWord(outcome.result) + " " +
                   outcome.reason);
    }
    return 0;
}

}  // namespace cadhost::app
