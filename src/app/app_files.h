#pragma once

#include <string>
#include <vector>

#include "app/address_lists.h"

namespace clinora {

inline constexpr const char* kCalibrationIniFile = "calibration.ini";

// Where the program's files are. Used on the user-interface thread only.
struct AppFiles {
    std::string workingFolder;  // always ends with '/'
    std::string currentAddressFile = kCurrentAddressFile;
    std::string poolAddressFile = kPoolAddressFile;
    std::string usedAddressFile = kUsedAddressFile;
    // Sound files by "SoundFileIndex": the alarm, then the beep.
    std::vector<std::string> soundFiles;

    std::string path(const std::string& name) const { return workingFolder + name; }
};

// True for the name of a file inside a folder: not empty, no folder part
// ('/' or '\\'), not "." or "..", no control character, at most 255 bytes.
bool IsPlainFileName(const std::string& name);

// The folder with exactly one trailing '/'.
std::string WithTrailingSlash(std::string folder);

}  // namespace clinora
