// The commands of clinora-cli on the simulated demo boards, on virtual time:
// a whole upload and verify takes milliseconds.
#include "cli_commands.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli_bus.h"
#include "records/record_builders.h"
#include "records/sample_runs.h"
#include "sim/demo_bus.h"
#include "temp_folder.h"
#include "words.h"

namespace clinora::cli {
namespace {

using clinora::testing::TempFolder;

// Runs command lines as separate runs of the tool would, on one simulated bus.
struct CliRig {
    VirtualClock clock;
    std::unique_ptr<sim::SimBus> bus = sim::MakeDemoBus(clock);
    std::ostringstream out, err;

    // Ctrl-C (or `signal`) arrives once the bus has received `lines` lines.
    size_t stopAfterLines = 0;
    int signal = SIGINT;
    std::vector<std::string> secondStopNotes;  // what a second signal would have said

    int run(const std::string& line) {
        out.str("");
        err.str("");
        secondStopNotes.clear();
        const ParsedArguments parsed = ParseArguments(testing::Words("--simulate " + line));
        EXPECT_EQ(parsed.kind, ParsedArguments::Kind::Run) << line << ": " << parsed.error;
        CliBus cliBus(*bus, clock, "simulated-bus");
        CliIo io{out, err, false, {}, {}, {}};
        if (stopAfterLines > 0) {
            io.stopRequested = [this] { return bus->receivedLines().size() >= stopAfterLines; };
            io.stopSignal = [this] { return signal; };
            io.secondStopNote = [this](const std::string& note) {
                secondStopNotes.push_back(note);
            };
        }
        return RunCommand(parsed.options, cliBus, io);
    }
    bool said(const std::string& text) const { return err.str().find(text) != std::string::npos; }
    sim::AxisConstants constants(size_t board, uint8_t base) const {
        return bus->inspectBoard(
            board, [&](const sim::SimBoard& b) { return b.memory().constants(base); });
    }
};

std::string Read(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The golden calibration data file, copied under `name` with `from` replaced by `to`.
std::string CalFile(const TempFolder& folder, const std::string& name, const std::string& from = "",
                    const std::string& to = "") {
    std::string text = Read(CLINORA_TEST_DATA "/calib/cal_a_n11.csv");
    if (!from.empty()) text.replace(text.find(from), from.size(), to);
    std::ofstream(folder / name, std::ios::binary) << text;
    return (folder / name).string();
}

const sim::AxisConstants kFileA = {-1.25f, 0.5f,      1e-4f,    -2.4e-6f,
                                   0.0f,   3.125e-8f, 1.23e-2f, -4.5e-4f};
const sim::AxisConstants kFileB = {2e-3f, 0.499f, -2e-4f, 0.0f, 1.5e-6f, 0.0f, -7.1e-3f, 2e-4f};

TEST(CliCommands, IdentifyTellsTheIdentityOfTheBoardAsked) {
    CliRig rig;
    EXPECT_EQ(rig.run("identify --address 102"), kExitOk) << rig.err.str();
    EXPECT_EQ(rig.out.str(),
              "Firmware ver : 1.500\nBoard rev : 2.000\nSerial Number : ZC-000002\n");
    EXPECT_EQ(rig.run("identify --address 109"), kExitFailure);
    EXPECT_TRUE(rig.said("no board answered at address 109 on simulated-bus")) << rig.err.str();
    EXPECT_EQ(rig.out.str(), "");
}

TEST(CliCommands, UploadThenVerifyAndAChangedFileFailsToVerify) {
    TempFolder folder;
    CliRig rig;
    const std::string file = CalFile(folder, "00101_CAL_DATA_AXIS_A_01-02-25.csv");
    ASSERT_EQ(rig.run("upload " + file + " --address 101"), kExitOk) << rig.err.str();
    EXPECT_TRUE(rig.said("Writing board # 101: 0%\n")) << rig.err.str();
    EXPECT_TRUE(rig.said("Writing board # 101: 100%\nSuccess writing\n")) << rig.err.str();
    EXPECT_EQ(rig.constants(0, sim::kConstantsCellA), kFileA);

    EXPECT_EQ(rig.run("verify " + file + " --address 101"), kExitOk) << rig.err.str();
    EXPECT_TRUE(rig.said("Verifying board # 101: 100%\nSuccess verifying\n")) << rig.err.str();

    // A1 differs: one board gives up after three failed attempts.
    const std::string changed = CalFile(folder, "changed.csv", "A1,5.0", "A1,5.1");
    EXPECT_EQ(rig.run("verify " + changed + " --address 101"), kExitFailure);
    EXPECT_TRUE(rig.said("1 errors verifying # 101; trying again\n")) << rig.err.str();
    EXPECT_TRUE(rig.said("2 errors verifying # 101; trying again\n")) << rig.err.str();
    EXPECT_TRUE(rig.said("Error verifying # 101\n")) << rig.err.str();
    EXPECT_TRUE(rig.said("board 101 does not hold the constants of")) << rig.err.str();
}

TEST(CliCommands, TheAxisComesFromTheFileNameOrTheOptions) {
    TempFolder folder;
    CliRig rig;
    const std::string fileB = CalFile(folder, "00102_CAL_DATA_AXIS_B_01-02-25.csv");
    const sim::AxisConstants factoryA = rig.constants(1, sim::kConstantsCellA);
    ASSERT_EQ(rig.run("upload " + fileB + " --address 102"), kExitOk) << rig.err.str();
    EXPECT_TRUE(rig.said("Success writing\n")) << rig.err.str();
    EXPECT_TRUE(rig.said("Success verifying\n")) << rig.err.str();  // read back by default
    EXPECT_EQ(rig.constants(1, sim::kConstantsCellB), kFileB);
    EXPECT_EQ(rig.constants(1, sim::kConstantsCellA), factoryA);
    EXPECT_EQ(rig.run("verify " + fileB + " --address 102"), kExitOk) << rig.err.str();

    // Both axes from a file named for board 102 go to board 103 only when forced.
    EXPECT_EQ(rig.run("upload " + fileB + " --address 103 --biaxial"), kExitFailure);
    EXPECT_TRUE(rig.said("is named for board 102, not board 103 (--force takes it all the same)"))
        << rig.err.str();
    ASSERT_EQ(rig.run("upload " + fileB + " --address 103 --biaxial --force"), kExitOk)
        << rig.err.str();
    EXPECT_TRUE(rig.said("Writing the axes A and B constants")) << rig.err.str();
    EXPECT_EQ(rig.constants(2, sim::kConstantsCellA), kFileA);
    EXPECT_EQ(rig.constants(2, sim::kConstantsCellB), kFileB);
}

// A file read with all its constants replaced by zero for one axis.
std::string ZeroAxisA(const TempFolder& folder, const std::string& name) {
    std::string text = Read(CLINORA_TEST_DATA "/calib/cal_a_n11.csv");
    for (const char* line :
         {"A0,-1.250000e+00", "A1,5.000000e-01", "A2,1.000000e-04", "Cross Axis,1.230000e-02",
          "Cross Axis X2,-4.500000e-04", "A3,-2.400000e-06", "A5,3.125000e-08"}) {
        const std::string from = line;
        text.replace(text.find(from), from.size(), from.substr(0, from.find(',')) + ",0");
    }
    std::ofstream(folder / name, std::ios::binary) << text;
    return (folder / name).string();
}

TEST(CliCommands, FileProblemsEndTheRunBeforeTheBusIsUsed) {
    TempFolder folder;
    const std::string full = Read(CLINORA_TEST_DATA "/calib/cal_a_n11.csv");
    const std::string throughAxisB = full.substr(0, full.find("B0,"));
    std::ofstream(folder / "cut.csv", std::ios::binary) << throughAxisB;
    std::ofstream(folder / "garbage.csv", std::ios::binary) << "\x01\x02 no constants here\r\n";
    const std::string badA1 = CalFile(folder, "bad-a1.csv", "A1,5.0", "A1,x5.0");
    const std::string named102 = CalFile(folder, "00102_CAL_DATA_AXIS_A_01-02-25.csv");
    const std::string namedB = CalFile(folder, "00101_CAL_DATA_AXIS_B_01-02-25.csv");
    const std::string zeroA = ZeroAxisA(folder, "zero-a.csv");
    const struct {
        std::string line;
        std::string message;
    } cases[] = {
        {"upload " + (folder / "missing.csv").string() + " --address 101", "cannot open"},
        {"verify " + (folder / "garbage.csv").string() + " --address 101",
         "File read error: " + (folder / "garbage.csv").string() +
             ": it holds no \"Calibration Constants\" section"},
        // One bad value among good ones: the words name it.
        {"upload " + badA1 + " --address 101",
         "File read error: " + badA1 + ": its constants stop at \"A1\""},
        {"upload " + (folder / "cut.csv").string() + " --address 101 --biaxial",
         "Biaxial board enabled and \nB Axis Calibration data missing\nfor this board.\n"
         "Cannot upload."},
        {"upload " + (folder / "cut.csv").string() + " --address 101 --axis B",
         "the axis B constants are incomplete"},
        // Named for another board: refused unless forced; another axis: always.
        {"upload " + named102 + " --address 101", "is named for board 102, not board 101"},
        {"upload " + namedB + " --address 101 --axis A",
         "is named for axis B; its constants are not the board's axis A constants"},
        {"upload " + namedB + " --address 101 --axis A --force", "is named for axis B"},
        // All zero for the axis asked: writing them would wipe the board's.
        {"upload " + zeroA + " --address 101",
         "the axis A constants of " + zeroA + " are all zero"},
        {"upload " + zeroA + " --address 101 --biaxial", "the axis A constants of"},
    };
    for (const auto& c : cases) {
        CliRig rig;
        EXPECT_EQ(rig.run(c.line), kExitFailure) << c.line;
        EXPECT_TRUE(rig.said(c.message)) << c.line << " said: " << rig.err.str();
        EXPECT_TRUE(rig.bus->receivedLines().empty()) << c.line;
    }
    // Cut after "Axis B", the file still carries everything axis A needs; the
    // file named for board 102 goes to 101 when forced; the zero axis A of a
    // file is no obstacle to its axis B.
    for (const std::string& line : {"upload " + (folder / "cut.csv").string() + " --address 101",
                                    "upload " + named102 + " --address 101 --force",
                                    "upload " + zeroA + " --address 101 --axis B"}) {
        CliRig rig;
        EXPECT_EQ(rig.run(line), kExitOk) << line << ": " << rig.err.str();
    }
}

// Ctrl-C or SIGTERM: the line being sent goes out whole, nothing after it;
// the tool says whether the board may hold half its constants.
TEST(CliCommands, ASignalStopsAfterTheLineBeingSentAndNamesAHalfWrittenBoard) {
    TempFolder folder;
    const std::string file = CalFile(folder, "00101_CAL_DATA_AXIS_A_01-02-25.csv");
    const std::string partial =
        "Board 101 may hold a partial calibration (axis A): upload its constants again";
    const struct {
        size_t lines;  // received when the signal comes
        int signal;
        int status;
        bool partial;
    } cases[] = {
        // The line end that opens the port, the probes of the tool and of the
        // worker: nothing written yet.
        {3, SIGINT, 130, false},
        {1 + 2 + 22 + 3, SIGINT, 130, true},  // the copy of the cells at risk, three words
        {1 + 2 + 22 + 12, SIGTERM, 143, true},
    };
    for (const auto& c : cases) {
        CliRig rig;
        rig.stopAfterLines = c.lines;
        rig.signal = c.signal;
        EXPECT_EQ(rig.run("upload " + file + " --address 101"), c.status) << c.lines;
        EXPECT_EQ(rig.said(partial), c.partial) << rig.err.str();
        EXPECT_TRUE(rig.said("clinora-cli: stopped")) << rig.err.str();
        EXPECT_EQ(rig.bus->receivedLines().size(), c.lines) << rig.err.str();
        EXPECT_EQ(rig.bus->partialLine(), "");
        // While the board was being written a second signal would have said so.
        ASSERT_FALSE(rig.secondStopNotes.empty());
        EXPECT_EQ(rig.secondStopNotes.front().find(partial) != std::string::npos, c.partial);
        EXPECT_EQ(rig.secondStopNotes.back(), "");
    }
}

// A cell changed besides the upload's: named, with a status of its own; a
// lost digit that hit the device type is written back, and the run succeeds.
TEST(CliCommands, AStrayWriteIsNamedAndEndsWithItsOwnStatus) {
    TempFolder folder;
    const std::string file = CalFile(folder, "00101_CAL_DATA_AXIS_A_01-02-25.csv");
    CliRig rig;
    rig.bus->mishearNextLine("@@101 WE 52 03", "@@101 WE A2 03");
    EXPECT_EQ(rig.run("upload " + file + " --address 101"), kExitStrayWrite);
    EXPECT_TRUE(
        rig.said("A garbled command wrote cell 0xA2 of board 101 (axis B constants); "
                 "upload axis B again\n"))
        << rig.err.str();
    EXPECT_TRUE(rig.said("Success verifying\n")) << rig.err.str();
    EXPECT_EQ(rig.constants(0, sim::kConstantsCellA), kFileA);

    rig.bus->mishearNextLine("@@101 WE 52 03", "@@101 WE 2 03");
    EXPECT_EQ(rig.run("upload " + file + " --address 101"), kExitOk) << rig.err.str();
    EXPECT_TRUE(
        rig.said("A garbled command wrote cell 0x02 of board 101 (device type); its "
                 "former byte was written back\n"))
        << rig.err.str();
    EXPECT_EQ(rig.bus->inspectBoard(0, [](const sim::SimBoard& b) { return b.memory().get(2); }),
              'M');
}

TEST(CliCommands, SetAddressThereAndBack) {
    CliRig rig;
    ASSERT_EQ(rig.run("set-address 103 203"), kExitOk) << rig.err.str();
    EXPECT_TRUE(rig.said("Address changed: 103 -> 203\n"));
    EXPECT_EQ(rig.bus->inspectBoard(2, [](const sim::SimBoard& b) { return b.address(); }), 203);
    EXPECT_EQ(rig.run("identify --address 203"), kExitOk);
    EXPECT_EQ(rig.run("set-address 203 103"), kExitOk) << rig.err.str();
    EXPECT_EQ(rig.bus->inspectBoard(2, [](const sim::SimBoard& b) { return b.address(); }), 103);
    EXPECT_EQ(rig.run("set-address 203 204"), kExitFailure);
    EXPECT_TRUE(rig.said("no board answered at address 203"));

    // An address the board refuses (it takes 1 to 65533): tried five times, then exit 1.
    EXPECT_EQ(rig.run("set-address 101 0"), kExitFailure);
    EXPECT_TRUE(rig.said("attempt 5 of 5...")) << rig.err.str();
    EXPECT_TRUE(rig.said("Board 101 did not take address 0 in 5 attempts")) << rig.err.str();
    EXPECT_EQ(rig.bus->status().addresses, (std::vector<int>{101, 102, 103}));
}

std::vector<std::string> Split(const std::string& text, char at) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, at);) parts.push_back(part);
    if (!text.empty() && text.back() == at) parts.emplace_back();
    return parts;
}

