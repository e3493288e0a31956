#include "sim/sim_board.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace clinora::sim {
namespace {

constexpr int64_t kReady = 5000;  // well after the warm-up

std::string Ask(SimBoard& board, const std::string& command, int64_t nowMs = kReady,
                const Fixture& fixture = {}) {
    return board.handle(command, fixture, nowMs).value_or("<none>");
}

// The three fields of an "SR" reply.
struct Reading {
    std::string a, b, t;
};
Reading Fields(const std::string& reply) {
    EXPECT_EQ(reply.substr(0, 3), "SR ");
    EXPECT_EQ(reply.substr(reply.size() - 2), "\r\n");
    const std::string body = reply.substr(3, reply.size() - 5);
    const size_t c1 = body.find(','), c2 = body.find(',', c1 + 1);
    return {body.substr(0, c1), body.substr(c1 + 1, c2 - c1 - 1), body.substr(c2 + 1)};
}

double Sine(double deg) { return std::sin(deg * kPi / 180.0); }

TEST(SimBoard, FactoryConstantsReadTheSineInEveryUnit) {
    SimBoard board(VariedBoard("101", 7), 0);
    const Fixture f{20.0, -35.0, 25.0};
    // Factory default units: calibrated sine, within the noise.
    Reading r = Fields(Ask(board, "SR", kReady, f));
    EXPECT_NEAR(std::atof(r.a.c_str()), Sine(20.0), 5e-4);
    EXPECT_NEAR(std::atof(r.b.c_str()), Sine(-35.0), 5e-4);
    EXPECT_NEAR(std::atof(r.t.c_str()), 25.0, 0.011);
    EXPECT_EQ(r.a.size(), std::string("0.342020").size());

    EXPECT_EQ(Ask(board, "RU 1"), "RU 1\r\n");
    r = Fields(Ask(board, "SR", kReady, f));
    const double va = AxisVolts(board.config().axisA, 20.0, 25.0);
    EXPECT_NEAR(std::atof(r.a.c_str()), va, kMaxNoiseVolts + 1e-5);
    EXPECT_EQ(r.a.find('.'), r.a.size() - 6);  // five decimals

    EXPECT_EQ(Ask(board, "RU 0"), "RU 0\r\n");
    r = Fields(Ask(board, "SR", kReady, f));
    EXPECT_EQ(r.a.find('.'), std::string::npos);
    EXPECT_NEAR(std::atol(r.a.c_str()), va / 5.0 * 65535, 10);

    EXPECT_EQ(Ask(board, "RU 3"), "RU 3 ?\r\n");
    EXPECT_EQ(Ask(board, "RU"), "RU ?\r\n");
    EXPECT_EQ(board.units(), kUnitsCounts);
}

TEST(SimBoard, NoMeasurementDuringWarmUpAndAfterSingleTrigger) {
    SimBoard board(VariedBoard("101", 1), 1000);
    EXPECT_EQ(Fields(Ask(board, "SR", 1999)).a, "NAN");
    EXPECT_EQ(Fields(Ask(board, "SR", 1999)).b, "NAN");
    EXPECT_NE(Fields(Ask(board, "SR", 1999)).t, "NAN");
    EXPECT_NE(Fields(Ask(board, "SR", 2000)).a, "NAN");

    EXPECT_EQ(Ask(board, "TR", 3000), "TR\r\n");
    EXPECT_EQ(board.triggerMode(), TriggerMode::Single);
    EXPECT_EQ(Fields(Ask(board, "SR", 3199)).a, "NAN");
    EXPECT_NE(Fields(Ask(board, "SR", 3200)).a, "NAN");

    // Continuous and stopped modes keep measuring.
    EXPECT_EQ(Ask(board, "TR 1", 4000), "TR 1\r\n");
    EXPECT_NE(Fields(Ask(board, "SR", 4001)).a, "NAN");
    EXPECT_EQ(Ask(board, "TR 0", 4002), "TR 0\r\n");
    EXPECT_EQ(board.triggerMode(), TriggerMode::Stopped);
    EXPECT_NE(Fields(Ask(board, "SR", 4003)).a, "NAN");
    EXPECT_EQ(Ask(board, "TR 2"), "TR 2 ?\r\n");

    board.powerUp(6000);
    EXPECT_EQ(Fields(Ask(board, "SR", 6999)).a, "NAN");
}

TEST(SimBoard, MemoryWritesReadBackAndTakeEffectAfterInit) {
    SimBoard board(VariedBoard("101", 3), 0);
    const BoardMemory& m = board.memory();
    EXPECT_EQ(m.get(0x50), 1);
    EXPECT_EQ(m.get(0x52), 3);
    EXPECT_EQ(m.get(kChecksumCellA), AxisChecksum(m.constants(kConstantsCellA)));
    EXPECT_EQ(m.get(kChecksumCellB), AxisChecksum(m.constants(kConstantsCellB)));

    EXPECT_EQ(Ask(board, "WE 41 7"), "WE 41 7\r\n");
    EXPECT_EQ(Ask(board, "RE 41"), "RE 41 07\r\n");
    EXPECT_EQ(Ask(board, "WE 4A C8"), "WE 4A C8\r\n");
    EXPECT_EQ(Ask(board, "RE 4A"), "RE 4A C8\r\n");

    // Axis A becomes sine = 0.5 * volts, but only once "I" reloads the constants.
    const Fixture f{30.0, 0.0, 25.0};
    const double before = std::atof(Fields(Ask(board, "SR", kReady, f)).a.c_str());
    EXPECT_EQ(Ask(board, "WM 70 4 0 0 0 0"), "WM 70 4 0 0 0 0\r\n");
    EXPECT_EQ(Ask(board, "WM 74 4 0 0 0 3F"), "WM 74 4 0 0 0 3F\r\n");
    for (int cell = 0x78; cell <= 0x8C; cell += 4) {
        char cmd[32];
        std::snprintf(cmd, sizeof cmd, "WM %X 4 0 0 0 0", cell);
        ASSERT_EQ(Ask(board, cmd), std::string(cmd) + "\r\n");
    }
    EXPECT_EQ(m.getFloat(0x74), 0.5f);
    EXPECT_EQ(Ask(board, "RE 77"), "RE 77 3F\r\n");
    EXPECT_NEAR(std::atof(Fields(Ask(board, "SR", kReady, f)).a.c_str()), before, 1e-3);
    EXPECT_EQ(Ask(board, "I"), "I\r\n");
    const double volts = AxisVolts(board.config().axisA, 30.0, 25.0);
    EXPECT_NEAR(std::atof(Fields(Ask(board, "SR", kReady, f)).a.c_str()), 0.5 * volts, 1e-3);

    // Malformed memory commands change nothing and are refused.
    for (const char* bad : {"RE 100", "RE", "RE zz", "WE 41", "WE 41 100", "WM 70 4 0 0",
                            "WM FE 4 0 0 0 0", "WM 70 0", "RE 41 1"}) {
        EXPECT_EQ(Ask(board, bad), std::string(bad) + " ?\r\n") << bad;
    }
    EXPECT_EQ(m.get(0x41), 7);
    EXPECT_EQ(m.get(0xFE), 0xFF);
}

TEST(SimBoard, AddressChangeNeedsThePasswordRightBefore) {
    SimBoard board(BoardConfig{}, 0);
    EXPECT_EQ(Ask(board, "DA"), "DA 65534\r\n");
    EXPECT_EQ(Ask(board, "DA 200 200"), "DA 200 200 ?\r\n");
    EXPECT_EQ(Ask(board, "PSW *KOLA_VEX_MIR*"), "<none>");
    EXPECT_EQ(Ask(board, "DA 200 200"), "DA 200\r\n");
    EXPECT_EQ(board.address(), 200);
    EXPECT_TRUE(board.actsOn(200));
    EXPECT_TRUE(board.actsOn(65535));
    EXPECT_FALSE(board.actsOn(65534));

    EXPECT_EQ(Ask(board, "DA 300 300"), "DA 300 300 ?\r\n");  // the unlock was used up
    Ask(board, "PSW *KOLA_VEX_MIR*");
    Ask(board, "SR");
    EXPECT_EQ(Ask(board, "DA 300 300"), "DA 300 300 ?\r\n");  // another command came between
    for (const char* bad : {"DA 5 6", "DA 0 0", "DA 65534 65534", "DA x x", "DA 7"}) {
        Ask(board, "PSW *KOLA_VEX_MIR*");
        EXPECT_EQ(Ask(board, bad), std::string(bad) + " ?\r\n") << bad;
    }
    EXPECT_EQ(Ask(board, "PSW wrong"), "PSW wrong ?\r\n");
    EXPECT_EQ(board.address(), 200);

    EXPECT_EQ(Ask(board, "AR 1 2"), "AR 1 2 ?\r\n");
    EXPECT_EQ(Ask(board, "AR 60317 60317"), "<none>");
    EXPECT_EQ(board.address(), 65534);
}

TEST(SimBoard, IdentityBannerAndUnknownCommands) {
    BoardConfig c = VariedBoard("101", 4);
    SimBoard board(c, 0);
    EXPECT_EQ(Ask(board, ""), "ZOV Instruments CLINORA V1.50\r\n");
    EXPECT_EQ(Ask(board, "F"), "F 1.50\r\n");
    EXPECT_EQ(Ask(board, "SN"), "SN " + c.serial + "\r\n");
    EXPECT_EQ(Ask(board, "BR"), "BR 2.00,2\r\n");
    EXPECT_EQ(Ask(board, "XYZ 1"), "XYZ 1 ?\r\n");
    EXPECT_EQ(Ask(board, "sr"), "sr ?\r\n");
    board.handleUnaddressed("MODE 0");
    EXPECT_EQ(board.mode(), 0);

    c.tunnelProfile = true;
    SimBoard tunnel(c, 0);
    std::string banner = Ask(tunnel, "");
    for (char& ch : banner) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    EXPECT_NE(banner.find("TUNNEL"), std::string::npos);
    EXPECT_NE(banner.find("PROFILE"), std::string::npos);
    EXPECT_EQ(banner.find("ZOV"), std::string::npos);
    const Reading r = Fields(Ask(tunnel, "SR", kReady, Fixture{0.0, 10.0, 25.0}));
    EXPECT_NEAR(std::atof(r.b.c_str()), 1000.0 * Sine(10.0), 0.5);  // millimetres
}

TEST(SimBoard, ConfigsAreVariedWithinBoundsAndSanitised) {
    for (uint32_t seed = 1; seed < 50; ++seed) {
        const AxisProfile p = VariedProfile(seed);
        EXPECT_LE(std::fabs(p.offset), kMaxOffsetVolts);
        EXPECT_LE(std::fabs(p.gain - 1.0), kMaxGainError);
        EXPECT_LE(std::fabs(p.drift), kMaxDriftVoltsPerC);
    }
    EXPECT_EQ(VariedProfile(9).offset, VariedProfile(9).offset);
    EXPECT_NE(VariedProfile(9).offset, VariedProfile(10).offset);

    BoardConfig wild;
    wild.address = "65535";
    wild.axisA.gain = 5.0;
    wild.noiseVolts = -1.0;
    wild.serial = "A\r\nB";
    const BoardConfig s = Sanitised(wild);
    EXPECT_EQ(s.address, "65534");
    EXPECT_DOUBLE_EQ(s.axisA.gain, 1.0 + kMaxGainError);
    EXPECT_EQ(s.noiseVolts, 0.0);
    EXPECT_EQ(s.serial, "AB");
    wild.address = "12x";
    EXPECT_EQ(Sanitised(wild).address, "65534");
}

}  // namespace
}  // namespace clinora::sim
