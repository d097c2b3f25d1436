#pragma once
// Numbers and points typed at the command line: "2.5", "10,20" or "10,20,5".

#include <optional>
#include <string>

#include "cadhost/sdk/gegeom.h"

namespace cadhost::app {

std::optional<double> parseReal(const std::string& text);
// "x,y" or "x,y,z" (z 0 when left out).
std::optional<AcGePoint3d> parsePoint(const std::string& text);

// Each asks until the answer is of its kind; Enter gives `preset`. A refused answer asks again
// at a terminal and ends the command in a script (nullopt), as does the end of the input.
std::optional<AcGePoint3d> askPoint(const std::string& prompt, const AcGePoint3d& preset);
std::optional<double> askScaleFactor(const std::string& prompt, double preset);
// The answer in degrees, given back in radians.
std::optional<double> askAngle(const std::string& prompt, double presetDegrees);

}  // namespace cadhost::app
