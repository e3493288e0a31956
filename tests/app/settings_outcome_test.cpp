// What the Settings page says after each address action, and when leaving it
// would cut a write to the boards short.
#include "app/settings_outcome.h"

#include <gtest/gtest.h>

#include <functional>

#include "app/settings_page_model.h"
#include "link/worker_codes.h"

namespace clinora {
namespace {

SettingsPageModel Active() {
    SettingsPageModel model;
    model.firstDisplay(0, 15);
    model.activate({{"101", "102", "103"}, {"104", "105"}, {}}, true);
    return model;
}

TEST(SettingsOutcome, EachAddressActionSaysWhatHappened) {
    using M = SettingsPageModel;
    struct Step {
        const char* what;
        std::function<void(M&)> act;
        std::string outcome;
    };
    const Step steps[] = {
        {"init go",
         [](M& m) {
             m.setEntryText(EntryBox::InitAddress, "104");
             m.setInitAddress();
         },
         "Asking board 65534 to answer at 104..."},
        {"reading events say nothing of it", [](M& m) { m.onEvent(kEventBoardRead, 0, {}); },
         "Asking board 65534 to answer at 104..."},
        {"address changed", [](M& m) { m.onEvent(kEventAddressChanged, 0, {}); },
         "Board 65534 now answers at 104"},
        {"change go, no board",
         [](M& m) {
             m.setEntryText(EntryBox::OldAddress, "103");
             m.setEntryText(EntryBox::NewAddress, "110");
             m.changeAddress();
             m.onEvent(kEventAddressChangeGaveUp, 0, {});
         },
         "Board 103 did not answer; no address was changed"},
        {"a late event of no request in force",
         [](M& m) { m.onEvent(kEventAddressChanged, 0, {}); },
         "Board 103 did not answer; no address was changed"},
        {"reset all", [](M& m) { m.resetAll(), m.onEvent(kEventAddressesReset, 0, {}); },
         "Every board was told to answer at 65534 again"},
        {"refused by a busy worker",
         [](M& m) {
             m.setEntryText(EntryBox::InitAddress, "105");
             m.setInitAddress();
             m.requestRefused();
         },
         "The worker was busy and sent nothing; try again"},
        {"take from pool", [](M& m) { m.selectPoolEntry(0), m.takeFromPool(); },
         "104 moved to the Calibration Set"},
        {"give back", [](M& m) { m.selectSetEntry(0), m.giveBack(); },
         "101 given back to the pool"},
        {"delete from pool", [](M& m) { m.selectPoolEntry(0), m.deleteFromPool(); },
         "105 deleted from the pool"},
        {"used", [](M& m) { m.moveCurrentToUsed(); }, "3 current addresses moved to the archive"},
    };
    SettingsPageModel model = Active();
    for (const Step& step : steps) {
        step.act(model);
        EXPECT_EQ(model.view().addressOutcome, step.outcome) << step.what;
    }
}

// A write asks before the page is left until the event that ends it; a
// read or a refused request asks nothing.
TEST(SettingsOutcome, LeavingAsksWhileAWriteToTheBoardsRuns) {
    using M = SettingsPageModel;
    const std::string sensors =
        "Sensor settings are being written to the boards; leaving stops the write. Leave?";
    const std::string axis =
        "Axis settings are being written to the boards; leaving stops the write. Leave?";
    const std::string address =
        "A board's address is being changed; leaving stops the change. Leave?";
    const M::EventData threeBoards{{}, {}, 3, "101"};
    struct Step {
        const char* what;
        std::function<void(M&)> act;
        std::string question;
    };
    const Step steps[] = {
        {"active", [](M&) {}, ""},
        {"sensor write",
         [](M& m) {
             for (int i = 0; i < 3; ++i) m.chooseSensor(i, 1);
             m.writeSensors();
         },
         sensors},
        {"second board written", [&](M& m) { m.onEvent(kEventSettingsWritten, 2, threeBoards); },
         sensors},
        {"every board written", [&](M& m) { m.onEvent(kEventSettingsWritten, 3, threeBoards); },
         ""},
        {"axis write",
         [](M& m) {
             m.onEvent(kEventFlagsRead, 0, {});
             m.writeAxis();
         },
         axis},
        {"no board answered", [](M& m) { m.onEvent(kEventNoBoard, kEventNoBoard, {}); }, ""},
        {"address change",
         [](M& m) {
             m.setEntryText(EntryBox::InitAddress, "120");
             m.setInitAddress();
         },
         address},
        {"refused", [](M& m) { m.requestRefused(); }, ""},
        {"a read", [](M& m) { m.selectSetEntry(0), m.readSensors(); }, ""},
        {"a write, then the page shown again",
         [](M& m) {
             m.writeSensors();
             m.activate({{"101"}, {}, {}}, true);
         },
         ""},
    };
    SettingsPageModel model = Active();
    for (const Step& step : steps) {
        step.act(model);
        EXPECT_EQ(model.leaveQuestion(), step.question) << step.what;
    }
}

}  // namespace
}  // namespace clinora
