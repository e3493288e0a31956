#include "app/cal_session.h"

namespace clinora {

CalSession::CalSession() {
    // One blank: no calibration data.
    for (DeviceRecord& record : devices) record.status.assign(1, kNoCalibration[0]);
}

}  // namespace clinora
