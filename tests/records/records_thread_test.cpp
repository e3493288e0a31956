// The records thread and the sender: records kept while they cannot be
// stored, and a server stopped in the middle of a run.
#include "records/records_thread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

#include "pg_server.h"
#include "record_samples.h"
#include "records/digest.h"
#include "temp_folder.h"

namespace clinora::records {
namespace {

using clinora::testing::TempFolder;

// Collects the thread's events; tests wait for the ones they expect.
class Events {
public:
    RecordsEventSink sink() {
        return [this](const RecordsEvent& e) {
            std::lock_guard<std::mutex> lock(mutex_);
            events_.push_back(e);
            changed_.notify_all();
        };
    }
    // The first event after `from` that `match` accepts, within 20 s.
    std::optional<RecordsEvent> waitFor(const std::function<bool(const RecordsEvent&)>& match,
                                        size_t* from = nullptr) {
        std::unique_lock<std::mutex> lock(mutex_);
        size_t seen = from ? *from : 0;
        std::optional<RecordsEvent> found;
        changed_.wait_for(lock, std::chrono::seconds(20), [&] {
            for (; seen < events_.size(); ++seen)
                if (match(events_[seen])) {
                    found = events_[seen++];
                    return true;
                }
            return false;
        });
        if (from) *from = seen;
        return found;
    }
    size_t count(RecordsEvent::Type type) {
        std::lock_guard<std::mutex> lock(mutex_);
        return static_cast<size_t>(std::count_if(events_.begin(), events_.end(),
                                                 [&](const auto& e) { return e.type == type; }));
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<RecordsEvent> events_;
};

auto Is(RecordsEvent::Type type) {
    return [type](const RecordsEvent& e) { return e.type == type; };
}

// The station's records file, damaged (what a full disk or a read-only file
// also does to a write), or taken away with its journal.
void Damage(const TempFolder& folder) {
    for (const char* end : {"", "-wal", "-shm"})
        std::filesystem::remove(folder.file(std::string(kHistoryFileName) + end));
    folder.write(kHistoryFileName, std::string(4096, 'x'));
}
void Repair(const TempFolder& folder) { std::filesystem::remove(folder.file(kHistoryFileName)); }

TEST(RecordsThread, RecordsThatCannotBeStoredAreKeptAndStoredLater) {
    TempFolder folder;
    const std::vector<Record> records = samples::EveryKind(folder);
    Damage(folder);
    Events events;
    {
        RecordsThread thread(folder.path(), events.sink(), {.retryMs = 20});
        thread.record(records[0]);
        const auto kept = events.waitFor(Is(RecordsEvent::Type::Kept));
        ASSERT_TRUE(kept);
        EXPECT_EQ(kept->uuid, records[0].uuid);
        EXPECT_NE(kept->message.find("damaged or is not a records file"), std::string::npos)
            << kept->message;
        EXPECT_NE(kept->message.find("the record is kept"), std::string::npos);
        EXPECT_EQ(thread.kept(), 1);
        // Already a file: a program killed now loses nothing.
        EXPECT_EQ(PendingRecords(folder.path()).size(), 1u);
        // The file is put right: the next try stores it, then what follows.
        Repair(folder);
        thread.record(records[1]);
        size_t from = 0;
        for (const size_t i : {0, 1}) {
            const auto stored = events.waitFor(Is(RecordsEvent::Type::Stored), &from);
            ASSERT_TRUE(stored);
            EXPECT_EQ(stored->uuid, records[i].uuid);
        }
        EXPECT_EQ(thread.kept(), 0);
        EXPECT_TRUE(PendingRecords(folder.path()).empty());
    }
    Damage(folder);
    {
        RecordsThread thread(folder.path(), events.sink(), {.retryMs = 20});
        thread.record(records[2]);
        thread.record(records[3]);
    }  // ends with two records kept: they become files
    ASSERT_EQ(PendingRecords(folder.path()).size(), 2u);
    Repair(folder);
    {
        Events again;
        RecordsThread thread(folder.path(), again.sink());
        size_t from = 0;
        for (const size_t i : {2, 3}) {
            const auto stored = again.waitFor(Is(RecordsEvent::Type::Stored), &from);
            ASSERT_TRUE(stored);
            EXPECT_EQ(stored->uuid, records[i].uuid);  // in their order
        }
        thread.check();
        const auto checked = again.waitFor(Is(RecordsEvent::Type::Checked));
        ASSERT_TRUE(checked);
        EXPECT_FALSE(checked->check.fault);
        EXPECT_EQ(checked->check.records, 2);
    }
    EXPECT_TRUE(PendingRecords(folder.path()).empty());
}

TEST(RecordsThread, ListingFallsBackToTheStationWithANoteWhileTheServerIsAway) {
    TempFolder folder;
    Events events;
    RecordsThread thread(
        folder.path(), events.sink(),
        {.historyServer = "postgresql://nobody@/clinora?host=" + folder.path() + "nowhere",
         .sender = {.retryMs = 10000}});
    thread.record(samples::EveryKind(folder)[0]);
    const int64_t ticket = thread.list({});
    const auto listed = events.waitFor(Is(RecordsEvent::Type::Listed));
    ASSERT_TRUE(listed);
    EXPECT_EQ(listed->ticket, ticket);
    EXPECT_EQ(listed->rows.size(), 1u);
    EXPECT_NE(listed->message.find("Cannot reach the history server"), std::string::npos)
        << listed->message;
    EXPECT_NE(listed->message.find("Showing this station's records only"), std::string::npos);
    EXPECT_NE(listed->source.find(kHistoryFileName), std::string::npos);
    const auto sync = events.waitFor(Is(RecordsEvent::Type::Sync));
    ASSERT_TRUE(sync);
    EXPECT_FALSE(sync->sync.reached);
    EXPECT_GE(sync->sync.pending, 0);
}

// Whether the server holds `count` records within 20 s.
bool ServerHolds(const std::string& uri, int64_t count) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < end) {
        try {
            if (RecordStore::OpenServer(uri, 2)->count() == count) return true;
        } catch (const StoreError&) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

// The server stops in the middle of a run and comes back: every record
// reaches it, once, and the station never waited for it.
TEST(RecordSender, RecordsReachAServerStartedAgainEachExactlyOnce) {
    TempFolder folder, own;
    std::filesystem::permissions(
        own.path(), std::filesystem::perms::owner_all | std::filesystem::perms::others_exec);
    clinora::testing::PgServer server(own.file("pg"));
    ASSERT_TRUE(server.start());
    Events events;
    std::vector<std::string> uuids;
    {
        RecordsThread thread(
            folder.path(), events.sink(),
            {.historyServer = server.uri(),
             .sender = {
                 .retryMs = 50, .maxRetryMs = 200, .idleMs = 200, .connectTimeoutSeconds = 2}});
        const std::vector<Record> records = samples::EveryKind(folder);
        const auto store = [&](int count) {
            for (int i = 0; i < count; ++i) {
                Record r = records[static_cast<size_t>(i) % records.size()];
                r.uuid = RandomUuid();
                uuids.push_back(r.uuid);
                const auto start = std::chrono::steady_clock::now();
                thread.record(r);
                EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
            }
        };
        store(10);
        ASSERT_TRUE(ServerHolds(server.uri(), 10));

        server.stop();
        store(20);
        size_t from = 0;
        const auto away = events.waitFor(
            [](const auto& e) {
                return e.type == RecordsEvent::Type::Sync && !e.sync.error.empty();
            },
            &from);
        ASSERT_TRUE(away);
        EXPECT_FALSE(away->sync.reached);
        EXPECT_TRUE(events.waitFor([&](const auto& e) {
            return e.type == RecordsEvent::Type::Stored && e.uuid == uuids.back();
        }));
        EXPECT_EQ(events.count(RecordsEvent::Type::Stored), 30u);  // the station went on
        ASSERT_TRUE(server.resume());
        ASSERT_TRUE(ServerHolds(server.uri(), 30)) << away->message;
    }
    auto remote = RecordStore::OpenServer(server.uri());
    EXPECT_EQ(remote->count(), 30);
    std::set<std::string> there;
    for (const StoredRecord& row : remote->list({})) there.insert(row.uuid);
    EXPECT_EQ(there, std::set<std::string>(uuids.begin(), uuids.end()));
    EXPECT_FALSE(remote->check().fault);
}

}  // namespace
}  // namespace clinora::records
