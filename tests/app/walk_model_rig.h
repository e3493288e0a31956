#pragma once

// A calibration page model on its own: shared state without a worker, a
// working folder with a prompt file, and services that record what the model
// asks for and answer its questions from a script.

#include <deque>
#include <utility>
#include <memory>
#include <string>
#include <vector>

#include "app/app_files.h"
#include "app/cal_session.h"
#include "app/page_copies.h"
#include "app/page_services.h"
#include "link/clock.h"
#include "link/number_text.h"
#include "link/serial_port.h"
#include "link/shared_state.h"
#include "link/worker_codes.h"
#include "sim/sim_bus.h"
#include "temp_folder.h"

namespace clinora::testing {

class RecordingServices final : public PageServices {
public:
    struct Shown {
        std::string kind;  // "message", "question", "timed", "sound"
        std::string text;
    };
    void message(const std::string& text) override { shown.push_back({"message", text}); }
    bool question(const std::string& text) override {
        shown.push_back({"question", text});
        if (answers.empty()) return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void timedMessage(int, const std::string& text) override { shown.push_back({"timed", text}); }
    void playSound(const std::string& path) override { shown.push_back({"sound", path}); }
    bool submit(const WorkerRequest& request) override {
        requests.push_back(request);
        return accept;
    }
    std::vector<std::string> texts(const std::string& kind) const {
        std::vector<std::string> out;
        for (const auto& s : shown)
            if (s.kind == kind) out.push_back(s.text);
        return out;
    }
    std::vector<uint32_t> codes() const {
        std::vector<uint32_t> out;
        for (const auto& r : requests) out.push_back(r.code);
        return out;
    }

    std::deque<bool> answers;
    std::vector<Shown> shown;
    std::vector<WorkerRequest> requests;
    bool accept = true;
};

// Row r of a generated prompt file has the A and B target 1 + r / 10 (volts)
// and the test target r / 100 (sine); limits 0.02 either side.
inline double RowTarget(int r) { return 1.0 + r / 10.0; }
inline double RowTestTarget(int r) { return r / 100.0; }

inline std::string PromptFile(int rows) {
    std::string text = "2,prompts\r\nSweep,Position,Step,columns\r\n";
    for (int r = 0; r < rows; ++r) {
        const std::string t = FormatFixed(RowTarget(r), 3),
                          lo = FormatFixed(RowTarget(r) - 0.02, 3),
                          hi = FormatFixed(RowTarget(r) + 0.02, 3);
        const std::string tt = FormatFixed(RowTestTarget(r), 4),
                          tlo = FormatFixed(RowTestTarget(r) - 0.02, 4),
                          thi = FormatFixed(RowTestTarget(r) + 0.02, 4);
        text += "S,row " + std::to_string(r) + "," + std::to_string(r) + "," + t + "," + lo + "," +
                hi + "," + t + "," + lo + "," + hi + "," + tt + "," + tlo + "," + thi + "," + tt +
                "," + tlo + "," + thi + "\r\n";
    }
    return text;
}

class WalkModelRig {
public:
    explicit WalkModelRig(std::vector<std::string> addresses = {"101", "102", "103"},
                          int promptRows = 22) {
        files.workingFolder = folder.path();
        files.soundFiles = {"Alarm1.wav", "Voicbeep.wav"};
        copies.promptFileName = "prompts.csv";
        copies.tiltRange = 50;  // 11 angles: room for 22 rows
        folder.write("prompts.csv", PromptFile(promptRows));
        state.locked([&](SharedData& d) {
            d.currentAddresses = std::move(addresses);
            d.worker.started = true;
        });
    }

    // The worker reads one board: the reading, then event 31.
    template <class Model>
    void read(Model& model, int slot, double a, double b) {
        state.locked([&](SharedData& d) {
            BoardReading& r = d.readings.boards[slot];
            r = {a, b, 25.0, r.sequence + 1};
        });
        model.onWorkerEvent(kEventBoardRead, slot);
    }
    // The worker reads every board once.
    template <class Model>
    void readAll(Model& model, double a, double b) {
        for (int i = 0; i < model.boardsOnPage(); ++i) read(model, i, a, b);
    }
    void setWorkerBoard(int index) {
        state.locked([index](SharedData& d) { d.worker.currentBoardIndex = index; });
    }

    TempFolder folder;
    VirtualClock clock;
    sim::SimBus bus{clock};
    SerialPort port{bus};
    SharedState state{port};
    PageCopies copies;
    AppFiles files;
    CalSession session;
    RecordingServices services;
};

}  // namespace clinora::testing
