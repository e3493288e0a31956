// What the Settings page's buttons hand to the worker and what its events show.
#include <gtest/gtest.h>

#include <functional>

#include "app/settings_page_model.h"
#include "link/worker_codes.h"

namespace clinora {
namespace {

using List = std::vector<std::string>;

SettingsPageModel Active(bool setTypeToAll = false) {
    SettingsPageModel model;
    model.firstDisplay(0, 15);
    model.activate({{"101", "102", "103"}, {"104"}, {}}, setTypeToAll);
    return model;
}

TEST(SettingsRequests, EachButtonFillsTheRecordOrSaysWhyNot) {
    struct Case {
        const char* name;
        bool setTypeToAll;
        std::function<void(SettingsPageModel&)> arrange;
        std::function<SettingsEffect(SettingsPageModel&)> act;
        uint32_t code;  // 0: no request
        const char* target;
        const char* note;
        int boardCount;  // -1: left as it is
    };
    const auto sensors = [](int a, int b, int t) {
        return [=](SettingsPageModel& m) {
            m.chooseSensor(0, a);
            m.chooseSensor(1, b);
            m.chooseSensor(2, t);
        };
    };
    const auto select = [](int row) { return [=](SettingsPageModel& m) { m.selectSetEntry(row); }; };
    const auto none = [](SettingsPageModel&) {};
    const auto readAxisDone = [](SettingsPageModel& m) {
        m.onEvent(kEventFlagsRead, 0, {});
        m.selectSetEntry(2);
    };
    using M = SettingsPageModel;
    const Case cases[] = {
        {"init go", false, [](M& m) { m.setEntryText(EntryBox::InitAddress, "104"); },
         &M::setInitAddress, kAddressChangeRequest, "65534", "", -1},
        {"init go 65535", false, [](M& m) { m.setEntryText(EntryBox::InitAddress, "65535"); },
         &M::setInitAddress, 0, "", kBroadcastRefusedText, -1},
        {"init go empty", false, none, &M::setInitAddress, 0, "", kAddressRangeText, -1},
        {"change go", false,
         [](M& m) {
             m.setEntryText(EntryBox::OldAddress, "101");
             m.setEntryText(EntryBox::NewAddress, "110");
         },
         &M::changeAddress, kAddressChangeRequest, "101", "", -1},
        {"change go 70000", false,
         [](M& m) {
             m.setEntryText(EntryBox::OldAddress, "101");
             m.setEntryText(EntryBox::NewAddress, "70000");
         },
         &M::changeAddress, 0, "", kAddressRangeText, -1},
        {"change go bad old", false,
         [](M& m) {
             m.setEntryText(EntryBox::OldAddress, "x");
             m.setEntryText(EntryBox::NewAddress, "110");
         },
         &M::changeAddress, 0, "", kAddressRangeText, -1},
        {"sensor ? none", false, none, &M::readSensors, 0, "", kNoAddressSelectedText, -1},
        {"sensor ?", false, select(1), &M::readSensors, kReadSensorSettingsRequest, "102", "", -1},
        {"sensor . axis 1", false, sensors(0, 1, 1), &M::writeSensors, 0, "", kSensor1Text, -1},
        {"sensor . axis 2", false, sensors(1, 0, 0), &M::writeSensors, 0, "", kSensor2Text, -1},
        {"sensor . therm", false, sensors(1, 1, 0), &M::writeSensors, 0, "", kThermText, -1},
        {"sensor . none", false, sensors(1, 1, 1), &M::writeSensors, 0, "", kNoAddressSelectedText,
         -1},
        {"sensor . one", false,
         [&](M& m) {
             sensors(3, 7, 2)(m);
             m.selectSetEntry(1);
         },
         &M::writeSensors, kWriteSensorSettingsRequest, "102", "", 3},
        {"sensor . all", true, sensors(3, 7, 2), &M::writeSensors, kWriteSensorSettingsRequest,
         "101", "", 3},
        {"axis ? none", false, none, &M::readAxis, 0, "", kNoAddressSelectedText, -1},
        {"axis ?", false, select(0), &M::readAxis, kReadAxisFlagsRequest, "101", "", -1},
        {"axis . unread", false, select(0), &M::writeAxis, 0, "", kReadAxisFirstText, -1},
        {"axis . one", false, readAxisDone, &M::writeAxis, kWriteAxisFlagsRequest, "103", "", 3},
        {"reset all", false, none, &M::resetAll, kResetAddressesRequest, "65535", "", -1},
    };
    for (const Case& c : cases) {
        SettingsPageModel model = Active(c.setTypeToAll);
        c.arrange(model);
        const SettingsEffect effect = c.act(model);
        EXPECT_EQ(effect.note ? effect.note->text : "", c.note) << c.name;
        // Typed addresses are refused like the list messages (3 s), the rest in 2 s.
        const std::string note = c.note;
        if (effect.note) {
            EXPECT_EQ(effect.note->seconds,
                      note == kAddressRangeText || note == kBroadcastRefusedText ? 3 : 2)
                << c.name;
        }
        ASSERT_EQ(effect.request.has_value(), c.code != 0) << c.name;
        if (!effect.request) continue;
        EXPECT_EQ(effect.request->code, c.code) << c.name;
        EXPECT_EQ(effect.request->record.targetAddress, c.target) << c.name;
        EXPECT_EQ(effect.request->boardCount.value_or(-1), c.boardCount) << c.name;
        EXPECT_FALSE(effect.request->writeTarget) << c.name;
    }
}

TEST(SettingsRequests, RecordContents) {
    SettingsPageModel model = Active();
    model.chooseType(5);
    model.setEntryText(EntryBox::InitAddress, "0104");
    RequestRecord r = model.setInitAddress().request->record;
    EXPECT_EQ(r.newAddress, "104");
    EXPECT_EQ(model.view().entries[0], "104");
    EXPECT_EQ(r.typeLetters, (std::array<uint8_t, 2>{'P', 'M'}));

    r = model.resetAll().request->record;
    EXPECT_EQ(r.newAddress, "65534");
    EXPECT_EQ(r.typeLetters, (std::array<uint8_t, 2>{'E', 'M'}));

    model.chooseSensor(0, 3);  // "15"
    model.chooseSensor(1, 2);  // "5"
    model.chooseSensor(2, 2);  // "TH"
    model.selectSetEntry(0);
    EXPECT_EQ(model.writeSensors().request->record.sensorSettings,
              (std::array<uint8_t, 3>{1, 6, 8}));

    model.onEvent(kEventFlagsRead, 0, {{}, {1, 0, 1}, 0, ""});
    EXPECT_EQ(model.view().axisChecks, (std::array<bool, 3>{true, false, true}));
    model.setAxisCheck(1, true);
    EXPECT_EQ(model.writeAxis().request->record.axisFlags, (std::array<uint8_t, 3>{1, 1, 1}));
    EXPECT_FALSE(model.view().axisChecksEnabled);

    // The empty set: the message, and "--" in the sensor selectors.
    SettingsPageModel empty;
    empty.activate({}, true);
    empty.chooseSensor(0, 3);
    for (auto act : {&SettingsPageModel::readSensors, &SettingsPageModel::writeSensors,
                     &SettingsPageModel::readAxis, &SettingsPageModel::writeAxis}) {
        const SettingsEffect effect = (empty.*act)();
        EXPECT_EQ(effect.note->text, kEmptySetText);
        EXPECT_EQ(effect.note->seconds, 2);
        EXPECT_FALSE(effect.request);
    }
    EXPECT_EQ(empty.view().sensorEntries, (std::array<int, 3>{0, 0, 0}));
}

TEST(SettingsEvents, WhatEachEventShows) {
    SettingsPageModel model = Active();
    model.setEntryText(EntryBox::InitAddress, "104");
    model.setInitAddress();
    model.onEvent(kEventAddressChanged, 0, {});
    EXPECT_EQ(model.view().initColour, BoxColour::Green);
    EXPECT_EQ(model.view().newColour, BoxColour::White);

    model.setEntryText(EntryBox::OldAddress, "101");
    model.setEntryText(EntryBox::NewAddress, "110");
    model.changeAddress();
    EXPECT_EQ(model.view().initColour, BoxColour::White);
    model.onEvent(kEventAddressChanged, 0, {});
    EXPECT_EQ(model.view().newColour, BoxColour::Green);
    model.onEvent(kEventAddressChangeGaveUp, 0, {});
    EXPECT_EQ(model.view().initColour, BoxColour::LightRed);
    EXPECT_EQ(model.view().newColour, BoxColour::LightRed);
    // A board already answers at the address asked for: that box turns light red.
    model.changeAddress();
    model.onEvent(kEventAddressInUse, 110, {});
    EXPECT_EQ(model.view().initColour, BoxColour::White);
    EXPECT_EQ(model.view().newColour, BoxColour::LightRed);
    model.setInitAddress();
    model.onEvent(kEventAddressInUse, 104, {});
    EXPECT_EQ(model.view().initColour, BoxColour::LightRed);
    EXPECT_EQ(model.view().newColour, BoxColour::White);
    model.onEvent(kEventAddressesReset, 13, {});
    EXPECT_EQ(model.view().initColour, BoxColour::LightBlue);

    model.onEvent(kEventSettingsRead, 1, {{4, 9, 8}, {}, 0, ""});
    EXPECT_EQ(model.view().sensorRead, "<-");
    EXPECT_EQ(model.view().sensorEntries, (std::array<int, 3>{6, 0, 2}));  // 9 is no code
    model.onEvent(kEventSettingsReadFailed, 1, {});
    EXPECT_EQ(model.view().sensorRead, "X");
    EXPECT_EQ(model.view().sensorEntries, (std::array<int, 3>{0, 0, 0}));
    model.onEvent(kEventSettingsWritten, 1, {{}, {}, 3, ""});
    EXPECT_EQ(model.view().sensorWrite, "1");
    model.onEvent(kEventSettingsWritten, 3, {{}, {}, 3, ""});
    EXPECT_EQ(model.view().sensorWrite, "OK");

    EXPECT_TRUE(model.view().axisHintVisible);
    EXPECT_FALSE(model.view().axisChecksVisible);
    model.onEvent(kEventFlagsRead, 0, {{}, {0, 1, 0}, 0, ""});
    EXPECT_EQ(model.view().axisRead, "<-");
    EXPECT_FALSE(model.view().axisHintVisible);
    EXPECT_TRUE(model.view().axisChecksVisible);
    model.onEvent(kEventFlagsWritten, 3, {{}, {}, 3, ""});
    EXPECT_EQ(model.view().axisWrite, "OK");
    EXPECT_TRUE(model.view().axisChecksEnabled);

    // No answer: the status box flashes the address until the next request.
    model.onEvent(kEventNoBoard, kEventNoBoard, {{}, {}, 3, "109"});
    EXPECT_EQ(model.view().status, "109");
    EXPECT_TRUE(model.view().flashing);
    EXPECT_FALSE(model.view().redPhase);
    model.flashTick();
    EXPECT_TRUE(model.view().redPhase);
    model.flashTick();
    EXPECT_FALSE(model.view().redPhase);
    model.flashTick();
    model.selectSetEntry(0);
    model.readAxis();
    EXPECT_EQ(model.view().status, "");
    EXPECT_FALSE(model.view().flashing || model.view().redPhase);

    // Leaving stops the flashing; coming back empties the box and restores the axis hint.
    model.onEvent(kEventNoBoard, kEventNoBoard, {{}, {}, 3, "109"});
    model.deactivate();
    EXPECT_FALSE(model.view().flashing);
    model.activate(model.lists(), true);
    EXPECT_EQ(model.view().status, "");
    EXPECT_TRUE(model.view().axisHintVisible);
    EXPECT_EQ(model.view().axisRead, "?");
    EXPECT_EQ(model.view().typeCaption, "Type (Set to All)");
    EXPECT_EQ(model.view().axisCaption, "Axis Settings (Set to All)");
    EXPECT_EQ(model.activationRequest().code, kTriggerOffRequest);
    EXPECT_EQ(model.modeZero().code, kModeZeroRequest);
}

}  // namespace
}  // namespace clinora
