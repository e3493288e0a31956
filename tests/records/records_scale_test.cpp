// Records under stress: a writer killed mid-write, two stations sending to
// one server at once, and an import of a whole folder of generated files.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <set>
#include <thread>

#include "pg_server.h"
#include "record_samples.h"
#include "records/cal_file_import.h"
#include "records/digest.h"
#include "records/record_sender.h"
#include "records/record_store.h"
#include "records/sample_runs.h"
#include "temp_folder.h"

namespace clinora::records {
namespace {

using clinora::testing::TempFolder;

// Runs `work` in a child process; its exit status is work's result.
pid_t Child(const std::function<int()>& work) {
    const pid_t pid = fork();
    if (pid == 0) {
        int status = 1;
        try {
            status = work();
        } catch (...) {
        }
        _exit(status);
    }
    return pid;
}

int ExitStatus(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(RecordsUnderStress, AWriterKilledMidWriteLeavesWholeRecords) {
    TempFolder folder;
    const std::vector<Record> kinds = samples::EveryKind(folder);
    int64_t before = 0;
    for (int round = 0; round < 5; ++round) {
        const pid_t writer = Child([&] {
            auto store = RecordStore::OpenLocal(folder.path());
            for (size_t i = 0;; ++i) {
                Record r = kinds[i % kinds.size()];
                r.uuid.clear();
                store->append(r);
            }
            return 0;
        });
        // Kill it at a different moment of each round, once it has written some.
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < end &&
               RecordStore::OpenLocal(folder.path())->count() < before + 3 + round * 7)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        std::this_thread::sleep_for(std::chrono::microseconds(300 * round));
        kill(writer, SIGKILL);
        waitpid(writer, nullptr, 0);

        auto store = RecordStore::OpenLocal(folder.path());
        const CheckReport report = store->check();
        EXPECT_FALSE(report.fault) << report.fault->text;
        EXPECT_GT(report.records, before);
        EXPECT_EQ(report.records, store->count());
        before = report.records;
    }
}

// `count` records of a station of its own in `folder`.
void FillStation(const std::filesystem::path& folder, const std::string& station, int count,
                 const std::vector<Record>& kinds) {
    auto store = RecordStore::OpenLocal(folder);
    std::vector<Record> batch;
    for (int i = 0; i < count; ++i) {
        Record r = kinds[static_cast<size_t>(i) % kinds.size()];
        r.uuid.clear();
        r.station = station;
        batch.push_back(r);
    }
    store->appendAll(batch);
}

TEST(RecordsUnderStress, TwoStationsSendToOneServerAtOnce) {
    TempFolder folder;
    const int count = samples::ScaleCount(1000);
    const std::vector<Record> kinds = samples::EveryKind(folder);
    FillStation(folder / "a", "station-a", count, kinds);
    FillStation(folder / "b", "station-b", count, kinds);
    const std::string uri = clinora::testing::PgServer::Shared().newDatabase();

    std::vector<pid_t> stations;
    for (const char* name : {"a", "b"})
        stations.push_back(Child([&, name] {
            const SyncResult sent = SyncPending(folder / name, uri);
            return sent.error.empty() && sent.sent == count && sent.pending == 0 ? 0 : 1;
        }));
    for (const pid_t pid : stations) EXPECT_EQ(ExitStatus(pid), 0);

    auto server = RecordStore::OpenServer(uri);
    EXPECT_EQ(server->count(), 2 * count);
    const auto distinct = server->connection().query("SELECT COUNT(DISTINCT uuid) FROM records");
    EXPECT_EQ(distinct.at(0).at(0), std::to_string(2 * count));
    const CheckReport report = server->check();
    EXPECT_FALSE(report.fault) << report.fault->text;
    EXPECT_EQ(report.chains, 2);
    // Sent again: nothing new.
    EXPECT_EQ(SyncPending(folder / "a", uri).sent, 0);
}

TEST(RecordsUnderStress, ImportOfAFolderListsThePlantedBadFiles) {
    TempFolder folder;
    const int runs = samples::ScaleCount(1000) / 5;  // five boards a run
    for (int i = 0; i < runs; ++i)
        MakeSampleRun(folder / "work", 5, 1000 + 5 * i, static_cast<unsigned>(i),
                      samples::kStation);
    const std::string good = testing::ReadBytes(
        folder / MakeSampleRun(folder.path(), 1, 7, 1, samples::kStation).dataFiles[0]);
    const std::set<std::string> bad = {
        "00007_CAL_DATA_AXIS_A_01-01-20(1).csv", "00008_CAL_DATA_AXIS_B_TEST_01-01-20.csv",
        "00009_CAL_DATA_AXIS_A_01-01-20.csv", "FilenameError_CAL_DATA_.csv"};
    auto it = bad.begin();
    testing::WriteBytes(folder / "work" / *it++, "");
    testing::WriteBytes(folder / "work" / *it++,
                        "\x7f"
                        "ELF garbage");
    testing::WriteBytes(folder / "work" / *it++, good.substr(0, good.size() / 2));
    testing::WriteBytes(folder / "work" / *it++,
                        good.substr(0, good.find("Calibration Constants")));
    testing::WriteBytes(folder / "work" / "CurrentAddresses.csv",
                        "101\r\n");  // not a calibration file

    auto store = RecordStore::OpenLocal(folder / "station");
    const auto start = std::chrono::steady_clock::now();
    ImportReport report = ImportFolder(*store, folder / "work", samples::kStation);
    const auto seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(report.imported, 2 * 5 * runs) << seconds << " s";
    std::set<std::string> listed;
    for (const auto& b : report.bad) listed.insert(b.name);
    EXPECT_EQ(listed, bad);
    EXPECT_EQ(store->list({.kind = RecordKind::Test}).size(), static_cast<size_t>(5 * runs));
    EXPECT_FALSE(store->check().fault);

    report = ImportFolder(*store, folder / "work", samples::kStation);
    EXPECT_EQ(report.imported, 0);
    EXPECT_EQ(report.already, 2 * 5 * runs);
}

}  // namespace
}  // namespace clinora::records
