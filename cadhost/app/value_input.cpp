#include "cadhost/app/value_input.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>

#include "cadhost/app/command_line.h"
#include "cadhost/sdk/aced.h"

namespace cadhost::app {

// Read without the locale (a comma is the coordinates' separator, never a decimal one).
std::optional<double> parseReal(const std::string& text) {
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+' && first + 1 != last && first[1] != '-') {
        ++first;
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (first == last || error != std::errc() || end != last || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<AcGePoint3d> parsePoint(const std::string& text) {
    double coordinates[3] = {0.0, 0.0, 0.0};
    std::size_t count = 0;
    for (std::size_t start = 0; start <= text.size(); ++count) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        std::optional<double> value = parseReal(text.substr(start, comma - start));
        if (count == 3 || !value) {
            return std::nullopt;
        }
        coordinates[count] = *value;
        start = comma + 1;
    }
    if (count < 2) {
        return std::nullopt;
    }
    return AcGePoint3d(coordinates[0], coordinates[1], coordinates[2]);
}

namespace {

template <typename Value, typename Parse>
std::optional<Value> askValue(const std::string& prompt, const Value& preset, Parse parse,
                              const char* requirement) {
    while (true) {
        std::optional<std::string> answer = commandLine().ask(prompt);
        if (!answer) {
            return std::nullopt;
        }
        if (answer->empty()) {
            return preset;
        }
        if (std::optional<Value> value = parse(*answer)) {
            return value;
        }
        if (acedRefuseAnswer(requirement) != RTNORM) {
            return std::nullopt;
        }
    }
}

}  // namespace

std::optional<AcGePoint3d> askPoint(const std::string& prompt, const AcGePoint3d& preset) {
    return askValue(prompt, preset, parsePoint, "Invalid point: give x,y or x,y,z.");
}

std::optional<double> askScaleFactor(const std::string& prompt, double preset) {
    const auto nonZero = [](const std::string& text) {
        std::optional<double> value = parseReal(text);
        return value && *value != 0.0 ? value : std::nullopt;
    };
    return askValue(prompt, preset, nonZero, "Requires a nonzero number.");
}

std::optional<double> askAngle(const std::string& prompt, double presetDegrees) {
    std::optional<double> degrees =
        askValue(prompt, presetDegrees, parseReal, "Requires an angle in degrees.");
    if (!degrees) {
        return std::nullopt;
    }
    return *degrees * std::numbers::pi / 180.0;
}

}  // namespace cadhost::app
