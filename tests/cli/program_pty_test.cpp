// The program itself against clinora-sim on a pseudo-terminal, in real time.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include "child_process.h"
#include "temp_folder.h"

namespace clinora::cli::testing {
namespace {

using clinora::testing::TempFolder;

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

size_t Lines(const std::string& text) {
    size_t count = 0;
    for (size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2) ++count;
    return count;
}

// Killed without warning while it logs, the program leaves every line it had
// written in the file, whole; lines logged before the board's identity was
// read carry no serial number, never a wrong one.
TEST(ProgramPty, KilledWhileLoggingKeepsEveryLineItWrote) {
    ChildProcess sim({CLINORA_SIM, "--boards", "1"});
    const std::string device = sim.readLine(10000);
    ASSERT_EQ(device.rfind("/dev/pts/", 0), 0u) << device;

    TempFolder home;
    const std::string runtime = home.path() + "runtime";
    ::mkdir(runtime.c_str(), 0700);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("HOME", home.path().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home.path() + "config").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    const std::string work = home.path() + "work";
    const std::string log = work + "/ZOV_Clinora_LOG.csv";

    ChildProcess program({CLINORA_PROGRAM, "--port", device, "--workdir", work, "--log", "2"});
    ASSERT_TRUE(program.started());
    // The header and two lines; what was seen then must all be there after.
    std::string seen;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(40);
    while (Lines(seen = Read(log)) < 3 && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_GE(Lines(seen), 3u) << seen << program.err();
    program.kill();

    const std::string kept = Read(log);
    EXPECT_EQ(kept.compare(0, seen.size(), seen), 0);
    ASSERT_TRUE(kept.ends_with("\r\n")) << kept;
    const std::regex line(R"((ZC-000001)?,\d\d/\d\d/\d{4} \d\d:\d\d:\d\d,[^,]+,\xB0C,[^,]+,(Sin|Deg),[^,]+,(Sin|Deg),)");
    size_t from = kept.find("\r\n") + 2;  // after the header
    for (size_t to; (to = kept.find("\r\n", from)) != std::string::npos; from = to + 2) {
        const std::string text = kept.substr(from, to - from);
        EXPECT_TRUE(std::regex_match(text, line)) << text;
    }
    sim.closeInput();
    sim.wait(5000);
}

// Programs run as a user without privileges, as they are meant to run: a test
// running as root (CI does) drops to nobody with setpriv and gives that user
// its folders, and a copy of a program it cannot reach in the build tree.
struct NormalUser {
    const bool root = ::geteuid() == 0;
    std::vector<std::string> wrap(std::vector<std::string> argv) const {
        if (root)
            argv.insert(argv.begin(), {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup",
                                       "--clear-groups", "--"});
        return argv;
    }
    void own(const std::filesystem::path& folder) const {
        if (!root) return;
        bool ok = ::chown(folder.c_str(), 65534, 65534) == 0;
        for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
            ok = ok && ::chown(e.path().c_str(), 65534, 65534) == 0;
        EXPECT_TRUE(ok);
    }
    std::string reachable(const std::string& path, const std::filesystem::path& folder) const {
        if (!root || RunProgram(wrap({path, "--version"}), 20000).status == 0) return path;
        const auto copy = folder / std::filesystem::path(path).filename();
        std::filesystem::copy_file(path, copy);
        return copy.string();
    }
};

// Killed, the program leaves the port free for its next start: as a normal
// user on a pseudo-terminal, start it, SIGKILL it, start it again, and it reads
// the board. A terminal an older version left exclusive is reported with the
// command that frees it, which root runs.
TEST(ProgramPty, AKilledProgramLeavesThePortToTheNextStart) {
    const NormalUser user;
    TempFolder home;
    const std::string runtime = home.path() + "runtime";
    const std::string work = home.path() + "work";
    ::mkdir(runtime.c_str(), 0700);
    ::mkdir(work.c_str(), 0700);
    const std::string program = user.reachable(CLINORA_PROGRAM, home.path());
    const std::string sim = user.reachable(CLINORA_SIM, home.path());
    const std::string cli = user.reachable(CLINORA_CLI, home.path());
    user.own(home.path());
    ::chmod(home.path().c_str(), 0755);

    ChildProcess board(user.wrap({sim, "--boards", "1"}));
    const std::string device = board.readLine(10000);
    ASSERT_EQ(device.rfind("/dev/pts/", 0), 0u) << device;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("HOME", home.path().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home.path() + "config").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    const std::string log = work + "/ZOV_Clinora_LOG.csv";

    size_t lines = 0;
    for (int start = 0; start < 2; ++start) {
        ChildProcess clinora(
            user.wrap({program, "--port", device, "--workdir", work, "--log", "2"}));
        ASSERT_TRUE(clinora.started());
        // Reading: the log gains a line (the header too, the first time).
        const size_t want = lines + (start == 0 ? 2 : 1);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(40);
        while (Lines(Read(log)) < want && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        clinora.collect(0);
        ASSERT_GE(Lines(Read(log)), want) << "start " << start << ": " << clinora.err();
        lines = Lines(Read(log));
        clinora.kill();
    }

    if (user.root) {
        const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ioctl(fd, TIOCEXCL), 0);
        ::close(fd);
        ProcessResult r =
            RunProgram(user.wrap({cli, "--port", device, "identify", "--address", "101"}), 30000);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("free it with: sudo clinora-cli unlock --port " + device),
                  std::string::npos)
            << r.err;
        r = RunProgram({cli, "unlock", "--port", device}, 30000);
        EXPECT_EQ(r.status, 0) << r.err;
        r = RunProgram(user.wrap({cli, "--port", device, "identify", "--address", "101"}), 30000);
        EXPECT_EQ(r.status, 0) << r.err;
    }
    board.closeInput();
    board.wait(5000);
}

}  // namespace
}  // namespace clinora::cli::testing
