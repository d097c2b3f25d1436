#pragma once
// The dialog's operations on host.dxf of the xref fixtures, opened with its xrefs loaded, and
// a recording view whose selection the test sets by row name.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <stdexcept>
#include <string>

#include "cadhost/sdk/dbsymtb.h"
#include "plugin/model/settings.h"
#include "plugin/ops/dialog_operations.h"
#include "plugin_test_support.h"

namespace plugintest {

class XrefCommands : public HostFixture {
  protected:
    void SetUp() override {
        HostFixture::SetUp();
        lnkhold::writeSetting("AutoAttach", 0);  // Add leaves its rows pending
        open("host.dxf");
        dialog.start();
    }
    int positionOf(const std::string& name) const {
        for (int i = 0; i < dialog.rows().count(); ++i) {
            if (dialog.rowAt(i)->name == name) {
                return i;
            }
        }
        return -1;
    }
    void select(std::initializer_list<const char*> names) {
        view.selected.clear();
        for (const char* name : names) {
            ASSERT_NE(positionOf(name), -1) << name;
            view.selected.push_back(positionOf(name));
        }
        std::sort(view.selected.begin(), view.selected.end());
    }
    const lnkhold::XrefRow& row(const std::string& name) const {
        const lnkhold::XrefRow* found = dialog.rows().findByName(name);
        if (!found) {
            throw std::runtime_error("no row " + name);
        }
        return *found;
    }
    std::vector<std::string> names() const {
        std::vector<std::string> list;
        for (int i = 0; i < dialog.rows().count(); ++i) {
            list.push_back(dialog.rowAt(i)->name);
        }
        return list;
    }
    bool hasBlock(const char* name) const {
        AcDbBlockTable* blocks = nullptr;
        drawing()->getBlockTable(blocks, AcDb::kForRead);
        const bool has = blocks->has(name);
        blocks->close();
        return has;
    }
    // Renames the xref block a row stands for (the row keeps its file's name) and rebuilds
    // the list.
    void renameXrefOf(const std::string& rowName, const char* blockName) {
        AcDbBlockTableRecord* record = nullptr;
        ASSERT_EQ(acdbOpenObject(record, row(rowName).blockId, AcDb::kForWrite), Acad::eOk);
        ASSERT_EQ(record->setName(blockName), Acad::eOk);
        record->close();
        dialog.fullRefresh();
    }
    // A drawing file of the fixtures copied under another relative name (folders made).
    std::string copyDrawing(const std::string& from, const std::string& to) const {
        std::filesystem::create_directories((folder() / to).parent_path());
        std::filesystem::copy_file(folder() / from, folder() / to,
                                   std::filesystem::copy_options::overwrite_existing);
        std::string relative = to;
        std::replace(relative.begin(), relative.end(), '/', '\\');
        return hostPath(relative);
    }
    // Pending rows for copies of trees.dxf under these relative names.
    void addPending(std::initializer_list<const char*> relativeNames) {
        std::vector<std::string> paths;
        for (const char* name : relativeNames) {
            paths.push_back(copyDrawing("trees.dxf", name));
        }
        ASSERT_EQ(dialog.addFiles(paths), static_cast<int>(paths.size()));
    }

    RecordingView view;
    lnkhold::DialogOperations dialog{view};
};

}  // namespace plugintest
