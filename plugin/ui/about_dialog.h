#pragma once
// The About box: the product picture, its name and version read from the module's version
// resource, and the maker's notice.

#include "adui.h"

namespace lnkhold {

class AboutDialog : public CAdUiDialog {
  public:
    explicit AboutDialog(QWidget* parent = nullptr);
    BOOL OnInitDialog() override;
};

}  // namespace lnkhold
