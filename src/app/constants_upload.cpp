#include "constants_upload.h"

#include <algorithm>
#include <filesystem>

namespace clinora {

bool BiaxialDataMissing(const DeviceRecord& record) {
    return record.b[0] == 0 && record.b[2] == 0 && record.b[3] == 0 && record.b[4] == 0;
}

int AxisSelectorOfFile(const std::string& path) {
    const std::string name = std::filesystem::path(path).filename().string();
    return name.find("_AXIS_B_") != std::string::npos ? 0 : 1;
}

// A name made by the program starts "<digits>_CAL_DATA_AXIS_<A|B>_".
FileNameClaim ClaimOfFileName(const std::string& path) {
    const std::string name = std::filesystem::path(path).filename().string();
    const size_t digits = name.find_first_not_of("0123456789");
    static const std::string kMiddle = "_CAL_DATA_AXIS_";
    FileNameClaim claim;
    if (digits == 0 || digits == std::string::npos || name.compare(digits, kMiddle.size(), kMiddle) != 0)
        return claim;
    const size_t axis = digits + kMiddle.size();
    if (axis + 1 >= name.size() || (name[axis] != 'A' && name[axis] != 'B') || name[axis + 1] != '_')
        return claim;
    if (digits <= 9) claim.board = std::stoi(name.substr(0, digits));
    claim.axis = name[axis] == 'A' ? 1 : 0;
    return claim;
}

bool AxisConstantsAllZero(const DeviceRecord& record, int axisSelector) {
    const bool a = axisSelector == 1;
    const auto& c = a ? record.a : record.b;
    return std::all_of(c.begin(), c.end(), [](double v) { return v == 0.0; }) &&
           (a ? record.aCrossLinear : record.bCrossLinear) == 0.0 &&
           (a ? record.aCrossQuadratic : record.bCrossQuadratic) == 0.0;
}

std::string ConstantsFileRefusal(const std::string& path, const DeviceRecord& record,
                                 int axisSelector, bool biaxial, const std::string& address,
                                 bool force) {
    const auto axisName = [](int selector) { return selector == 1 ? "A" : "B"; };
    const FileNameClaim claim = ClaimOfFileName(path);
    if (!biaxial && claim.axis && *claim.axis != axisSelector) {
        return path + " is named for axis " + axisName(*claim.axis) +
               "; its constants are not the board's axis " + axisName(axisSelector) + " constants";
    }
    if (!force && claim.board && std::to_string(*claim.board) != address) {
        return path + " is named for board " + std::to_string(*claim.board) + ", not board " +
               address + " (--force takes it all the same)";
    }
    for (int selector : {1, 0}) {
        if ((biaxial || selector == axisSelector) && AxisConstantsAllZero(record, selector)) {
            return "the axis " + std::string(axisName(selector)) + " constants of " + path +
                   " are all zero: writing them would wipe the board's calibration";
        }
    }
    return {};
}

}  // namespace clinora
