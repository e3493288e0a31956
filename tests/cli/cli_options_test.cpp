// The command line of clinora-cli: what runs, and what is refused as bad usage.
#include "cli_options.h"

#include <gtest/gtest.h>

#include "records/utc_time.h"
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
        {"records", "records needs one of: list, show, check, import, sync"},
        {"records fly", "unknown command 'records fly'"},
        {"records show", "records show needs UUID"},
        {"records sync", "records sync needs --history-server URI"},
        {"records list --format xml", "--format takes table, csv or json"},
        {"records list --since yesterday", "--since takes a date YYYY-MM-DD"},
        {"records list --workdir=", "--workdir needs a value"},
        {"identify --address 1 --workdir w", "--workdir does not apply to identify"},
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
    EXPECT_FALSE(ParseArguments(Words("frobnicate -h")).helpFor);
    EXPECT_EQ(ParseArguments(Words("identify --version")).kind, Kind::Version);
    EXPECT_EQ(ParseArguments(Words("verify --address 1 -- --help")).options.file, "--help");
}

// Help beside a command is that command's: its usage line and every option
// it takes, and none that it does not.
TEST(CliArguments, EachCommandHasHelpOfItsOwn) {
    struct Case {
        const char* line;
        Command command;
        std::vector<std::string> has, hasNot;
    };
    const Case cases[] = {
        {"upload --help",
         Command::Upload,
         {"upload FILE --address A", "--axis A|B", "--biaxial", "--port PATH", "--simulate"},
         {"--interval", "--units"}},
        {"--simulate monitor -h --count 3",
         Command::Monitor,
         {"monitor [--address A]", "--interval S", "--units U", "--log FILE", "--count N"},
         {"--biaxial", "--axis"}},
        {"set-address --help",
         Command::SetAddress,
         {"set-address OLD NEW", "65535"},
         {"--address"}},
        {"records list --help",
         Command::RecordsList,
         {"records list [--serial SN]", "--since DATE", "--format F", "--workdir DIR",
          "--history-server URI"},
         {"--port", "--simulate", "--biaxial"}},
        {"records import DIR --help", Command::RecordsImport, {"DIR", "--station NAME"}, {"--port"}},
    };
    for (const Case& c : cases) {
        const ParsedArguments parsed = ParseArguments(Words(c.line));
        ASSERT_EQ(parsed.kind, Kind::Help) << c.line;
        ASSERT_TRUE(parsed.helpFor) << c.line;
        EXPECT_EQ(*parsed.helpFor, c.command) << c.line;
        const std::string text = CommandUsageText(c.command);
        for (const std::string& word : c.has)
            EXPECT_NE(text.find(word), std::string::npos) << c.line << ": " << word;
        for (const std::string& word : c.hasNot)
            EXPECT_EQ(text.find(word), std::string::npos) << c.line << ": " << word;
    }
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

    o = run("records list --serial ZC-1 --address 0101 --until 2024-03-05 --format csv "
            "--workdir w --history-server postgresql://calib@labserver/clinora");
    EXPECT_EQ(o.command, Command::RecordsList);
    EXPECT_EQ(o.serial, "ZC-1");
    EXPECT_EQ(o.address, "101");
    EXPECT_EQ(o.until, records::TimeBound("2024-03-05", true));
    EXPECT_EQ(o.format, ListFormat::Csv);
    EXPECT_EQ(o.workdir, "w");
    EXPECT_EQ(o.historyServer, "postgresql://calib@labserver/clinora");
    EXPECT_EQ(run("records import old --station lab-2").importFolder, "old");
    EXPECT_EQ(run("upload f.csv --address 1 --station lab-2").station, "lab-2");
    EXPECT_EQ(run("identify --address 65535").address, "65535");  // reading only
    EXPECT_EQ(run("unlock --port /dev/ttyUSB0").command, Command::Unlock);
}

}  // namespace
}  // namespace clinora::cli
