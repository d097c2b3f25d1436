#pragma once
// A dialog view that shows nothing and asks nothing: the operations run as fast as they can.

#include "plugin/ops/dialog_view.h"

namespace bench {

class SilentView : public lnkhold::DialogView {
  public:
    bool isChecked(lnkhold::DialogOption) const override { return true; }
    void setChecked(lnkhold::DialogOption, bool) override {}
    int insertionLayer() const override { return 0; }
    void setInsertionLayer(int) override {}
    std::vector<int> selectedPositions() const override { return {}; }
    void setItemSelected(int, bool) override {}
    void setControlEnabled(int, bool) override {}
    std::vector<std::string> chooseFiles(const platform::FileDialogRequest&) override { return {}; }
    void setStatusText(const std::string&) override {}
    void setItemCount(int) override {}
    void redrawList() override {}
    void closeWithOk() override {}
    void showWaitCursor(bool) override {}
    void setWindowEnabled(bool) override {}
};

}  // namespace bench