TEST(CliCommands, MonitorPrintsEveryReadingAndLogsItAsTheMonitorPageDoes) {
    TempFolder folder;
    CliRig rig;
    rig.bus->setTilt(0, 12.0);
    rig.bus->setTilt(1, -3.0);
    const std::string log = (folder / "log.csv").string();
    const int64_t start = rig.clock.nowMs();
    ASSERT_EQ(rig.run("monitor --address 101 --interval 5 --count 3 --log " + log), kExitOk)
        << rig.err.str();
    EXPECT_GE(rig.clock.nowMs() - start, 10000);  // three readings, five seconds apart
    const auto printed = Split(rig.out.str(), '\n');
    ASSERT_EQ(printed.size(), 4u) << rig.out.str();
    for (int i = 0; i < 3; ++i) {
        const auto words = Split(printed[i], ' ');
        ASSERT_EQ(words.size(), 13u) << printed[i];  // date, time, "", A, a, unit, "", B ...
        EXPECT_NEAR(std::stod(words[4]), 12.0, 0.3) << printed[i];
        EXPECT_EQ(words[5], "Deg");
        EXPECT_NEAR(std::stod(words[8]), -3.0, 0.3) << printed[i];
        EXPECT_EQ(words[9], "Deg");
        EXPECT_EQ(words[12], "\u00B0C") << printed[i];
    }

    // A second run appends to the same log without a second header.
    ASSERT_EQ(rig.run("monitor --count 1 --units volts --log " + log), kExitOk) << rig.err.str();
    EXPECT_NE(rig.out.str().find(" V  B "), std::string::npos) << rig.out.str();
    const auto lines = Split(Read(log), '\n');
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "Serial,Date,Temp,Temp units,Axis A,Units,Axis B,Units,Comment\r");
    for (size_t i = 1; i <= 4; ++i) {
        const auto fields = Split(lines[i], ',');
        ASSERT_EQ(fields.size(), 9u) << lines[i];  // the comment column is there, empty
        EXPECT_EQ(fields[0], "ZC-000001");
        EXPECT_EQ(fields[3],
                  "\xB0"
                  "C");  // one byte per character
        EXPECT_EQ(fields[5], i < 4 ? "Deg" : "V");
        EXPECT_EQ(fields[8], "\r");
    }
    EXPECT_EQ(lines[5], "");
}

