#pragma once

#include <optional>
#include <string>
#include <vector>

namespace clinora {

// Which entries of the working folder the Calibration File dialog lists.
struct CalFileFilter {
    // Set ("Filter Files"): only names that contain this board address.
    std::optional<std::string> address;
    bool biaxial = false;  // "Biaxial File": the calibration data files of both axes
    bool axisA = true;     // the axis being calibrated, when not biaxial
};

// The names to list, in the order of `entries`: each entry without the part
// from its last '.' on, when it passes the filter. An address matches
// anywhere in the name, so address 12 also lists board 123's files.
std::vector<std::string> CalFileNames(const std::vector<std::string>& entries,
                                      const CalFileFilter& filter);

// The names of the files in `folder`, sorted by name. Sub-folders and hidden
// entries (a leading '.', among them "." and "..") are left out. Empty when
// the folder holds no file or cannot be read.
std::vector<std::string> FolderFileNames(const std::string& folder);

}  // namespace clinora
