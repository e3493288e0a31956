#pragma once

#include <array>
#include <string>
#include <vector>

#include "app/shade.h"
#include "link/device_record.h"

namespace clinora {

// One board's group box and readout.
struct BoardBoxView {
    std::string caption = "XXXX";
    std::string readout = "Static";
    Shade colour = Shade::White;
    std::string meaning;  // the colour in words, for screen readers
};

// Everything the Cal and Test pages show; the widgets only render it.
struct WalkView {
    std::string title;
    Shade titleColour = Shade::PaleYellow;
    bool axisA = true;
    std::string prompt = "- - - -";
    Shade promptColour = Shade::White;
    std::string target = "- - - -";
    // Where the walk stands: "Position 3 of 7, first sweep".
    std::string position;
    std::array<BoardBoxView, kMaxBoards> boards{};
    std::string message = "Message";
    Shade messageColour = Shade::White;
    bool noiseBarVisible = false;
    int noiseBarPosition = 0;  // 0..10
    bool busy = false;         // the busy lamp (Cal only)
    std::vector<std::string> comboEntries;
    int comboSelection = -1;
    bool negateA = false, negateB = false;
    bool timerRunning = false;
    // The last position was accepted: the files are written on the next turn,
    // after "Cal data collected" has been shown (runPendingWrite).
    bool writePending = false;
    // A step that waits for the next turn, after what the last step showed
    // has been drawn (runPendingFollowUp): the Cal page's question about
    // sending comes after its residual window.
    bool followUpPending = false;

    // Writing or verifying constants: boards done of the boards taken, and
    // the step within the board under way.
    struct Progress {
        bool visible = false;
        int boardsDone = 0, boards = 0, step = 0, steps = 0;
    } progress;

    // Which controls are enabled.
    struct Enabled {
        bool accept = false, back = false, a = true, b = true, setup = true, init = true;
        bool read = true, write = false, send = false, upload = false, verify = false;
        bool residuals = false;  // the fit's residual window can be shown
        bool certificates = false;  // test records were written: certificates can be issued (Test)
    } enabled;
};

}  // namespace clinora
