// The command line of clinora-cli: what runs, and what is refused as bad usage.
#include "cli_options.h"

#include <gtest/gtest.h>

#include "words.h"

namespace clinora::cli {
namespace {

using Kind = ParsedArguments::Kind;
using testing::Words;

TEST(CliArguments, RefusedWithAReason) {
    const struct {
        const char* line;
        const char* reason;  // part of the message
    } cases[] = {
        {"", "no command"},
        {"frobnicate", "unknown command 'frobnicate'"},
        {"identify", "identify needs --address"},
        {"identify --address", "--address needs a value"},
        {"identify --address 65536", "bad address '65536'"},
        {"identify --address -1", "bad address '-1'"},
        {"identify --address 1e3", "bad address '1e3'"},
        {"identify --address 101 --interval 5", "--interval does not apply to identify"},
        {"identify --address 101 extra", "unexpected argument 'extra'"},
        {"identify --address 101 --address 102", "--address is given twice"},
        {"monitor --interval 1", "Interval out of range: 2 to 60 seconds."},
        {"monitor --interval 61", "Interval out of range"},
        {"monitor --interval 5s", "Interval out of range"},
        {"monitor --units furlongs", "--units takes deg, sine, volts or counts"},
        {"monitor --count 0", "--count needs a whole number"},
        {"monitor --log=", "--log needs a file name"},
        {"monitor --simulate=yes", "--simulate takes no value"},
        {"upload --address 101", "upload needs FILE"},
        {"upload cal.csv", "upload needs --address"},
        {"upload cal.csv --address 101 --axis C", "--axis takes A or B"},
        {"verify cal.csv --address 101 --biaxial", "--biaxial does not apply to verify"},
        {"set-address 101", "set-address needs OLD and NEW"},
        {"set-address 101 65535", "the new address cannot be 65535"},
        {"set-address 70000 101", "bad address '70000'"},
        // The broadcast address reaches every board: never a target.
        {"upload cal.csv --address 65535", "65535 reaches every board on the bus: upload"},
        {"verify cal.csv --address 65535", "65535 reaches every board on the bus: verify"},
        {"set-address 65535 101", "65535 reaches every board on the bus: set-address"},
        {"verify cal.csv --address 101 --no-verify", "--no-verify does not apply to verify"},
        {"unlock", "unlock needs --port PATH"},
        {"ports --port /dev/ttyUSB0 --simulate", "cannot be used together"},
        {"ports -x", "unknown option '-x'"},
    };
    for (const auto& c : cases) {
        const ParsedArguments parsed = ParseArguments(Words(c.line));
        EXPECT_EQ(parsed.kind, Kind::UsageError) << c.line;
        EXPECT_NE(parsed.error.find(c.reason), std::string::npos)
            << c.line << " gave: " << parsed.error;
    }
}

TEST(CliArguments, HelpAndVersionWinAnywhereBeforeTheEndOfOptions) {
    EXPECT_EQ(ParseArguments(Words("--help")).kind, Kind::Help);
    EXPECT_EQ(ParseArguments(Words("frobnicate -h")).kind, Kind::Help);
    EXPECT_EQ(ParseArguments(Words("identify --version")).kind, Kind::Version);
    EXPECT_EQ(ParseArguments(Words("verify --address 1 -- --help")).options.file, "--help");
}

TEST(CliArguments, RunsWithTheValuesGiven) {
    auto run = [](const std::string& line) {
        const ParsedArguments parsed = ParseArguments(Words(line));
        EXPECT_EQ(parsed.kind, Kind::Run) << line << ": " << parsed.error;
        return parsed.options;
    };
    CliOptions o =
        run("--simulate monitor --address=00101 --interval 60 --units volts "
            "--log run.csv --count 3");
    EXPECT_EQ(o.command, Command::Monitor);
    EXPECT_TRUE(o.simulate);
    EXPECT_EQ(o.address, "101");  // as the boards take it
    EXPECT_EQ(o.intervalSeconds, 60);
    EXPECT_EQ(o.units, Units::Volts);
    EXPECT_EQ(o.logFile, "run.csv");
    EXPECT_EQ(o.count, 3);

    o = run("monitor");
    EXPECT_EQ(o.address, "");  // any board, on the broadcast address
    EXPECT_EQ(o.intervalSeconds, 2);
    EXPECT_EQ(o.units, Units::Degrees);
    EXPECT_EQ(o.count, 0);

    o = run("upload data.csv --address 0 --biaxial --axis b --port /dev/pts/4");
    EXPECT_EQ(o.command, Command::Upload);
    EXPECT_EQ(o.file, "data.csv");
    EXPECT_EQ(o.address, "0");
    EXPECT_TRUE(o.biaxial);
    EXPECT_EQ(o.axis, 0);
    EXPECT_EQ(o.port, "/dev/pts/4");
    EXPECT_TRUE(o.verifyAfter);  // an upload is read back unless told not to
    EXPECT_FALSE(o.force);
    o = run("upload data.csv --address 7 --no-verify --force");
    EXPECT_FALSE(o.verifyAfter);
    EXPECT_TRUE(o.force);

    o = run("set-address 65534 65533");
    EXPECT_EQ(o.address, "65534");
    EXPECT_EQ(o.newAddress, "65533");
    EXPECT_EQ(run("identify --address 65535").address, "65535");  // reading only
    EXPECT_EQ(run("unlock --port /dev/ttyUSB0").command, Command::Unlock);
}

}  // namespace
}  // namespace clinora::cli
