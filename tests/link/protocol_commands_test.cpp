// Commands: readings, identity, addresses, settings.
#include <gtest/gtest.h>

#include "protocol_bench.h"

namespace clinora {
namespace {

using testing::ProtocolBench;

TEST(Readings, SingleReadingInDegreesAndTemperatureUnits) {
    ProtocolBench b;
    b.answer("SR", {"SR 0.5,1.5,20\r\n"});
    ASSERT_TRUE(b.protocol.ReadSingleReading());
    auto r = b.data().readings;
    EXPECT_EQ(r.axisA, "30.000");
    EXPECT_EQ(r.axisB, "120.000");
    EXPECT_EQ(r.temperature, "20.00 \u00B0C");

    b.answer("SR", {"SR -1.5,0.5,20\r\n"});
    b.edit([](SharedData& d) { d.settings.fahrenheit = true; });
    ASSERT_TRUE(b.protocol.ReadSingleReading());
    r = b.data().readings;
    EXPECT_EQ(r.axisA, "-120.000");
    EXPECT_EQ(r.temperature, "68.00 \u00B0F");

    // Calibration mode: values as received, cut to nine characters, always Celsius.
    b.answer("SR", {"SR 2.123456789,-0.00001234,20\r\n"});
    b.edit([](SharedData& d) { d.settings.calibrationMode = true; });
    ASSERT_TRUE(b.protocol.ReadSingleReading());
    r = b.data().readings;
    EXPECT_EQ(r.axisA, "2.1234567");
    EXPECT_EQ(r.axisB, "-0.000012");
    EXPECT_EQ(r.temperature, "20.00 \u00B0C");
}

TEST(Readings, UserUnitsOtherThanDegreesAndMillimetreBoardsStayRaw) {
    ProtocolBench b;
    b.answer("SR", {"SR 0.5,12.5,20\r\n"});
    b.edit([](SharedData& d) { d.readings.unitsLabel = "mm"; });
    ASSERT_TRUE(b.protocol.ReadSingleReading());
    EXPECT_EQ(b.data().readings.axisA, "30.000");
    EXPECT_EQ(b.data().readings.axisB, "12.5");
    b.edit([](SharedData& d) { d.settings.monitorUnitsUser = 0; });
    ASSERT_TRUE(b.protocol.ReadSingleReading());
    EXPECT_EQ(b.data().readings.axisA, "0.5");
}

TEST(Readings, NanShowsWaitAndKeepsTheTemperature) {
    ProtocolBench b;
    b.answer("SR", {"SR 0.0,0.0,21.5\r\n"});
    ASSERT_TRUE(b.protocol.ReadSingleReading());
    b.bus.clearOverrides();
    b.bus.unplug();  // power cycle: no measurement during the warm-up
    b.bus.plug();
    ASSERT_TRUE(b.protocol.ReadSingleReading());
    auto r = b.data().readings;
    EXPECT_EQ(r.axisA, "Wait...");
    EXPECT_EQ(r.axisB, "Wait...");
    EXPECT_EQ(r.temperature, "21.50 \u00B0C");

    b.answer("SR", {"SR 0.5,NAN,30\r\n"});
    ASSERT_TRUE(b.protocol.ReadSingleReading());
    r = b.data().readings;
    EXPECT_EQ(r.axisA, "30.000");
    EXPECT_EQ(r.axisB, "Wait...");
    EXPECT_EQ(r.temperature, "21.50 \u00B0C");
}

TEST(Readings, FailureWritesPlaceholders) {
    ProtocolBench b;
    b.answer("SR", {});
    EXPECT_FALSE(b.protocol.ReadSingleReading());
    const auto r = b.data().readings;
    EXPECT_EQ(r.axisA, "----");
    EXPECT_EQ(r.axisB, "----");
    EXPECT_EQ(r.temperature, "--.-");
}

TEST(Readings, RealBoardTiltReachesTheDisplay) {
    ProtocolBench b;
    b.bus.setTilt(0, 15.0);
    b.bus.setTilt(1, -5.0);
    ASSERT_TRUE(b.protocol.ReadSingleReading());
    const auto r = b.data().readings;
    EXPECT_NEAR(std::stod(r.axisA), 15.0, 0.05);
    EXPECT_NEAR(std::stod(r.axisB), -5.0, 0.05);
}

TEST(Readings, BoardReadingFillsItsSlotAndTriggerTargetsTheListEntry) {
    ProtocolBench b({"101", "102", "103"});
    b.bus.setTilt(0, 30.0);
    b.edit([](SharedData& d) {
        d.request.boardList = {"101", "102", "103"};
        d.worker.currentBoardIndex = 2;
    });
    ASSERT_TRUE(b.protocol.TriggerBoard());
    EXPECT_EQ(b.data().request.targetAddress, "103");
    b.clock.advance(300);
    ASSERT_TRUE(b.protocol.ReadBoardReading());
    const auto slot = b.data().readings.boards[2];
    EXPECT_NEAR(slot.a, 0.5, 0.002);
    EXPECT_NEAR(slot.temperature, 25.0, 0.5);
    EXPECT_EQ(b.lines(), (std::vector<std::string>{"@@103 TR", "@@103 SR"}));

    // Parsing never fails an exchange; a failed one zeroes only the temperature.
    b.answer("SR", {"SR x\r\n"});
    b.edit([](SharedData& d) { d.worker.currentBoardIndex = 0; });
    ASSERT_TRUE(b.protocol.ReadBoardReading());
    EXPECT_EQ(b.data().readings.boards[0].a, 0.0);
    b.edit([](SharedData& d) { d.worker.currentBoardIndex = 2; });
    b.bus.setReplyOverride(2, "SR", {});
    EXPECT_FALSE(b.protocol.ReadBoardReading());
    EXPECT_EQ(b.data().readings.boards[2].temperature, 0.0);
    EXPECT_NEAR(b.data().readings.boards[2].a, 0.5, 0.002);

    // An index outside the list sends nothing.
    b.bus.clearReceivedLines();
    b.edit([](SharedData& d) { d.worker.currentBoardIndex = 3; });
    EXPECT_FALSE(b.protocol.ReadBoardReading());
    EXPECT_FALSE(b.protocol.TriggerBoard());
    EXPECT_TRUE(b.lines().empty());
}

TEST(Readings, UnitsAndTriggerModes) {
    ProtocolBench b;
    b.setTarget("101");
    ASSERT_TRUE(b.protocol.SetReadingUnits(1));
    EXPECT_EQ(b.data().request.targetAddress, "65535");
    EXPECT_EQ(b.bus.inspectBoard(0, [](const sim::SimBoard& s) { return s.units(); }), 1);
    ASSERT_TRUE(b.protocol.SetReadingUnits(0));
    ASSERT_TRUE(b.protocol.SetReadingUnits(7));
    ASSERT_TRUE(b.protocol.SetTriggerMode(true));
    EXPECT_EQ(b.bus.inspectBoard(0, [](const sim::SimBoard& s) { return s.triggerMode(); }),
              sim::TriggerMode::Continuous);
    ASSERT_TRUE(b.protocol.SetTriggerMode(false));
    ASSERT_TRUE(b.protocol.StopTrigger());
    EXPECT_EQ(b.bus.inspectBoard(0, [](const sim::SimBoard& s) { return s.triggerMode(); }),
              sim::TriggerMode::Stopped);
    EXPECT_EQ(b.lines(), (std::vector<std::string>{"@@65535 RU 1", "@@65535 RU 0", "@@65535 RU 1",
                                                   "@@65535 TR 1", "@@65535 TR", "@@65535 TR 0"}));
}

TEST(Addresses, QueryChangeWithPasswordAndResetAll) {
    ProtocolBench b({"65534"});
    ASSERT_TRUE(b.protocol.QueryAddress());
    EXPECT_EQ(b.data().readings.foundAddress, "65534");

    b.setTarget("65534");
    b.edit([](SharedData& d) { d.request.newAddress = "123"; });
    ASSERT_TRUE(b.protocol.ChangeAddress());
    EXPECT_EQ(b.lines(), (std::vector<std::string>{"@@65535 DA", "@@65534 PSW *KOLA_VEX_MIR*",
                                                   "@@65534 DA 123 123"}));
    EXPECT_EQ(b.bus.inspectBoard(0, [](const sim::SimBoard& s) { return s.address(); }), 123);

    // Without the password the board refuses, and the refusal is a failure.
    EXPECT_FALSE(b.protocol.Transact("123", "DA 77 77", 2000));

    // A failed query keeps the address found before.
    b.answer("DA", {});
    EXPECT_FALSE(b.protocol.QueryAddress());
    EXPECT_EQ(b.data().readings.foundAddress, "65534");
    b.answer("DA", {"DA 4711,extra\r\n"});
    ASSERT_TRUE(b.protocol.QueryAddress());
    EXPECT_EQ(b.data().readings.foundAddress, "4711");

    ASSERT_TRUE(b.protocol.ResetAllAddresses());
    EXPECT_EQ(b.lines().back(), "@@65535 AR 60317 60317");
    EXPECT_EQ(b.bus.inspectBoard(0, [](const sim::SimBoard& s) { return s.address(); }), 65534);
}

TEST(Identity, DeviceInfoKeepsValuesOfFailedExchanges) {
    ProtocolBench b;
    ASSERT_TRUE(b.protocol.ReadDeviceInfo());
    auto r = b.data().readings;
    EXPECT_FLOAT_EQ(r.firmwareVersion, 1.5f);
    EXPECT_FLOAT_EQ(r.boardRevision, 2.0f);
    EXPECT_FALSE(r.serialNumber.empty());
    const std::string serial = r.serialNumber;

    b.answer("SN", {});
    b.answer("BR", {"BR 3.25\r\n"});
    EXPECT_FALSE(b.protocol.ReadDeviceInfo());
    r = b.data().readings;
    EXPECT_EQ(r.serialNumber, serial);
    EXPECT_FLOAT_EQ(r.boardRevision, 3.25f);
    EXPECT_EQ(b.lines().size(), 6u);  // all three asked both times
}

TEST(Identity, VersionsBeyondAFloatReadAsZero) {
    ProtocolBench b;
    b.answer("F", {"F 1e300\r\n"});
    b.answer("BR", {"BR -4e38,1\r\n"});
    ASSERT_TRUE(b.protocol.ReadDeviceInfo());
    EXPECT_EQ(b.data().readings.firmwareVersion, 0.0f);
    EXPECT_EQ(b.data().readings.boardRevision, 0.0f);
}

TEST(Settings, TypeCodeSensorSettingsAndAxisFlagsRoundTrip) {
    ProtocolBench b;
    b.setTarget("101");
    b.edit([](SharedData& d) {
        d.request.typeLetters = {'E', 'M'};
        d.request.sensorSettings = {3, 0x2A, 0xFF};
        d.request.axisFlags = {1, 0, 1};
        d.worker.boardCount = 4;
    });
    ASSERT_TRUE(b.protocol.WriteTypeCode());
    EXPECT_EQ(b.lines(), (std::vector<std::string>{"@@101 WE 1 45", "@@101 WE 2 4D"}));
    EXPECT_EQ(b.memory(0, 1), 'E');
    EXPECT_EQ(b.memory(0, 2), 'M');

    ASSERT_TRUE(b.protocol.WriteSensorSettings(0));
    EXPECT_EQ(b.memory(0, 0x42), 0x2A);
    EXPECT_EQ(b.data().worker.currentBoardIndex, 3);  // one board only: the loop ends
    ASSERT_TRUE(b.protocol.WriteAxisFlags(0));
    b.edit([](SharedData& d) {
        d.readings.sensorSettings = {};
        d.readings.axisFlags = {};
    });
    ASSERT_TRUE(b.protocol.ReadSensorSettings());
    ASSERT_TRUE(b.protocol.ReadAxisFlags());
    const auto r = b.data().readings;
    EXPECT_EQ(r.sensorSettings, (std::array<uint8_t, 3>{3, 0x2A, 0xFF}));
    EXPECT_EQ(r.axisFlags, (std::array<uint8_t, 3>{1, 0, 1}));

    // A flag byte other than 1 reads as 0; the first failure stops the read.
    b.answer("RE 4A", {"RE 4A 7\r\n"});
    b.answer("RE 4B", {});
    EXPECT_FALSE(b.protocol.ReadAxisFlags());
    EXPECT_EQ(b.data().readings.axisFlags, (std::array<uint8_t, 3>{1, 0, 1}));
}

TEST(Settings, WriteToAllTakesTheCurrentAddressListEntry) {
    ProtocolBench b({"101", "102"});
    b.setTarget("101");
    b.edit([](SharedData& d) {
        d.settings.setTypeToAll = true;
        d.currentAddresses = {"101", "102"};
        d.request.sensorSettings = {9, 8, 7};
    });
    ASSERT_TRUE(b.protocol.WriteSensorSettings(1));
    EXPECT_EQ(b.data().request.targetAddress, "102");
    EXPECT_EQ(b.memory(1, 0x41), 9);
    EXPECT_NE(b.memory(0, 0x41), 9);
    EXPECT_EQ(b.lines().back(), "@@102 I");
    EXPECT_FALSE(b.protocol.WriteSensorSettings(2));  // outside the list
}

}  // namespace
}  // namespace clinora
