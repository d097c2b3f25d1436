#pragma once
// The program: the agreement dialog is its main window; when it closes, the program ends.

namespace setup {

class CSetupApp {
  public:
    // The dialog's result.
    int run();
};

}  // namespace setup
