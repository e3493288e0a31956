#pragma once

#include <string>
#include <vector>

#include "link/shared_state.h"

namespace clinora {

// One row of the Status page's list: a label and its value.
struct StatusRow {
    std::string label;
    std::string value;
};

// Firmware version, board revision and serial number, in that order. The
// values are empty without readings; versions show three decimals.
std::vector<StatusRow> DeviceStatusRows(const Readings* readings);

}  // namespace clinora
