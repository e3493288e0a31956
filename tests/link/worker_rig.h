#pragma once

// The worker on virtual time against simulated boards, with recorders for
// the events it posts. Passes are driven one by one; no thread.

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "link/clock.h"
#include "link/event_sink.h"
#include "link/serial_port.h"
#include "link/shared_state.h"
#include "link/worker.h"
#include "link/worker_codes.h"
#include "link/worker_thread.h"
#include "sim/sim_bus.h"

namespace clinora::test {

struct RecordedEvent {
    int64_t atMs;
    int message, first, second;
    bool operator==(const RecordedEvent&) const = default;
};

// Records what is posted with the clock time of each post. `onPost` runs at
// the post, before the event is recorded (to look at the shared state then).
class EventRecorder final : public EventSink {
public:
    explicit EventRecorder(const Clock& clock) : clock_(clock) {}

    void post(int message, int first, int second) override {
        if (onPost) onPost(message, first, second);
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back({clock_.nowMs(), message, first, second});
    }
    std::vector<RecordedEvent> all() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }
    // Events of message 1125 as (code, detail) pairs, optionally from `from` on.
    std::vector<std::pair<int, int>> codes(size_t from = 0) const {
        std::vector<std::pair<int, int>> out;
        std::lock_guard<std::mutex> lock(mutex_);
        for (size_t i = from; i < events_.size(); ++i) {
            if (events_[i].message == kWorkerEventMessage) {
                out.emplace_back(events_[i].first, events_[i].second);
            }
        }
        return out;
    }
    std::vector<int> portStatuses() const {
        std::vector<int> out;
        for (const auto& e : all()) {
            if (e.message == kPortStatusMessage) out.push_back(e.second);
        }
        return out;
    }
    size_t size() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_.size();
    }

    std::function<void(int, int, int)> onPost;

private:
    const Clock& clock_;
    mutable std::mutex mutex_;
    std::vector<RecordedEvent> events_;
};

// Consecutive repeats folded into one: the shape of a sequence.
inline std::vector<std::pair<int, int>> Folded(const std::vector<std::pair<int, int>>& in) {
    std::vector<std::pair<int, int>> out;
    for (const auto& e : in) {
        if (out.empty() || out.back() != e) out.push_back(e);
    }
    return out;
}

class WorkerRig {
public:
    // Boards at the given addresses, fixture tilt A 10 degrees; `faultSeed`
    // seeds the line noise.
    explicit WorkerRig(std::vector<std::string> addresses = {"101"}, uint32_t faultSeed = 1)
        : faultSeed_(faultSeed) {
        uint32_t seed = 1;
        for (const auto& a : addresses) bus.addBoard(sim::VariedBoard(a, seed++));
        bus.setTilt(0, 10.0);
        state.locked([&](SharedData& d) {
            d.currentAddresses = addresses;
            d.worker.boardCount = static_cast<int>(addresses.size());
            d.worker.writeTarget = d.worker.boardCount;
            d.worker.usbPortFound = true;
            d.worker.comPortNumber = 3;
            d.worker.started = true;
            d.worker.currentPage = page;
            d.worker.pageHost = host;
        });
        worker.protocol().setLocalDate([] { return LocalDateTime{2024, 5, 17}; });
    }

    int current() const {
        return state.locked([](const SharedData& d) { return d.worker.state; });
    }

    // One pass; the trail gets the state that ran and the state it chose.
    void pass() {
        worker.pass();
        for (int s : {worker.steppedState(), current()}) {
            if (trail.empty() || trail.back() != s) trail.push_back(s);
        }
    }

    // At least one pass, then passes until `done` holds or `maxMs` of
    // virtual time have gone by.
    bool runUntil(const std::function<bool()>& done, int64_t maxMs = 120000) {
        const int64_t end = clock.nowMs() + maxMs;
        do {
            if (clock.nowMs() > end || worker.ended()) return false;
            pass();
        } while (!done());
        return true;
    }
    bool runUntilState(int s, int64_t maxMs = 120000) {
        return runUntil([&] { return current() == s; }, maxMs);
    }
    void runFor(int64_t ms) {
        runUntil([] { return false; }, ms);
    }
    bool runUntilEvent(int code, int64_t maxMs = 120000) {
        const size_t from = page->size();
        return runUntil(
            [&] {
                for (const auto& e : page->codes(from)) {
                    if (e.first == code) return true;
                }
                return false;
            },
            maxMs);
    }

    // Connects and settles into monitoring (state 28).
    void monitor() { ASSERT_TRUE(runUntilState(kStateSingleReading)); }

    // Posts a request through the hand-shake; the events from here on are
    // the ones the test looks at.
    bool request(uint32_t code, const RequestRecord& record) {
        mark = page->size();
        trail.assign(1, current());
        return PostRequest(state, record, code);
    }

    size_t mark = 0;  // index into page events where the current request began

    const uint32_t faultSeed_;
    VirtualClock clock{1000};
    sim::SimBus bus{clock, faultSeed_};
    SerialPort port{bus};
    SharedState state{port};
    std::shared_ptr<EventRecorder> page = std::make_shared<EventRecorder>(clock);
    std::shared_ptr<EventRecorder> host = std::make_shared<EventRecorder>(clock);
    Worker worker{state, clock};
    std::vector<int> trail;  // states in the order they ran
};

}  // namespace clinora::test
