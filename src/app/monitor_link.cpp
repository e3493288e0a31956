#include "app/monitor_link.h"

#include "link/worker_codes.h"

namespace clinora {

MonitorLink::Outcome MonitorLink::onEvent(int code, int detail, int64_t nowMs) {
    Outcome out;
    const bool good = detail == 1;
    switch (code) {
        case kEventPortOpen:
            lastReadingMs_.reset();
            if (good) {
                phase_ = Phase::Connecting;
                identityWanted_ = false;
                text_ = "Port open";
            }
            break;
        case kEventAddressQuery:
            lastReadingMs_.reset();
            if (good) {
                phase_ = Phase::Connecting;
                identityWanted_ = true;
                out.forgetSerial = true;
                text_ = "Device found";
            } else {
                text_ = NoAnswerText(path_);
            }
            break;
        case kEventSingleReading:
            if (!good) {
                lastReadingMs_.reset();
                text_ = NoAnswerText(path_);
                break;
            }
            // Readings taken before a requested restart, or the one on its
            // way when the displayed unit changed, are in the old unit.
            if (waitForIdle_) break;
            if (skipOne_) {
                skipOne_ = false;
                break;
            }
            out.show = true;
            lastReadingMs_ = nowMs;
            // During the identity request only readings posted before the
            // worker took it arrive; after an identity event the worker has
            // given up on it and reads again on its own.
            if (phase_ != Phase::Identity || identityAnswered_) phase_ = Phase::Reading;
            if (phase_ == Phase::Reading && identityWanted_) out.next = Next::FetchIdentity;
            text_ = phase_ == Phase::Identity ? kIdentityText : "Reading Monitor";
            break;
        case kEventDeviceInfo:
            out.serialKnown = good;
            if (phase_ != Phase::Identity) break;
            identityAnswered_ = true;
            if (good) {
                phase_ = Phase::Reading;
                out.next = Next::ResumeReading;
            }
            break;
        default:
            break;
    }
    return out;
}

void MonitorLink::onPortStatus(int status, const std::string& failure) {
    switch (status) {
        case kPortIdle:
            waitForIdle_ = false;
            break;
        case kPortOpenFailed:
            text_ = failure;
            break;
        case kPortNotSelected:
            text_ = kNoAdapterText;
            break;
        case kPortBoardNotFound:
            text_ = NoAnswerText(path_);
            break;
        default:
            break;
    }
}

void MonitorLink::identityRequested(bool posted) {
    if (!posted) return;
    phase_ = Phase::Identity;
    identityWanted_ = false;
    identityAnswered_ = false;
    text_ = kIdentityText;
}

void MonitorLink::restartRequested() {
    // An identity request cut short (the page was left) is asked again.
    if (phase_ == Phase::Identity) identityWanted_ = true;
    phase_ = Phase::Restarting;
    waitForIdle_ = true;
    skipOne_ = false;
    lastReadingMs_.reset();
    text_ = kRestartingText;
}

void MonitorLink::unitChanged() {
    skipOne_ = true;
    lastReadingMs_.reset();
}

void MonitorLink::readingWithdrawn() {
    lastReadingMs_.reset();
    if (phase_ == Phase::Reading) text_ = kNoNewReadingText;
}

bool MonitorLink::stale(int64_t nowMs) const {
    return lastReadingMs_ && nowMs - *lastReadingMs_ > kFreshMs;
}

}  // namespace clinora
