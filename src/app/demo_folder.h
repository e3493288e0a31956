#pragma once

#include <string>
#include <vector>

namespace clinora {

// What a demo working folder starts with.
struct DemoContent {
    std::vector<std::string> boardAddresses;  // the current address list
    std::vector<std::string> poolAddresses;
    std::string promptFolder;  // prompt files "CalPrompts*.csv" are copied from here
};

// Fills a working folder for the simulated demo when the folder is missing or
// empty: "calibration.ini", the current and pool address files and the
// prompt files. A folder that holds anything is left as it is. Returns false
// when the folder cannot be made or a file cannot be written.
bool PrepareDemoFolder(const std::string& folder, const DemoContent& content);

}  // namespace clinora
