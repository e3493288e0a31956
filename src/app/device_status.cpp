#include "app/device_status.h"

#include "link/number_text.h"

namespace clinora {

std::vector<StatusRow> DeviceStatusRows(const Readings* readings) {
    std::vector<StatusRow> rows = {
        {"Firmware ver :", ""}, {"Board rev :", ""}, {"Serial Number :", ""}};
    if (readings) {
        rows[0].value = Printf("%.3f", readings->firmwareVersion);
        rows[1].value = Printf("%.3f", readings->boardRevision);
        rows[2].value = readings->serialNumber;
    }
    return rows;
}

}  // namespace clinora
