#include "cli_bus.h"

#include "link/event_sink.h"
#include "link/link_words.h"
#include "link/usb_search.h"
#include "link/worker_thread.h"

namespace clinora::cli {

// The device under the port, telling who asks after every command line.
class CliBus::CountingDevice final : public SerialDevice {
public:
    explicit CountingDevice(SerialDevice& inner) : inner_(inner) {}
    std::function<void()> onLine;

    int open(const std::string& path) override { return inner_.open(path); }
    int configureLine(int baud) override { return inner_.configureLine(baud); }
    int configureTimeouts() override { return inner_.configureTimeouts(); }
    int raiseModemLines() override { return inner_.raiseModemLines(); }
    int bytesWaiting(size_t& count) override { return inner_.bytesWaiting(count); }
    int read(uint8_t* buffer, size_t max, size_t& got) override {
        return inner_.read(buffer, max, got);
    }
    int writeByte(uint8_t byte) override {
        const int result = inner_.writeByte(byte);
        if (result == 0 && byte == '\r' && onLine) onLine();
        return result;
    }
    int close() override { return inner_.close(); }

private:
    SerialDevice& inner_;
};

// Hands the worker's events to the running command. The worker runs on the
// same thread, so events arrive in the middle of a pass.
class CliBus::EventRelay final : public EventSink {
public:
    explicit EventRelay(std::function<void(int, int)> onEvent) : onEvent_(std::move(onEvent)) {}
    void post(int message, int first, int second) override {
        if (message == kWorkerEventMessage) onEvent_(first, second);
    }

private:
    std::function<void(int, int)> onEvent_;
};

CliBus::CliBus(SerialDevice& device, Clock& clock, const std::string& pinnedPath)
    : clock_(clock),
      device_(std::make_unique<CountingDevice>(device)),
      port_(*device_),
      state_(port_),
      worker_(state_, clock_) {
    if (!pinnedPath.empty()) port_.pinPath(pinnedPath);
}

CliBus::~CliBus() { port_.Close(); }

std::string CliBus::portPath() const { return port_.devicePathFor(portNumber_); }

bool CliBus::connect(const std::string& address, std::string& error) {
    portNumber_ = FindUsbSerialPort(port_);
    if (portNumber_ < 0) {
        portNumber_ = 0;
        error = std::string(kNoAdapterText) +
                " (USB vendor id 0403); plug it in, or name the device with --port PATH";
        return false;
    }
    state_.locked([&](SharedData& d) {
        d.worker.comPortNumber = portNumber_;
        d.worker.usbPortFound = true;
    });
    // The boards answer at one of the two rates; silence means the other one.
    // Each question is asked up to three times, as the worker asks it.
    BusProtocol& bus = protocol();
    for (const int baud : {115200, 9600}) {
        if (!bus.OpenPort(baud)) {
            error = PortFailureText(port_.lastPath(), port_.lastError());
            return false;
        }
        const bool answered =
            address.empty() ? bus.QueryAddress() : bus.ProbeDevice(address, bus.repeatAttempts());
        if (answered) {
            baud_ = baud;
            state_.locked([&](SharedData& d) { d.worker.baudRate = baud; });
            return true;
        }
        if (bus.stopping()) break;
    }
    port_.Close();
    error = NoBoardAtText(address, portPath());
    return false;
}

void CliBus::setStopCheck(std::function<bool()> stop) {
    // The worker's own stop flag is never set here: the signal is the stop.
    protocol().setStopCheck(std::move(stop));
}

void CliBus::onCommandSent(std::function<void()> callback) {
    device_->onLine = std::move(callback);
}

CliBus::Verdict CliBus::runWorker(const RequestRecord& record, uint32_t code,
                                  const std::function<Verdict(int, int)>& onEvent,
                                  const std::function<bool()>& stop, int64_t limitMs) {
    Verdict verdict = Verdict::Continue;
    auto relay = std::make_shared<EventRelay>([&](int event, int detail) {
        if (verdict == Verdict::Continue) verdict = onEvent(event, detail);
    });
    state_.locked([&](SharedData& d) {
        d.worker.started = true;
        d.worker.currentPage = relay;
    });
    if (!PostRequest(state_, record, code)) return Verdict::Failure;
    const int64_t end = clock_.nowMs() + limitMs;
    while (verdict == Verdict::Continue) {
        if (stop && stop()) {
            verdict = Verdict::Interrupted;
        } else if (clock_.nowMs() > end) {
            verdict = Verdict::TimedOut;
        } else {
            worker_.pass();
        }
    }
    state_.locked([](SharedData& d) { d.worker.currentPage.reset(); });
    return verdict;
}

}  // namespace clinora::cli
