// The exchange rules: framing, pacing, echo, error replies, deadlines.
#include <gtest/gtest.h>

#include "protocol_bench.h"

namespace clinora {
namespace {

using testing::ProtocolBench;

TEST(Exchange, EveryCommandByteIsFollowedByTenMilliseconds) {
    ProtocolBench b;
    ASSERT_TRUE(b.protocol.Transact("101", "DA", 2000));
    const auto received = b.bus.receivedLines();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].text, "@@101 DA");
    const auto& t = received[0].byteTimesMs;
    ASSERT_EQ(t.size(), 9u);  // eight characters and the carriage return
    for (size_t i = 1; i < t.size(); ++i) EXPECT_EQ(t[i] - t[i - 1], 10) << i;
}

TEST(Exchange, ReplyMustEchoTheCommand) {
    ProtocolBench b;
    b.answer("DA", {"XY 101\r\n"});
    EXPECT_FALSE(b.protocol.Transact("101", "DA", 2000));
    EXPECT_FALSE(b.protocol.TransactQuick("101", "DA"));
    b.bus.clearOverrides();
    EXPECT_TRUE(b.protocol.Transact("101", "DA", 2000));
    EXPECT_STREQ(b.protocol.reply(), "DA 101\r\n");
}

TEST(Exchange, ErrorReplyEndsTransactAtOnceButNotTransactQuick) {
    ProtocolBench b;
    b.answer("SR", {"SR ?\r\n"});
    int64_t start = b.clock.nowMs();
    EXPECT_FALSE(b.protocol.Transact("101", "SR", 2000));
    const int64_t transactTook = b.clock.nowMs() - start;
    EXPECT_LT(transactTook, 700);  // 500 ms pause, the line, one poll

    start = b.clock.nowMs();
    EXPECT_FALSE(b.protocol.TransactQuick("101", "SR"));
    const int64_t quickTook = b.clock.nowMs() - start;
    EXPECT_GE(quickTook, 2000);  // listens on for 2000 ms of silence
    EXPECT_LT(quickTook, 2300);
}

TEST(Exchange, TransactQuickFailsWhenAGoodLineFollowsAnErrorLine) {
    // A second, good line after an error line does not rescue the exchange:
    // the "?" stays in the collected text, so it ends after the silence.
    ProtocolBench b;
    b.answer("SR", {"SR ?\r\n", "SR 1,2,3\r\n"}, 300);
    const int64_t start = b.clock.nowMs();
    EXPECT_FALSE(b.protocol.TransactQuick("101", "SR"));
    EXPECT_GE(b.clock.nowMs() - start, 2300);
}

TEST(Exchange, SilenceEndsEachWaitAtItsDeadline) {
    ProtocolBench b;
    b.answer("SR", {});
    int64_t start = b.clock.nowMs();
    EXPECT_FALSE(b.protocol.TransactQuick("101", "SR"));
    // 80 ms to send "@@101 SR", the 500 ms window, overshoot of one 50 ms poll.
    EXPECT_EQ(b.clock.nowMs() - start, 80 + 500 + 50);
    start = b.clock.nowMs();
    EXPECT_FALSE(b.protocol.Transact("101", "SR", 1200));
    EXPECT_EQ(b.clock.nowMs() - start, 80 + 500 + 1200 + 50);
}

TEST(Exchange, FragmentsExtendTheDeadline) {
    ProtocolBench b;
    // Three pieces 900 ms apart: longer than Transact's 1000 ms window in all,
    // but each piece restarts it.
    b.answer("F", {"F 1", ".5", "0\r\n"}, 900);
    EXPECT_TRUE(b.protocol.Transact("101", "F", 1000));
    EXPECT_STREQ(b.protocol.reply(), "F 1.50\r\n");
    // TransactQuick: 500 ms for the first byte, then 2000 ms after each piece.
    b.answer("SR", {"SR 0.1,", "0.2,", "25.00\r\n"}, 1800);
    EXPECT_TRUE(b.protocol.TransactQuick("101", "SR"));
    b.answer("SR", {"SR 0.1,", "0.2,25.00\r\n"}, 2200);
    EXPECT_FALSE(b.protocol.TransactQuick("101", "SR"));
}

TEST(Exchange, StaleInputIsDiscardedBeforeAnExchange) {
    ProtocolBench b;
    ASSERT_TRUE(b.protocol.SendCommand("101", "SN"));  // reply left unread
    b.clock.advance(200);
    ASSERT_TRUE(b.protocol.Transact("101", "DA", 2000));
    EXPECT_STREQ(b.protocol.reply(), "DA 101\r\n");
}

