#include "constants_upload.h"

#include <filesystem>

namespace clinora {

bool BiaxialDataMissing(const DeviceRecord& record) {
    return record.b[0] == 0 && record.b[2] == 0 && record.b[3] == 0 && record.b[4] == 0;
}

int AxisSelectorOfFile(const std::string& path) {
    const std::string name = std::filesystem::path(path).filename().string();
    return name.find("_AXIS_B_") != std::string::npos ? 0 : 1;
}

}  // namespace clinora
