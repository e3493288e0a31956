// clinora-cli against clinora-sim on a pseudo-terminal: two programs, the
// real serial port and real time.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

#include "child_process.h"
#include "pg_server.h"
#include "records/canonical_json.h"
#include "temp_folder.h"
#include "words.h"

namespace clinora::cli::testing {
namespace {

using clinora::testing::TempFolder;

// clinora-sim with its three boards (101, 102, 103), for one test.
struct SimOnPty {
    ChildProcess sim{{CLINORA_SIM}};
    std::string path = sim.readLine(10000);

    ~SimOnPty() {
        sim.closeInput();  // end of input ends clinora-sim
        sim.wait(5000);
    }
    ProcessResult cli(const std::string& line) const {
        std::vector<std::string> argv = {CLINORA_CLI, "--port", path};
        for (auto& word : Words(line)) argv.push_back(word);
        return RunProgram(argv, 90000);
    }
};

std::string Read(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(CliPty, IdentifyMonitorSetAddressAndBadUsage) {
    SimOnPty sim;
    ASSERT_EQ(sim.path.rfind("/dev/pts/", 0), 0u) << sim.path;
    TempFolder folder;

    ProcessResult r = sim.cli("identify --address 102");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Firmware ver : 1.500\nBoard rev : 2.000\nSerial Number : ZC-000002\n");

    const std::string log = (folder / "log.csv").string();
    r = sim.cli("monitor --address 101 --interval 2 --count 2 --log " + log);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2) << r.out;
    const std::string logged = Read(log);
    EXPECT_EQ(logged.rfind("Serial,Date,Temp,Temp units,Axis A,Units,Axis B,Units,Comment\r\n"
                           "ZC-000001,",
                           0),
              0u)
        << logged;
    EXPECT_EQ(std::count(logged.begin(), logged.end(), '\n'), 3) << logged;

    r = sim.cli("set-address 103 203");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.err, "Address changed: 103 -> 203")) << r.err;
    r = sim.cli("set-address 203 103");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(sim.cli("identify --address 103").status, 0);

    // Two boards at one address would answer every command at once: refused.
    r = sim.cli("set-address 101 102");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(Has(r.err, "Address 102 is already used by a board on the bus")) << r.err;
    r = sim.cli("identify --address 101");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "Serial Number : ZC-000001")) << r.out;
    r = sim.cli("identify --address 102");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "Serial Number : ZC-000002")) << r.out;

    // What is no serial port is said in the program's words, with the path.
    r = RunProgram({CLINORA_CLI, "--port", "/dev/null", "identify", "--address", "101"}, 10000);
    EXPECT_TRUE(Has(r.err, "clinora-cli: Cannot use /dev/null: not a serial device")) << r.err;

    for (const char* bad : {"set-address 103 65535", "identify", "monitor --interval 1",
                            "upload --address 101", "fly --address 101"}) {
        r = sim.cli(bad);
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_TRUE(Has(r.err, "Try 'clinora-cli --help'")) << bad << ": " << r.err;
        EXPECT_EQ(r.out, "") << bad;
    }
}

TEST(CliPty, UploadThenVerifyAndAChangedFileFailsToVerify) {
    SimOnPty sim;
    TempFolder folder;
    std::string text = Read(CLINORA_TEST_DATA "/calib/cal_a_n11.csv");
    const std::string file = (folder / "00101_CAL_DATA_AXIS_A_01-02-25.csv").string();
    std::ofstream(file, std::ios::binary) << text;
    text.replace(text.find("A0,-1.25"), 8, "A0,-1.26");
    const std::string changed = (folder / "changed.csv").string();
    std::ofstream(changed, std::ios::binary) << text;

    // The upload reads its constants back.
    ProcessResult r = sim.cli("upload " + file + " --address 101");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.err, "Writing board # 101: 100%\nSuccess writing\n")) << r.err;
    EXPECT_TRUE(Has(r.err, "Verifying board # 101: 100%\nSuccess verifying\n")) << r.err;

    r = sim.cli("verify " + changed + " --address 101");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(Has(r.err, "Error verifying # 101\n")) << r.err;
}

