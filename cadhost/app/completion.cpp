#include "cadhost/app/completion.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "cadhost/app/demand_loader.h"
#include "cadhost/app/interpreter.h"
#include "cadhost/app/system_variables.h"
#include "cadhost/sdk/accmd.h"
#include "cadhost/sdk/acdocman.h"
#include "cadhost/sdk/dbsymtb.h"
#include "cadhost/sdk/dbxrefgraph.h"
#include "platform/case_fold.h"
#include "platform/host_path.h"

namespace cadhost::app {

namespace {

bool beginsWith(std::string_view text, std::string_view start, bool ignoreCase) {
    if (text.size() < start.size()) {
        return false;
    }
    const std::string_view head = text.substr(0, start.size());
    return ignoreCase ? platform::equalsIgnoreCase(head, start) : head == start;
}

std::vector<std::string> commandNames() {
    std::vector<std::string> names = interpreter().builtinNames();
    if (AcEdCommandStack* commands = acedRegCmds) {
        commands->forEachCommand([&](const AcEdCommand& command) {
            names.emplace_back(command.globalName());
            names.emplace_back(command.localName());
        });
    }
    // Commands of modules that load when one of them is typed.
    for (const RegisteredApplication& application : registeredApplications()) {
        for (const auto& [global, local] : application.commands) {
            names.push_back(upperCase(global));
            names.push_back(upperCase(local));
        }
    }
    return names;
}

AcDbDatabase* currentDrawing() {
    const AcApDocument* document = acDocManagerPtr()->curDocument();
    return document ? document->database() : nullptr;
}

std::vector<std::string> xrefNames() {
    std::vector<std::string> names;
    AcDbXrefGraph graph;
    AcDbDatabase* drawing = currentDrawing();
    if (drawing && acdbGetHostDwgXrefGraph(drawing, graph) == Acad::eOk) {
        for (int i = 1; i < graph.numNodes(); ++i) {
            names.emplace_back(graph.xrefNode(i)->name());
        }
    }
    return names;
}

std::vector<std::string> layerNames() {
    std::vector<std::string> names;
    AcDbDatabase* drawing = currentDrawing();
    AcDbLayerTable* table = nullptr;
    if (!drawing || drawing->getLayerTable(table) != Acad::eOk) {
        return names;
    }
    AcDbSymbolTableIterator* raw = nullptr;
    table->newIterator(raw);
    table->close();
    std::unique_ptr<AcDbSymbolTableIterator> it(raw);
    for (; it && !it->done(); it->step()) {
        AcDbSymbolTableRecord* record = nullptr;
        if (it->getRecord(record, AcDb::kForRead) == Acad::eOk) {
            const char* name = "";
            record->getName(name);
            names.emplace_back(name);
            record->close();
        }
    }
    return names;
}

// The entries of a native folder whose names begin with `start`, each after `typedFolder`
// (the folder as the user typed it); folders end with `separator`.
std::vector<std::string> folderEntries(const std::filesystem::path& folder,
                                       const std::string& typedFolder, const std::string& start,
                                       bool ignoreCase, char separator) {
    std::vector<std::string> entries;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!beginsWith(name, start, ignoreCase) || (start.empty() && name.starts_with("."))) {
            continue;
        }
        std::error_code typeError;
        entries.push_back(typedFolder + name +
                          (it->is_directory(typeError) ? std::string(1, separator) : ""));
    }
    return entries;
}

// File names: native ones (from "/" or "~/") exactly, host paths with letter case ignored.
std::vector<std::string> fileNames(const std::string& word) {
    if (word.starts_with("/") || word.starts_with("~/")) {
        const std::size_t slash = word.rfind('/');
        const std::string typedFolder = word.substr(0, slash + 1);
        std::string folder = typedFolder;
        if (folder.starts_with("~/")) {
            const char* home = std::getenv("HOME");
            folder = std::string(home ? home : "") + folder.substr(1);
        }
        return folderEntries(folder, typedFolder, word.substr(slash + 1), false, '/');
    }
    const std::size_t separator = word.find_last_of("\\/");
    const std::string typedFolder =
        separator == std::string::npos ? "" : word.substr(0, separator + 1);
    const platform::PathResult<std::string> full =
        platform::fullHostPath(typedFolder.empty() ? "." : typedFolder);
    const platform::PathResult<std::filesystem::path> folder =
        platform::hostToNative(full.ok() ? full.value : "");
    if (!folder.ok()) {
        return {};
    }
    return folderEntries(folder.value, typedFolder, word.substr(typedFolder.size()), true,
                         separator == std::string::npos ? '\\' : word[separator]);
}

std::vector<std::string> namesOfKind(std::string_view prompt, const Completion& completion) {
    switch (completion.kind) {
        case Completion::Kind::Commands:
            return commandNames();
        case Completion::Kind::Variables:
            return systemVariables().names();
        case Completion::Kind::Xrefs:
            return xrefNames();
        case Completion::Kind::Layers:
            return layerNames();
        case Completion::Kind::Keywords:
        case Completion::Kind::Files:
            break;
    }
    return completion.keywords.empty() ? promptKeywords(prompt) : completion.keywords;
}

}  // namespace

std::vector<std::string> promptKeywords(std::string_view prompt) {
    std::vector<std::string> keywords;
    const std::size_t open = prompt.find('[');
    const std::size_t close = prompt.find(']', open);
    if (open == std::string_view::npos || close == std::string_view::npos) {
        return keywords;
    }
    std::string_view list = prompt.substr(open + 1, close - open - 1);
    while (!list.empty()) {
        const std::size_t slash = std::min(list.find('/'), list.size());
        if (slash > 0) {
            keywords.emplace_back(list.substr(0, slash));
        }
        list.remove_prefix(std::min(slash + 1, list.size()));
    }
    return keywords;
}

std::vector<std::string> completeAnswer(std::string_view prompt, const Completion& completion,
                                        const std::string& word) {
    std::vector<std::string> answers;
    if (completion.kind == Completion::Kind::Files) {
        answers = fileNames(word);
    } else {
        for (std::string& name : namesOfKind(prompt, completion)) {
            if (!name.empty() && beginsWith(name, word, true)) {
                answers.push_back(std::move(name));
            }
        }
    }
    std::sort(answers.begin(), answers.end());
    answers.erase(std::unique(answers.begin(), answers.end()), answers.end());
    return answers;
}

std::string commonBeginning(const std::vector<std::string>& answers) {
    if (answers.empty()) {
        return "";
    }
    std::size_t length = answers.front().size();
    for (const std::string& answer : answers) {
        while (length > 0 && !beginsWith(answer, answers.front().substr(0, length), true)) {
            --length;
        }
    }
    return answers.front().substr(0, length);
}

}  // namespace cadhost::app
