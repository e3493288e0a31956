// The address change: 20 (the board answers), 17 (no other board answers at
// the new address), 15 (password and "DA"), 16 (type letters), then 13.
#include <cstdlib>

#include "worker.h"
#include "worker_codes.h"

namespace clinora {

Worker::Limited Worker::limitedStep(const std::function<bool()>& operation, int attemptEvent) {
    if (countingDown(100)) return Limited::Waiting;
    ++attempts_;
    if (attemptEvent >= 0) post(attemptEvent, attempts_);
    if (operation()) {
        retry_ = 0;
        attempts_ = 0;
        setLinkOk(true);
        return Limited::Done;
    }
    if (attempts_ >= kAddressChangeAttempts) {
        attempts_ = 0;
        return Limited::GaveUp;
    }
    if (retry_ < 4) ++retry_;
    countDown_ = 10;
    return Limited::Waiting;
}

void Worker::stateAddressChangeProbe() {
    if (probeStep()) {
        retry_ = 0;
        next_ = kStateNewAddressProbe;
    } else if (retry_ > 3) {
        post(kEventAddressChangeGaveUp, 0);
        next_ = kStateIdleReset;
    } else {
        ++retry_;
    }
}

// Two boards at one address answer every command at once from then on:
// nothing is sent to change an address another board already answers to.
void Worker::stateNewAddressProbe() {
    const std::string fresh =
        state_.locked([](const SharedData& d) { return d.request.newAddress; });
    switch (protocol_.CheckAddressFree(fresh, kExchangeAttempts)) {
        case AddressCheck::Free:
            next_ = kStateChangeAddress;
            return;
        case AddressCheck::Used:
            post(kEventAddressInUse, std::atoi(fresh.c_str()));
            break;
        case AddressCheck::Unknown:
            post(kEventAddressChangeGaveUp, 0);
            break;
    }
    next_ = kStateIdleReset;
}

void Worker::stateChangeAddress() {
    const Limited step = limitedStep(
        [this] {
            if (!protocol_.GiveAddress()) return false;
            state_.locked([](SharedData& d) { d.request.targetAddress = d.request.newAddress; });
            return true;
        },
        kEventAddressChangeAttempt);
    if (step == Limited::Done) {
        next_ = kStateWriteTypeCode;
    } else if (step == Limited::GaveUp) {
        post(kEventAddressChangeGaveUp, kAddressChangeAttempts);
        next_ = kStateIdleReset;
    }
}

void Worker::stateWriteTypeCode() {
    const Limited step = limitedStep([this] { return protocol_.WriteTypeCode(); }, -1);
    if (step == Limited::Waiting) return;
    // The address is changed either way; the detail says whether the type is.
    post(kEventAddressChanged, step == Limited::Done ? 0 : kTypeNotWritten);
    next_ = kStateHeartbeat;
}

}  // namespace clinora