// An upload whose record cannot be stored, or cannot reach the server, says
// so in its exit status; the record is kept and goes in with the next run.
TEST(CliCommands, AnUploadsRecordIsKeptWhenItCannotBeStoredOrSent) {
    TempFolder folder;
    CliRig rig;
    const std::string file = CalFile(folder, "00101_CAL_DATA_AXIS_A_01-02-25.csv");
    const std::string work = " --workdir " + folder.file("work");
    std::filesystem::create_directories(folder / "work");
    std::ofstream(folder / "work" / "history.sqlite") << std::string(4096, 'x');  // damaged

    EXPECT_EQ(rig.run("upload " + file + " --address 101" + work), kExitFailure);
    EXPECT_TRUE(rig.said("Success writing\n")) << rig.err.str();
    EXPECT_TRUE(rig.said("cannot record the upload: Cannot open the records file"))
        << rig.err.str();
    EXPECT_TRUE(rig.said("the record is kept in " + folder.file("work/history-pending/")))
        << rig.err.str();

    std::filesystem::remove(folder / "work" / "history.sqlite");
    const std::string away =
        " --history-server postgresql://clinora@/clinora?host=" + folder.file("no-server");
    EXPECT_EQ(rig.run("verify " + file + " --address 101" + work + away), kExitFailure);
    EXPECT_TRUE(rig.said("Success verifying\n")) << rig.err.str();
    EXPECT_TRUE(rig.said("Cannot reach the history server")) << rig.err.str();
    ASSERT_EQ(rig.run("records list --format csv" + work), kExitOk);
    const std::string listed = rig.out.str();
    EXPECT_NE(listed.find(",upload,"), std::string::npos) << listed;
    EXPECT_NE(listed.find(",verify,"), std::string::npos) << listed;
    EXPECT_FALSE(std::filesystem::exists(folder / "work" / "history-pending" / "x"));
    EXPECT_TRUE(std::filesystem::is_empty(folder / "work" / "history-pending"));
}

