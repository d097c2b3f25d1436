#pragma once
// The plug-in core's tests: the xref engine's fixture drawings in a fresh prefix, opened as
// the host's current document with their xrefs loaded, and a view that records what the
// operations tell the dialog.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cadhost/sdk/acdocman.h"
#include "cadhost/xref/drawing_xrefs.h"
#include "cadhost/xref_test_support.h"
#include "plugin/ops/dialog_view.h"

namespace plugintest {

class RecordingView : public lnkhold::DialogView {
  public:
    bool isChecked(lnkhold::DialogOption option) const override;
    void setChecked(lnkhold::DialogOption option, bool checked) override;
    int insertionLayer() const override { return insertionLayer_; }
    void setInsertionLayer(int index) override;
    std::vector<int> selectedPositions() const override { return selected; }
    void setItemSelected(int position, bool selected) override;
    void setControlEnabled(int controlId, bool enabled) override {
        enabledControls[controlId] = enabled;
    }
    std::vector<std::string> chooseFiles(const platform::FileDialogRequest& request) override {
        fileRequests.push_back(request);
        return chosenFiles;
    }
    void setStatusText(const std::string& text) override { statusText = text; }
    void setItemCount(int count) override { itemCount = count; }
    void redrawList() override { ++redraws; }
    void closeWithOk() override { ++closedWithOk; }
    void showWaitCursor(bool waiting) override { waitCursor = waiting; }
    void setWindowEnabled(bool enabled) override { windowEnabled = enabled; }

    std::map<lnkhold::DialogOption, bool> checks;
    std::vector<int> selected;
    std::map<int, bool> enabledControls;
    std::vector<platform::FileDialogRequest> fileRequests;
    std::vector<std::string> chosenFiles;  // what the next file dialog answers
    int selectionChanges = 0;              // setItemSelected calls that changed the selection
    std::string statusText = "(untouched)";
    int itemCount = -1;
    int redraws = 0;
    int closedWithOk = 0;
    bool waitCursor = false;
    bool windowEnabled = true;

  private:
    int insertionLayer_ = -1;
};

// A fresh prefix with the host registered, the fixture drawings of make_xref_fixtures.py
// and their "support" folder on the current profile's search path.
class HostFixture : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Opens a drawing of the fixture folder as the current document, its xrefs loaded.
    AcApDocument* open(const std::string& relative);
    AcDbDatabase* drawing() const;
    // Loads the current drawing's xrefs again (after files changed on disk).
    void reloadXrefs();
    // Sets the project name of the current drawing and the project's reference search path.
    void setProject(const std::string& name, const std::string& refSearchPath);

    std::string hostPath(const std::string& relative) const {
        return fixtures_->hostPath(relative);
    }
    const std::filesystem::path& folder() const { return fixtures_->folder; }

  private:
    std::unique_ptr<xreftest::XrefFixtures> fixtures_;
    std::unique_ptr<cadhost::xref::DrawingXrefs> xrefs_;
};

// Sets a native file's last-write time to a local calendar time given in seconds (as
// lnkhold::localSeconds counts them).
void setFileTime(const std::filesystem::path& file, std::int64_t localSeconds);

// Runs a script of tests/plugin with the system's Python; its standard output.
std::string runScript(const std::string& script, const std::vector<std::string>& arguments);

}  // namespace plugintest
