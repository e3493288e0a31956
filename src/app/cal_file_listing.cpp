#include "app/cal_file_listing.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace clinora {
namespace {

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

bool Passes(const std::string& name, const CalFileFilter& filter) {
    if (!filter.address) return true;
    if (!Contains(name, *filter.address)) return false;
    if (filter.biaxial) return Contains(name, "CAL_DATA_") && !Contains(name, "CAL_DATA_TEST");
    return Contains(name, filter.axisA ? "AXIS_A" : "AXIS_B");
}

}  // namespace

std::vector<std::string> CalFileNames(const std::vector<std::string>& entries,
                                      const CalFileFilter& filter) {
    std::vector<std::string> names;
    for (const std::string& entry : entries) {
        std::string name = entry.substr(0, entry.rfind('.'));
        if (Passes(name, filter)) names.push_back(std::move(name));
    }
    return names;
}

std::vector<std::string> FolderFileNames(const std::string& folder) {
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    std::error_code error;
    fs::directory_iterator it(folder, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        std::string name = it->path().filename().string();
        std::error_code kindError;
        if (name.empty() || name[0] == '.' || !it->is_regular_file(kindError)) continue;
        names.push_back(std::move(name));
    }
    // The platform's order is arbitrary: the dialog shows them by name.
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace clinora