// An upload leaves a record naming the board and the file. 'records check'
// passes, then names the record once one of its values is changed behind
// the program's back; with --history-server the records reach the server.
TEST(CliPty, UploadLeavesARecordThatCheckGuards) {
    SimOnPty sim;
    TempFolder folder;
    const std::string file = (folder / "00101_CAL_DATA_AXIS_A_01-02-25.csv").string();
    std::ofstream(file, std::ios::binary) << Read(CLINORA_TEST_DATA "/calib/cal_a_n11.csv");
    const std::string work = " --workdir " + folder.file("work");

    const std::string server = clinora::testing::PgServer::Shared().newDatabase();
    ProcessResult r =
        sim.cli("upload " + file + " --address 101 --history-server " + server + work);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.err, "Sent 1 record(s) to the history server")) << r.err;
    r = sim.cli("records list --format json" + work);
    ASSERT_EQ(r.status, 0) << r.err;
    const records::Json listed = records::ParseJson(r.out);
    ASSERT_EQ(listed.array("records").size(), 1u) << r.out;
    const records::Json& record = listed.array("records")[0];
    EXPECT_EQ(record.at("kind").text("kind"), "upload");
    EXPECT_EQ(record.at("outcome").text("outcome"), "success");
    EXPECT_EQ(record.at("serial").text("serial"), "ZC-000001");
    const ProcessResult sum = RunProgram({"/usr/bin/sha256sum", file}, 10000);
    EXPECT_EQ(record.at("file_sha256").text("file_sha256"), sum.out.substr(0, 64));
    const std::string uuid = record.at("uuid").text("uuid");
    r = sim.cli("records list --format json --history-server " + server + work);
    EXPECT_TRUE(Has(r.out, uuid)) << r.out;
    r = sim.cli("records check" + work);
    EXPECT_EQ(r.status, 0) << r.err;

    const ProcessResult edit =
        RunProgram({"/usr/bin/sqlite3", folder.file("work/history.sqlite"),
                    "UPDATE records SET content = replace(content, 'ZC-000001', 'ZC-000002') "
                    "WHERE uuid = '" +
                        uuid + "'"},
                   10000);
    ASSERT_EQ(edit.status, 0) << edit.err;
    r = sim.cli("records check" + work);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err, "record " + uuid)) << r.err;
}

// Signals in the middle of an upload, on the real port: the tool stops after
// the line being sent with 130 (Ctrl-C) or 143 (SIGTERM); a second Ctrl-C ends
// it at once, perhaps in the middle of a line, which the next program's first
// line end completes.
TEST(CliPty, SignalsStopAnUploadAndTheNextProgramFindsTheBoard) {
    SimOnPty sim;
    TempFolder folder;
    const std::string file = (folder / "00101_CAL_DATA_AXIS_A_01-02-25.csv").string();
    std::ofstream(file, std::ios::binary) << Read(CLINORA_TEST_DATA "/calib/cal_a_n11.csv");
    const struct {
        std::vector<int> signals;
        int status;
        const char* says;
    } cases[] = {
        {{SIGINT}, 130, "clinora-cli: stopped"},
        {{SIGTERM}, 143, "clinora-cli: stopped"},
        // Held still while two signals come: the second one, found with the
        // first already taken, ends the tool at once.
        {{SIGSTOP, SIGINT, SIGTERM, SIGCONT},
         -1,  // 128 + whichever came second
         "clinora-cli: stopped at once. Board 101 may hold a partial calibration"},
    };
    for (const auto& c : cases) {
        ChildProcess cli({CLINORA_CLI, "--port", sim.path, "upload", file, "--address", "101"});
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!Has(cli.err(), "Writing board # 101: 0%") && std::chrono::steady_clock::now() < end)
            cli.collect(100);
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        const auto sent = std::chrono::steady_clock::now();
        for (int signal : c.signals) cli.signal(signal);
        const int status = cli.wait(5000);
        EXPECT_TRUE(c.status > 0 ? status == c.status : status == 130 || status == 143)
            << status << " " << cli.err();
        EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(2));
        EXPECT_TRUE(Has(cli.err(), c.says)) << cli.err();
        const ProcessResult r = sim.cli("identify --address 101");
        EXPECT_EQ(r.status, 0) << r.err;
    }
}

}  // namespace
}  // namespace clinora::cli::testing
