#include "app/settings_outcome.h"

#include "link/link_words.h"
#include "link/worker_codes.h"

namespace clinora {

std::string AddressOutcome(int eventCode, int detail, const std::string& target,
                           const std::string& newAddress) {
    switch (eventCode) {
        case kEventAddressChanged:
            if (detail == kTypeNotWritten) return TypeNotWrittenText(target, newAddress);
            return "Board " + target + " now answers at " + newAddress;
        case kEventAddressChangeAttempt:
            return AddressAttemptText(target, newAddress, detail);
        case kEventAddressInUse:
            return AddressInUseText(newAddress) + "; nothing was sent to board " + target;
        case kEventAddressChangeGaveUp:
            if (detail > 0) return AddressNotTakenText(target, newAddress);
            return "Board " + target + " did not answer; no address was changed";
        case kEventAddressesReset:
            return "Every board was told to answer at 65534 again";
        default:
            return {};
    }
}

std::string AddressRequestSent(uint32_t requestCode, const std::string& target,
                               const std::string& newAddress) {
    if (requestCode == kAddressChangeRequest)
        return "Asking board " + target + " to answer at " + newAddress + "...";
    if (requestCode == kResetAddressesRequest) return "Asking every board to return to 65534...";
    return {};
}

void BoardWriteWatch::started(uint32_t requestCode) {
    switch (requestCode) {
        case kAddressChangeRequest:
        case kResetAddressesRequest:
        case kWriteSensorSettingsRequest:
        case kWriteAxisFlagsRequest:
            code_ = requestCode;
            break;
        default:
            code_ = 0;  // a request of another kind ends the write before it
            break;
    }
}

void BoardWriteWatch::onEvent(int code, int detail, int boardCount) {
    if (code_ == 0) return;
    const bool ended =
        code == kEventNoBoard ||
        (code_ == kAddressChangeRequest &&
         (code == kEventAddressChanged || code == kEventAddressChangeGaveUp ||
          code == kEventAddressInUse)) ||
        (code_ == kResetAddressesRequest && code == kEventAddressesReset) ||
        (code_ == kWriteSensorSettingsRequest && code == kEventSettingsWritten &&
         detail >= boardCount) ||
        (code_ == kWriteAxisFlagsRequest && code == kEventFlagsWritten && detail >= boardCount);
    if (ended) code_ = 0;
}

std::string BoardWriteWatch::leaveQuestion() const {
    switch (code_) {
        case kAddressChangeRequest:
            return "A board's address is being changed; leaving stops the change. Leave?";
        case kResetAddressesRequest:
            return "The boards' addresses are being reset; leaving stops the reset. Leave?";
        case kWriteSensorSettingsRequest:
            return "Sensor settings are being written to the boards; leaving stops the write. "
                   "Leave?";
        case kWriteAxisFlagsRequest:
            return "Axis settings are being written to the boards; leaving stops the write. "
                   "Leave?";
        default:
            return {};
    }
}

}  // namespace clinora
