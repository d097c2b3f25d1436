#include "plugin/host/command_line_view.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <set>

#include "aced.h"
#include "adsdef.h"
#include "platform/host_path.h"

namespace lnkhold {

namespace {

enum class Kind { Missing, File, Folder };

// What a host path names on disk.
Kind kindOf(const std::string& hostPath) {
    const platform::PathResult<std::filesystem::path> native = platform::hostToNative(hostPath);
    std::error_code ec;
    if (!native.ok() || !std::filesystem::exists(native.value, ec)) {
        return Kind::Missing;
    }
    return std::filesystem::is_directory(native.value, ec) ? Kind::Folder : Kind::File;
}

// The full host path of a typed name (host or native); nothing for a name no path can hold.
std::optional<std::string> hostPathOf(const std::string& typed) {
    platform::PathResult<std::string> full = platform::typedFullHostPath(typed);
    if (!full.ok()) {
        return std::nullopt;
    }
    return full.value;
}

// A name typed without extension gets the default one; a drawing so named is the .dwg, or
// else the .dxf beside it (our drawings are DXF files).
std::string withDefaultExtension(const std::string& hostPath, const std::string& extension) {
    const std::size_t nameStart = hostPath.find_last_of('\\') + 1;
    if (extension.empty() || hostPath.find('.', nameStart) != std::string::npos) {
        return hostPath;
    }
    const std::string withDefault = hostPath + "." + extension;
    const std::string withDxf = hostPath + ".dxf";
    const bool dxfInstead =
        extension == "dwg" && kindOf(withDefault) != Kind::File && kindOf(withDxf) == Kind::File;
    return dxfInstead ? withDxf : withDefault;
}

// Whether the request's initial name is a pattern rather than a file (as the RePath chooser
// opens with "*.dwg;*.dxf").
bool isPattern(const std::string& name) {
    return name.find_first_of("*?") != std::string::npos;
}

}  // namespace

bool CommandLineView::isChecked(DialogOption option) const {
    const auto found = checks_.find(option);
    return found != checks_.end() && found->second;
}

void CommandLineView::setChecked(DialogOption option, bool checked) {
    checks_[option] = checked;
}

void CommandLineView::setInsertionLayer(int index) {
    insertionLayer_ = index >= 0 && index <= 2 ? index : -1;
}

std::vector<int> CommandLineView::selectedPositions() const {
    std::vector<int> positions;
    for (int position = 0; operations_ && position < itemCount_; ++position) {
        const XrefRow* row = operations_->rowAt(position);
        if (row && selectedNames_.contains(row->name)) {
            positions.push_back(position);
        }
    }
    return positions;
}

void CommandLineView::setItemSelected(int position, bool selected) {
    const XrefRow* row =
        operations_ && position < itemCount_ ? operations_->rowAt(position) : nullptr;
    if (!row || selectedNames_.contains(row->name) == selected) {
        return;
    }
    if (selected) {
        selectedNames_.insert(row->name);
    } else {
        selectedNames_.erase(row->name);
    }
    operations_->selectionChanged();
}

void CommandLineView::select(const std::vector<int>& positions) {
    selectedNames_.clear();
    for (const int position : positions) {
        if (const XrefRow* row =
                operations_ && position < itemCount_ ? operations_->rowAt(position) : nullptr) {
            selectedNames_.insert(row->name);
        }
    }
    if (operations_) {
        operations_->selectionChanged();
    }
}

void CommandLineView::setItemCount(int count) {
    itemCount_ = std::max(count, 0);
    std::set<std::string> kept;
    for (int position = 0; operations_ && position < itemCount_; ++position) {
        const XrefRow* row = operations_->rowAt(position);
        if (row && selectedNames_.contains(row->name)) {
            kept.insert(row->name);
        }
    }
    selectedNames_ = std::move(kept);
}

void CommandLineView::closeWithOk() {
    if (operations_) {
        operations_->accept(columnWidths_);
    }
    closedWithOk_ = true;
}

bool CommandLineView::isControlEnabled(int controlId) const {
    const auto found = enabled_.find(controlId);
    return found == enabled_.end() || found->second;
}

std::vector<std::string> CommandLineView::chooseFiles(const platform::FileDialogRequest& request) {
    if ((request.flags & platform::OFN_ALLOWMULTISELECT) != 0) {
        return chooseSeveral(request);
    }
    std::string chosen = chooseOne(request);
    if (chosen.empty()) {
        return {};
    }
    return {chosen};
}

std::vector<std::string> CommandLineView::chooseSeveral(
    const platform::FileDialogRequest& request) {
    std::vector<std::string> chosen;
    while (true) {
        std::string path = chooseOne(request);
        if (path.empty()) {
            return chosen;
        }
        chosen.push_back(std::move(path));
    }
}

std::string CommandLineView::chooseOne(const platform::FileDialogRequest& request) {
    const bool several = (request.flags & platform::OFN_ALLOWMULTISELECT) != 0;
    const std::string fallback =
        several || isPattern(request.initialName) ? "" : request.initialName;
    std::string prompt = "\n" + filePrompt_;
    prompt += several ? " (Enter to end)" : "";
    prompt += fallback.empty() ? ": " : " <" + fallback + ">: ";
    while (true) {
        char answer[kAnswerSize] = {};
        if (acedGetString(1, prompt.c_str(), answer, sizeof answer) != RTNORM) {
            failed_ = true;
            return {};
        }
        const std::string typed = *answer ? answer : fallback;
        if (typed.empty()) {
            return {};
        }
        std::string refusal;
        std::optional<std::string> path = hostPathOf(typed);
        if (!path) {
            refusal = "Invalid file name: " + typed;
        } else if (kindOf(*path) == Kind::Folder && isPattern(request.initialName)) {
            // A folder where a file of it is asked for: the folder, ending in a backslash.
            return path->ends_with('\\') ? *path : *path + '\\';
        } else {
            path = withDefaultExtension(*path, request.defaultExtension);
            if ((request.flags & platform::OFN_FILEMUSTEXIST) == 0 || kindOf(*path) == Kind::File) {
                return *path;
            }
            refusal = "File not found: " + *path;
        }
        if (acedRefuseAnswer(refusal.c_str()) != RTNORM) {
            failed_ = true;
            return {};
        }
    }
}

}  // namespace lnkhold
