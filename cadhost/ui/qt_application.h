#pragma once
// The host's Qt application, made when the first dialog is shown.

namespace cadhost::ui {

// True when a display (or a Qt platform such as offscreen) is available.
bool hasDisplay();
// Makes the application if there is none; false when there is no display to show it on.
bool ensureQtApplication();

}  // namespace cadhost::ui
