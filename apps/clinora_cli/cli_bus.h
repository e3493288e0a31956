#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "link/clock.h"
#include "link/protocol.h"
#include "link/serial_device.h"
#include "link/serial_port.h"
#include "link/shared_state.h"
#include "link/worker.h"

namespace clinora::cli {

// The bus as the tool drives it: the port, the shared state and the
// communication worker, all used on the calling thread. Commands call the
// protocol's operations directly, or hand the worker the request a page
// would send and run its passes until it reports the end, so that the
// worker's probe, retry and give-up rules hold here too.
class CliBus {
public:
    // `pinnedPath`: the device to use instead of the adapter search; may be empty.
    CliBus(SerialDevice& device, Clock& clock, const std::string& pinnedPath);
    ~CliBus();
    CliBus(const CliBus&) = delete;
    CliBus& operator=(const CliBus&) = delete;

    // Finds the port and opens it at 115200 baud, then at 9600, until a
    // board answers: the board at `address`, or any board ("DA" on the
    // broadcast address) when `address` is empty. False with `error` set when
    // there is no port or no board answers.
    bool connect(const std::string& address, std::string& error);
    int baud() const { return baud_; }
    std::string portPath() const;

    SharedState& state() { return state_; }
    BusProtocol& protocol() { return worker_.protocol(); }
    Clock& clock() { return clock_; }

    // Called after every command line sent on the bus (progress lines).
    void onCommandSent(std::function<void()> callback);
    // Asked before every command line and during every wait: once it says
    // stop, the line being sent is finished and nothing more is sent.
    void setStopCheck(std::function<bool()> stop);

    enum class Verdict { Continue, Success, Failure, Interrupted, TimedOut };
    // Hands the worker `record` with the request `code` and runs its passes
    // until `onEvent`, called with the code and detail of every event as it
    // is posted, returns anything but Continue; or until `stop` says so, or
    // `limitMs` have passed.
    Verdict runWorker(const RequestRecord& record, uint32_t code,
                      const std::function<Verdict(int, int)>& onEvent,
                      const std::function<bool()>& stop, int64_t limitMs);

private:
    class CountingDevice;
    class EventRelay;

    Clock& clock_;
    std::unique_ptr<CountingDevice> device_;
    SerialPort port_;
    SharedState state_;
    Worker worker_;
    int portNumber_ = 0;
    int baud_ = 0;
};

}  // namespace clinora::cli
