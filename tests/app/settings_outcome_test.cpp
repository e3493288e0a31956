// What the Settings page says after each address action, and when leaving it
// would cut a write to the boards short.
#include <gtest/gtest.h>

#include <functional>

#include "app/settings_page_model.h"
#include "link/protocol.h"
#include "link/worker_codes.h"

namespace clinora {
namespace {

TEST(SettingsOutcome, EachActionSaysWhatHappenedAndAWriteAsksBeforeLeaving) {
    using M = SettingsPageModel;
    const std::string address =
        "A board's address is being changed; leaving stops the change. Leave?";
    const std::string sensors =
        "Sensor settings are being written to the boards; leaving stops the write. Leave?";
    const M::EventData three{{}, {}, 3, "101"};
    const auto init = [](const char* to) {
        return [=](M& m) { m.setEntryText(EntryBox::InitAddress, to), m.setInitAddress(); };
    };
    const auto event = [](int code, int detail = 0, M::EventData data = {}) {
        return [=](M& m) { m.onEvent(code, detail, data); };
    };
    struct Step {
        const char* what;
        std::function<void(M&)> act;
        std::string outcome, question;
    };
    const std::string asked = "Asking board 65534 to answer at 104...";
    const std::string changed = "Board 65534 now answers at 104";
    const std::string busy = "The worker was busy and sent nothing; try again";
    const std::string none;
    const Step steps[] = {
        {"init go", init("104"), asked, address},
        {"a reading event", event(kEventBoardRead), asked, address},
        {"the second attempt", event(kEventAddressChangeAttempt, 2),
         "Giving board 65534 address 104: attempt 2 of 5...", address},
        {"not taken at the limit", event(kEventAddressChangeGaveUp, kAddressChangeAttempts),
         "Board 65534 did not take address 104 in 5 attempts (nothing answers at 104); check "
         "the board and try again",
         none},
        {"the address in use", [&](M& m) { init("104")(m), event(kEventAddressInUse, 104)(m); },
         "Address 104 is already used by a board on the bus; nothing was sent to board 65534",
         none},
        {"taken, type not written",
         [&](M& m) { init("104")(m), event(kEventAddressChanged, kTypeNotWritten)(m); },
         "Board 65534 now answers at 104, but its device type could not be written; give it an "
         "address again to write it",
         none},
        {"address changed", [&](M& m) { init("104")(m), event(kEventAddressChanged)(m); },
         changed, none},
        {"a late event of no request", event(kEventAddressChangeGaveUp), changed, none},
        {"no board took it", [&](M& m) { init("105")(m), event(kEventAddressChangeGaveUp)(m); },
         "Board 65534 did not answer; no address was changed", none},
        {"reset all", [&](M& m) { m.resetAll(), event(kEventAddressesReset)(m); },
         "Every board was told to answer at 65534 again", none},
        {"refused", [&](M& m) { init("106")(m), m.requestRefused(); }, busy, none},
        {"sensor write",
         [](M& m) {
             for (int i = 0; i < 3; ++i) m.chooseSensor(i, 1);
             m.writeSensors();
         },
         busy, sensors},
        {"two of three written", event(kEventSettingsWritten, 2, three), busy, sensors},
        {"all written", event(kEventSettingsWritten, 3, three), busy, none},
        {"take from pool", [](M& m) { m.selectPoolEntry(0), m.takeFromPool(); },
         "104 moved to the Calibration Set", none},
        {"give back", [](M& m) { m.selectSetEntry(0), m.giveBack(); }, "101 given back to the pool",
         none},
        {"delete from pool", [](M& m) { m.selectPoolEntry(0), m.deleteFromPool(); },
         "105 deleted from the pool", none},
        {"used", [](M& m) { m.moveCurrentToUsed(); }, "3 current addresses moved to the archive",
         none},
        {"a write, then shown again",
         [](M& m) {
             m.writeSensors(), m.activate({{"101"}, {}, {}}, true);
         },
         "", none},
    };
    SettingsPageModel model;
    model.firstDisplay(0, 15);
    model.activate({{"101", "102", "103"}, {"104", "105"}, {}}, true);
    for (const Step& step : steps) {
        step.act(model);
        EXPECT_EQ(model.view().addressOutcome, step.outcome) << step.what;
        EXPECT_EQ(model.leaveQuestion(), step.question) << step.what;
    }
}

}  // namespace
}  // namespace clinora
