#include "app/status_page_model.h"

#include "link/worker_codes.h"

namespace clinora {

void StatusPageModel::activate() {
    view_ = View{};
    looking_ = false;
}

WorkerRequest StatusPageModel::request(uint32_t code) const {
    WorkerRequest r;
    r.code = code;
    r.record = record_;
    return r;
}

WorkerRequest StatusPageModel::triggerOffRequest() const { return request(kTriggerOffRequest); }

std::optional<WorkerRequest> StatusPageModel::update(const Link& link) {
    view_.rows = DeviceStatusRows(nullptr);
    looking_ = false;
    if (!link.foundAddress.empty()) {
        record_.targetAddress = link.foundAddress;
        view_.note = "Asking board " + link.foundAddress + "...";
        return request(kDeviceInfoRequest);
    }
    if (!link.portChosen) {
        view_.note = "No board has answered yet, and no serial adapter is chosen: Reconnect on "
                     "the Monitor page looks for one.";
        return std::nullopt;
    }
    // The worker's own search may be waiting out a long pause at the wrong
    // rate: start it afresh, as a connect does.
    looking_ = true;
    view_.note = "No board has answered yet: looking for the boards again...";
    return request(kConnectRequest);
}

void StatusPageModel::requestRefused() {
    looking_ = false;
    view_.note = "Busy with another request: press Update again.";
}

void StatusPageModel::onEvent(int code, int detail, const Readings& readings) {
    if (code == kEventDeviceInfo) {
        view_.rows = DeviceStatusRows(&readings);
        view_.note = detail == 1 ? " " : "No answer from board " + record_.targetAddress + ".";
    } else if (code == kEventAddressQuery && looking_) {
        if (detail == 1 && !readings.foundAddress.empty()) {
            looking_ = false;
            view_.note = "A board answers at " + readings.foundAddress +
                         ": press Update to read its identity.";
        } else {
            view_.note = "No board answers yet; still looking for the boards...";
        }
    }
}

}  // namespace clinora