// The records commands on a folder of an older station's files.
TEST(CliCommands, RecordsImportListShowAndCheck) {
    TempFolder folder;
    records::MakeSampleRun(folder / "old", 2, 101, 4, records::ThisStation("old"));
    std::ofstream(folder / "old" / "00109_CAL_DATA_AXIS_A_01-01-20.csv") << "garbage";
    CliRig rig;
    const std::string work = " --workdir " + folder.file("work");

    EXPECT_EQ(rig.run("records import " + folder.file("old") + work), kExitFailure);
    EXPECT_TRUE(rig.said("Skipped 00109_CAL_DATA_AXIS_A_01-01-20.csv: not a calibration data"))
        << rig.err.str();
    EXPECT_EQ(rig.out.str(),
              "Imported 4 record(s) from " + folder.file("old") + "; 1 file(s) skipped\n");
    EXPECT_EQ(rig.run("records import " + folder.file("old") + work), kExitFailure);
    EXPECT_NE(rig.out.str().find("Imported 0 record(s)"), std::string::npos);
    EXPECT_NE(rig.out.str().find("4 file(s) were recorded already"), std::string::npos);

    ASSERT_EQ(rig.run("records list --format csv --address 102" + work), kExitOk);
    const auto lines = Split(rig.out.str(), '\n');
    ASSERT_EQ(lines.size(), 4u) << rig.out.str();  // heading, two records, end
    const std::string uuid = Split(lines[1], ',')[0];
    ASSERT_EQ(rig.run("records show " + uuid.substr(0, 13) + work), kExitOk) << rig.err.str();
    EXPECT_NE(rig.out.str().find("Board      address 102, serial unknown"), std::string::npos)
        << rig.out.str();
    EXPECT_EQ(rig.run("records show 0123abcd" + work), kExitFailure);
    EXPECT_EQ(rig.run("records check" + work), kExitOk);
    EXPECT_NE(rig.out.str().find("Checked 4 records in 1 chain(s)"), std::string::npos);
}

}  // namespace
}  // namespace clinora::cli
