#pragma once

#include <string>
#include <vector>

namespace clinora {

// The application title: the main window's title and the single-instance name.
inline constexpr const char* kAppTitle = "Orvano";
inline constexpr const char* kInstanceMutexName = "MySpecialMutexClinoraMeter";
inline constexpr const char* kAlreadyRunningText =
    "One instance of Clinora Host is already running.\nMultiple instances are not allowed.";
inline constexpr const char* kLandscapeText =
    "Landscape screen mode detected. Please change to portrait mode and start again.";

// Sizes in pixels the start-up rules look at.
struct ScreenMetrics {
    int screenHeight = 0;
    int fullScreenHeight = 0;
    int screenWidth = 0;
    int fullScreenWidth = 0;
};

// A landscape screen refuses the start; a square one passes.
bool IsLandscape(const ScreenMetrics& metrics);

// The compact resource file is used for full-screen heights 270..770.
bool UsesResourceFile(const ScreenMetrics& metrics);

// The prompt file that a tilt range in degrees selects.
std::string PromptFileForTiltRange(int tiltRange);

// Titles of the sheet's pages, in order.
std::vector<std::string> PageTitles(bool calibrationMode);

}  // namespace clinora
