#pragma once
// The file dialog of OPEN and SAVEAS.

#include <optional>
#include <string>

namespace cadhost::ui {

// The chosen file's native path, or nullopt when cancelled. Throws std::runtime_error when
// there is no display.
std::optional<std::string> chooseDrawingFile(bool save, const std::string& title,
                                             const std::string& initialHostPath);

}  // namespace cadhost::ui