TEST(Exchange, SetModeZeroHasNoAddressPrefix) {
    ProtocolBench b;
    EXPECT_TRUE(b.protocol.SetModeZero());
    EXPECT_EQ(b.lines(), std::vector<std::string>{"MODE 0"});
    EXPECT_EQ(b.bus.inspectBoard(0, [](const sim::SimBoard& s) { return s.mode(); }), 0);
}

TEST(Exchange, UnsafeAddressesAndCommandsSendNothing) {
    ProtocolBench b;
    b.setTarget("101\r@@65535 AR 60317 60317");
    EXPECT_FALSE(b.protocol.WriteEepromByte(0x41, 1));
    EXPECT_FALSE(b.protocol.ProbeDevice("1x", 1));
    EXPECT_FALSE(b.protocol.Transact("101", "SR\r@@65535 AR 60317 60317", 2000));
    EXPECT_FALSE(b.protocol.TransactQuick("123456", "SR"));
    b.setTarget("101");
    b.edit([](SharedData& d) { d.request.newAddress = "7\r@@65535 AR 60317 60317"; });
    EXPECT_FALSE(b.protocol.ChangeAddress());
    EXPECT_TRUE(b.lines().empty());
    EXPECT_EQ(b.bus.inspectBoard(0, [](const sim::SimBoard& s) { return s.address(); }), 101);
}

TEST(Exchange, ProbeRecognisesTheBannerWords) {
    ProtocolBench b;
    EXPECT_TRUE(b.protocol.ProbeDevice("101", 1));
    EXPECT_EQ(b.data().readings.unitsLabel, "Cal");
    EXPECT_EQ(b.lines(), std::vector<std::string>{"@@101 "});

    b.answer("", {"\r\ntunnel Profile gauge\r\n"});
    EXPECT_TRUE(b.protocol.ProbeDevice("101", 1));
    EXPECT_EQ(b.data().readings.unitsLabel, "mm");

    // "TUNNEL" alone without the maker word is no board of ours.
    b.answer("", {"TUNNEL monitor\r\n"});
    const int64_t start = b.clock.nowMs();
    EXPECT_FALSE(b.protocol.ProbeDevice("101", 1));
    EXPECT_EQ(b.data().readings.unitsLabel, "Cal");
    EXPECT_GE(b.clock.nowMs() - start, 2200);  // 200 ms pause and the whole 2000 ms window

    b.answer("", {"zov board\r\n"});
    EXPECT_TRUE(b.protocol.ProbeDevice("101", 1));
    b.answer("", {});
    EXPECT_FALSE(b.protocol.ProbeDevice("101", 2));

    // Each attempt judges its own answer: the start of a banner that came too
    // late for one attempt does not make up a banner with the next one's text.
    b.answer("", {"ZO", "V board\r\n"}, 2500);
    EXPECT_FALSE(b.protocol.ProbeDevice("101", 3));
}

TEST(Exchange, TheAddressQueryIsAskedThreeTimesWhenRepliesGetLost) {
    ProtocolBench b;
    b.protocol.setRepeatAttempts(3);
    b.bus.mishearNextLine("@@65535 DA", "@@65535 DA", false);
    EXPECT_TRUE(b.protocol.QueryAddress());
    EXPECT_EQ(b.lines(), (std::vector<std::string>{"@@65535 DA", "@@65535 DA"}));
    b.bus.setDropRate(1.0);
    b.bus.clearReceivedLines();
    EXPECT_FALSE(b.protocol.QueryAddress());
    EXPECT_EQ(b.lines().size(), 3u);
}

// Opening the port ends whatever line another program left half sent: the
// boards hear a bare line end, and their answer to the completed line is
// dropped before the first exchange.
TEST(Exchange, OpeningThePortEndsAHalfSentLine) {
    ProtocolBench b;
    for (char c : std::string("@@101 S")) b.port.WriteByte(static_cast<uint8_t>(c));
    b.port.Close();  // the line is left half sent
    ASSERT_TRUE(b.protocol.OpenPort(115200));
    EXPECT_EQ(b.bus.partialLine(), "");
    ASSERT_TRUE(b.protocol.Transact("101", "DA", 2000));
    EXPECT_STREQ(b.protocol.reply(), "DA 101\r\n");
    EXPECT_EQ(b.lines(), (std::vector<std::string>{"@@101 S", "@@101 DA"}));
}

TEST(Exchange, GarbledAndDroppedRepliesFailWithoutHanging) {
    ProtocolBench b;
    b.bus.setGarbleRate(1.0);
    EXPECT_FALSE(b.protocol.Transact("101", "DA", 2000));
    b.bus.setGarbleRate(0.0);
    b.bus.setDropRate(1.0);
    EXPECT_FALSE(b.protocol.TransactQuick("101", "SR"));
    b.bus.clearFaults();
    EXPECT_TRUE(b.protocol.TransactQuick("101", "SR"));
}

}  // namespace
}  // namespace clinora
