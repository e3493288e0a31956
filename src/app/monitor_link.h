#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "link/link_words.h"

namespace clinora {

inline constexpr const char* kIdentityText = "Reading the board's identity";
inline constexpr const char* kRestartingText = "Starting to read again";
inline constexpr const char* kNoNewReadingText = "No new reading from the boards";

// The Monitor page's view of the link to the boards, fed with the worker's
// events and the time: which step of the connect flow it is in, what the
// status line says, whether the reading on screen is still recent, and what
// the page has to ask the worker next.
//
// The connect flow reads first and asks for the board's identity after the
// first reading: the serial number is unknown (and must not be logged) from
// the moment a board answers until its identity has been read.
class MonitorLink {
public:
    // A reading older than this is not shown or logged as the current one:
    // about three reading cycles of the worker.
    static constexpr int64_t kFreshMs = 2000;

    enum class Next { Nothing, FetchIdentity, ResumeReading };

    // A worker event (message 1125). For a reading event, `shown` tells the
    // page whether to show the reading the worker announced.
    struct Outcome {
        Next next = Next::Nothing;
        bool show = false;           // show the new reading
        bool forgetSerial = false;   // a board answered: its serial is not known yet
        bool serialKnown = false;    // the identity just read is the board's
    };
    Outcome onEvent(int code, int detail, int64_t nowMs);
    // A port status (message 1124); `failure` is the reason when the open failed.
    void onPortStatus(int status, const std::string& failure);
    // The page posted the identity request (false: refused, try again later).
    void identityRequested(bool posted);
    // The identity was read without the page asking (another page did).
    void identityKnown() { identityWanted_ = false; }
    // The page asked the worker to start reading afresh (new reading type, or
    // the page shown again); readings taken before the restart are not shown.
    void restartRequested();
    // The displayed unit changed without a restart: the reading already on
    // its way may be in the old unit and is skipped.
    void unitChanged();
    // The page has taken a reading that went stale off the screen.
    void readingWithdrawn();

    // A reading is on screen and older than kFreshMs.
    bool stale(int64_t nowMs) const;
    std::string statusText() const { return text_; }
    // The device the link runs over, named in the texts about it.
    void setDevicePath(const std::string& path) { path_ = path; }
    bool readingShown() const { return lastReadingMs_.has_value(); }

private:
    enum class Phase { Connecting, Reading, Identity, Restarting };

    Phase phase_ = Phase::Connecting;
    std::string text_;
    std::string path_;
    std::optional<int64_t> lastReadingMs_;
    bool identityWanted_ = false;
    bool identityAnswered_ = false;  // an identity event came since the request
    bool waitForIdle_ = false;       // a restart is asked; the idle state comes first
    bool skipOne_ = false;
};

}  // namespace clinora
