// The store on both engines: the same cases against a SQLite file and a
// throw-away PostgreSQL server.
#include "records/record_store.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "pg_server.h"
#include "record_samples.h"
#include "temp_folder.h"

namespace clinora::records {
namespace {

using testing::TempFolder;

// The engine of a case: "Sqlite" or "Postgres".
class StoreTest : public ::testing::TestWithParam<std::string> {
protected:
    std::unique_ptr<RecordStore> open(int version = kSchemaVersion) {
        if (GetParam() == "Sqlite")
            return std::make_unique<RecordStore>(OpenSqlite(folder.file(kHistoryFileName)),
                                                 version);
        if (uri.empty()) uri = clinora::testing::PgServer::Shared().newDatabase();
        return std::make_unique<RecordStore>(OpenPostgres(uri), version);
    }

    TempFolder folder;
    std::string uri;
};

TEST_P(StoreTest, EveryKindAndHostileTextsComeBackExactlyAndListNewestFirst) {
    auto store = open();
    const std::vector<Record> records = samples::EveryKind(folder);
    for (const Record& r : records) store->append(r);
    EXPECT_EQ(store->count(), static_cast<int64_t>(records.size()));
    for (const Record& r : records) {
        const auto found = store->find(r.uuid);
        ASSERT_TRUE(found) << r.uuid;
        EXPECT_EQ(RecordFromContent(found->content), r) << KindName(r.kind);
        EXPECT_EQ(found->columns, ColumnsOf(r));
    }
    EXPECT_TRUE(store->find(records[0].uuid.substr(0, 13)));  // the start of a UUID
    EXPECT_FALSE(store->find("%"));

    const Record& hostile = records.back();
    ASSERT_EQ(hostile.board.serial.find('\0'), 3u);
    const struct {
        RecordFilter filter;
        size_t count;
    } cases[] = {
        {{.serial = "ZC-000001"}, 3},
        {{.serial = hostile.board.serial}, 1},
        {{.address = "101"}, 4},
        {{.kind = RecordKind::Test}, 1},
        {{.fileSha256 = records[0].file.sha256}, 1},
        {{.since = "2999-01-01T00:00:00.000Z"}, 0},
        {{.until = "2000-01-01T00:00:00.000Z"}, 0},
        {{.limit = 2}, 2},
        {{.serial = "ZC-000001", .withContent = true}, 3},
        {{}, records.size()},
    };
    for (const auto& c : cases) {
        const auto rows = store->list(c.filter);
        EXPECT_EQ(rows.size(), c.count) << c.filter.serial << c.filter.address;
        for (const StoredRecord& row : rows)
            EXPECT_EQ(row.content.empty(), !c.filter.withContent) << row.uuid;
        EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
            return a.columns.time > b.columns.time;
        }));
    }
    EXPECT_FALSE(store->check().fault);
}

TEST_P(StoreTest, ARecordSentAgainIsStoredOnce) {
    auto local = RecordStore::OpenLocal(folder.file("station"));
    for (const Record& r : samples::EveryKind(folder)) local->append(r);
    const auto rows = local->pending("server", 100);
    auto server = open();
    EXPECT_EQ(server->putAll(rows), static_cast<int64_t>(rows.size()));
    EXPECT_EQ(server->putAll(rows), 0);
    EXPECT_EQ(server->count(), static_cast<int64_t>(rows.size()));
    EXPECT_FALSE(server->check().fault);

    // The same UUID with other content, and a damaged copy, are refused.
    Record changed = RecordFromContent(rows[1].content);
    changed.outcome = "pass";
    const StoredRecord other = Chained(changed, rows[1].link.chain, rows[0]);
    EXPECT_THROW(server->putAll({other}), StoreError);
    StoredRecord damaged = rows[2];
    damaged.content.insert(damaged.content.size() - 1, ",\"x\":1");
    damaged.columns = rows[2].columns;
    EXPECT_THROW(server->putAll({damaged}), StoreError);
    EXPECT_EQ(server->count(), static_cast<int64_t>(rows.size()));
}

TEST_P(StoreTest, CheckNamesARecordChangedOrRemovedInTheDatabase) {
    auto store = open();
    std::vector<StoredRecord> rows;
    for (const Record& r : samples::EveryKind(folder)) rows.push_back(store->append(r));
    ASSERT_FALSE(store->check().fault);
    SqlConnection& db = store->connection();

    std::string content = rows[2].content;
    content[content.find("\"detail\":\"") + 10] ^= 1;  // one byte
    db.exec("UPDATE records SET content = ? WHERE uuid = ?", {content, rows[2].uuid});
    auto report = store->check();
    ASSERT_TRUE(report.fault);
    EXPECT_EQ(report.fault->uuid, rows[2].uuid) << report.fault->text;

    db.exec("UPDATE records SET content = ? WHERE uuid = ?", {rows[2].content, rows[2].uuid});
    EXPECT_FALSE(store->check().fault);
    db.exec("DELETE FROM records WHERE uuid = ?", {rows[3].uuid});
    report = store->check();
    ASSERT_TRUE(report.fault);
    EXPECT_EQ(report.fault->uuid, rows[4].uuid) << report.fault->text;
    db.exec("DELETE FROM records WHERE seq > ?", {int64_t{2}});
    report = store->check();
    ASSERT_TRUE(report.fault);
    EXPECT_EQ(report.fault->uuid, rows.back().uuid) << report.fault->text;
}

TEST_P(StoreTest, MigrationFromVersion1KeepsEveryRecord) {
    const std::vector<Record> records = samples::EveryKind(folder);
    {
        auto old = open(1);
        EXPECT_EQ(old->schemaVersion(), 1);
        for (const Record& r : records) old->append(r);
    }
    auto store = open();
    EXPECT_EQ(store->schemaVersion(), kSchemaVersion);
    for (const Record& r : records) {
        const auto found = store->find(r.uuid);
        ASSERT_TRUE(found);
        EXPECT_EQ(RecordFromContent(found->content), r);
        EXPECT_EQ(found->columns, ColumnsOf(r));  // the new columns filled in
    }
    EXPECT_FALSE(store->check().fault);
    // The chain goes on where version 1 left it.
    Record next = records[0];
    next.uuid.clear();
    EXPECT_EQ(store->append(next).link.seq, static_cast<int64_t>(records.size()) + 1);
    EXPECT_FALSE(store->check().fault);

    store->connection().exec("UPDATE meta SET value = '99' WHERE key = 'schema_version'", {});
    store.reset();
    try {
        open();
        ADD_FAILURE() << "a newer schema was opened";
    } catch (const StoreError& e) {
        EXPECT_NE(std::string(e.what()).find("newer program"), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, StoreTest, ::testing::Values("Sqlite", "Postgres"),
                         [](const auto& info) { return info.param; });

TEST(SqliteStore, ADamagedFileIsSaidInWords) {
    TempFolder folder;
    folder.write(kHistoryFileName, std::string(4096, 'x'));
    try {
        RecordStore::OpenLocal(folder.path());
        ADD_FAILURE() << "a damaged file was opened";
    } catch (const StoreError& e) {
        EXPECT_NE(std::string(e.what()).find("damaged or is not a records file"), std::string::npos)
            << e.what();
    }
}

}  // namespace
}  // namespace clinora::records
