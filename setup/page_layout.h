#pragma once
// What every wizard page shares: its size of 332 x 191 dialog units in the dialog font, and
// a side picture.

#include <QWizardPage>

#include "platform/ui/dialog_units.h"

namespace setup {

class WizardPageBase : public QWizardPage {
  public:
    explicit WizardPageBase(const char* caption);

  protected:
    void addSidePicture(int x, int y, int width, int height);
    const platform::DialogUnits& units() const { return units_; }

  private:
    platform::DialogUnits units_;
};

}  // namespace setup
