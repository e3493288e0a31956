// The Status page's rules: what Update asks for, what the note says, and a
// bus that was silent when the program started.
#include <gtest/gtest.h>

#include "../link/worker_rig.h"
#include "app/status_page_model.h"
#include "sim/board_config.h"

namespace clinora {
namespace {

std::string Values(const StatusPageModel& model) {
    std::string out;
    for (const StatusRow& row : model.view().rows) out += row.value + "|";
    return out;
}

TEST(StatusModel, UpdateAsksForTheIdentityOrForANewLookOrSaysWhyNot) {
    const struct {
        const char* what;
        StatusPageModel::Link link;
        uint32_t request;  // 0: nothing
        std::string note;
    } cases[] = {
        {"a board found", {"101", true}, kDeviceInfoRequest, "Asking board 101..."},
        {"none yet", {"", true}, kConnectRequest,
         "No board has answered yet: looking for the boards again..."},
        {"no adapter", {"", false}, 0,
         "No board has answered yet, and no serial adapter is chosen: Reconnect on the Monitor "
         "page looks for one."},
    };
    for (const auto& c : cases) {
        StatusPageModel model;
        model.activate();
        const auto request = model.update(c.link);
        EXPECT_EQ(request ? request->code : 0u, c.request) << c.what;
        if (request) {
            EXPECT_EQ(request->record.targetAddress, c.link.foundAddress) << c.what;
        }
        EXPECT_EQ(model.view().note, c.note) << c.what;
        EXPECT_EQ(Values(model), "|||") << c.what;
    }
    StatusPageModel model;
    model.update({"101", true});
    model.requestRefused();
    EXPECT_EQ(model.view().note, "Busy with another request: press Update again.");
    model.update({"101", true});
    model.onEvent(kEventDeviceInfo, 0, {});
    EXPECT_EQ(model.view().note, "No answer from board 101.");
    EXPECT_EQ(Values(model), "0.000|0.000||");
    // A look nobody asked for says nothing.
    model.onEvent(kEventAddressQuery, 1, {});
    EXPECT_EQ(model.view().note, "No answer from board 101.");
}

// Nothing answered while connecting; the page's trigger-off left the worker
// setting up the boards without asking for an address. The boards come later:
// Update looks for them, and the next Update reads the identity.
TEST(StatusModel, BoardsThatCameLateAreFoundByUpdate) {
    test::WorkerRig rig{{}};
    rig.runFor(15000);
    StatusPageModel model;
    model.activate();
    ASSERT_TRUE(SubmitRequest(rig.state, model.triggerOffRequest()));
    rig.runFor(15000);
    rig.bus.addBoard(sim::VariedBoard("101", 1));
    rig.runFor(15000);
    const auto link = [&] {
        return rig.state.locked([](const SharedData& d) {
            return StatusPageModel::Link{d.readings.foundAddress, d.worker.usbPortFound};
        });
    };
    ASSERT_EQ(link().foundAddress, "");  // the worker alone never finds it
    const auto press = [&](uint32_t expected, int untilEvent) {
        const auto request = model.update(link());
        ASSERT_TRUE(request && request->code == expected);
        ASSERT_TRUE(rig.request(request->code, request->record));
        ASSERT_TRUE(rig.runUntilEvent(untilEvent, 30000));
        for (const auto& [code, detail] : rig.page->codes(rig.mark))
            model.onEvent(code, detail, rig.state.snapshot().readings);
    };
    press(kConnectRequest, kEventAddressQuery);
    EXPECT_EQ(model.view().note, "A board answers at 101: press Update to read its identity.");
    press(kDeviceInfoRequest, kEventDeviceInfo);
    const std::string serial =
        rig.bus.inspectBoard(0, [](const sim::SimBoard& b) { return b.config().serial; });
    EXPECT_EQ(Values(model), "1.500|2.000|" + serial + "|");
    EXPECT_EQ(model.view().note, " ");
}

}  // namespace
}  // namespace clinora
