// clinora-records-bench: how fast the records are, on SQLite and on a
// PostgreSQL server (a throw-away one with durable commits, or --server URI):
// storing a six-board calibration, listing by serial number among many
// records, importing a folder of 2,000 files and sending 10,000 pending
// records to the server. Not a test: it prints figures and the goals.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "link/number_text.h"
#include "records/cal_file_import.h"
#include "records/digest.h"
#include "records/record_sender.h"
#include "records/record_store.h"
#include "records/sample_runs.h"

namespace {

using namespace clinora;
using namespace clinora::records;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const size_t at = std::min(values.size() - 1, static_cast<size_t>(p * values.size()));
    return values[at];
}

void Figure(const std::string& what, const std::string& value, const std::string& goal) {
    std::cout << "  " << what << ": " << value << "  (goal " << goal << ")" << std::endl;
}

std::string Ms(double seconds) { return FormatFixed(seconds * 1000.0, 2) + " ms"; }

struct Options {
    int64_t records = 1000000;
    int sets = 200;
    std::string server;
};

// A throw-away server for the run (scripts/pg_temp.sh), stopped at the end.
class OwnServer {
public:
    explicit OwnServer(const std::filesystem::path& folder) : folder_(folder) {
        std::filesystem::create_directories(folder_.parent_path());
        std::filesystem::permissions(folder_.parent_path(), std::filesystem::perms::others_exec,
                                     std::filesystem::perm_options::add);
        ok_ = std::system(("bash '" CLINORA_PG_SCRIPT "' start '" + folder_.string() +
                           "' --durable >/dev/null")
                              .c_str()) == 0;
    }
    ~OwnServer() {
        if (ok_)
            std::system(("bash '" CLINORA_PG_SCRIPT "' stop '" + folder_.string() + "'").c_str());
    }
    bool ok() const { return ok_; }
    std::string uri(const std::string& database) const {
        return "postgresql://clinora@/" + database + "?host=" + folder_.string();
    }

private:
    std::filesystem::path folder_;
    bool ok_ = false;
};

// Records like a station's: a six-board calibration and test now and then,
// uploads and verifies in between, boards by the thousand.
std::vector<Record> Mix(const SampleRun& run, int64_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<Record> kinds = run.calibrations;
    kinds.insert(kinds.end(), run.tests.begin(), run.tests.end());
    DeviceRecord constants;
    for (const RecordKind kind : {RecordKind::Upload, RecordKind::Verify})
        for (int i = 0; i < 6; ++i)
            kinds.push_back(BuildTransferRecord(
                ThisStation("bench"), IdentityOf("101", "ZC-000001", 1.5f, 2.0f),
                run.calibrations[0].file, constants,
                {kind, "A", true, "Success writing", run.calibrations[0].uuid}));
    std::vector<Record> out;
    out.reserve(static_cast<size_t>(count));
    for (int64_t i = 0; i < count; ++i) {
        Record r = kinds[static_cast<size_t>(random() % kinds.size())];
        r.uuid = RandomUuid();
        r.board.serial = "ZC-" + FormatInt(static_cast<long long>(random() % 200000), 6);
        r.board.address = std::to_string(1 + random() % 65000);
        out.push_back(std::move(r));
    }
    return out;
}

// A six-board calibration as the records thread stores it: the boards'
// records in one transaction; and one board's record on its own.
void StoreSixBoards(RecordStore& store, const SampleRun& run, int sets) {
    std::vector<double> perSet, perRecord;
    for (int s = 0; s < sets; ++s) {
        std::vector<Record> boards = run.calibrations;
        for (Record& r : boards) r.uuid.clear();
        auto start = Clock::now();
        store.appendAll(boards);
        perSet.push_back(Seconds(start));
        Record one = run.calibrations[0];
        one.uuid.clear();
        start = Clock::now();
        store.append(one);
        perRecord.push_back(Seconds(start));
    }
    Figure("a six-board calibration (six records, one transaction), 99th percentile",
           Ms(Percentile(perSet, 0.99)) + ", median " + Ms(Percentile(perSet, 0.5)), "under 20 ms");
    Figure("one board's record alone, 99th percentile",
           Ms(Percentile(perRecord, 0.99)) + ", median " + Ms(Percentile(perRecord, 0.5)), "-");
}

void ListBySerial(RecordStore& store, const SampleRun& run, int64_t records) {
    const auto fill = Clock::now();
    int64_t have = store.count();
    for (unsigned batch = 0; have < records; ++batch) {
        const int64_t n = std::min<int64_t>(10000, records - have);
        store.appendAll(Mix(run, n, batch));
        have += n;
    }
    std::cout << "  (" << have << " records in the store; filled in "
              << FormatFixed(Seconds(fill), 1) << " s)" << std::endl;
    std::mt19937 random(7);
    std::vector<double> times;
    size_t found = 0;
    for (int i = 0; i < 200; ++i) {
        RecordFilter filter;
        filter.serial = "ZC-" + FormatInt(static_cast<long long>(random() % 200000), 6);
        const auto start = Clock::now();
        found += store.list(filter).size();
        times.push_back(Seconds(start));
    }
    Figure("list by serial number, 99th percentile of 200",
           Ms(Percentile(times, 0.99)) + ", median " + Ms(Percentile(times, 0.5)) + ", " +
               FormatFixed(static_cast<double>(found) / 200, 1) + " records a board",
           "under 10 ms");
}

void Import(const std::filesystem::path& folder,
            const std::function<std::unique_ptr<RecordStore>()>& open) {
    const std::filesystem::path files = folder / "import";
    if (!std::filesystem::exists(files))
        for (int i = 0; i < 200; ++i)
            MakeSampleRun(files, 5, 1000 + 5 * i, static_cast<unsigned>(i), ThisStation("bench"));
    auto store = open();
    const auto start = Clock::now();
    const ImportReport report = ImportFolder(*store, files, ThisStation("bench"));
    Figure("import of " + std::to_string(report.imported) + " files",
           FormatFixed(Seconds(start), 2) + " s", "under 10 s");
}

int Run(const Options& options) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                         ("clinora-records-bench-" + RandomUuid().substr(0, 8));
    std::filesystem::create_directories(folder);
    const SampleRun run = MakeSampleRun(folder / "run", 6, 101, 1, ThisStation("bench"));
    std::cout << "clinora-records-bench: a calibration record holds "
              << ContentOf(run.calibrations[0]).size() << " bytes of content" << std::endl;

    std::cout << "SQLite (" << (folder / "station" / kHistoryFileName).string()
              << ", WAL, synchronous commits)" << std::endl;
    {
        auto store = RecordStore::OpenLocal(folder / "station");
        StoreSixBoards(*store, run, options.sets);
        ListBySerial(*store, run, options.records);
    }
    Import(folder, [&] { return RecordStore::OpenLocal(folder / "imported"); });

    std::unique_ptr<OwnServer> own;
    std::function<std::string(const std::string&)> database;
    if (options.server.empty()) {
        own = std::make_unique<OwnServer>(folder / "pg" / "server");
        if (!own->ok()) {
            std::cerr << "clinora-records-bench: no PostgreSQL server could be started"
                      << std::endl;
            return 1;
        }
        database = [&](const std::string& name) {
            RecordStore::OpenServer(own->uri("clinora"))
                ->connection()
                .exec("CREATE DATABASE " + name, {});
            return own->uri(name);
        };
        std::cout << "PostgreSQL (a local server on a Unix socket, durable commits)" << std::endl;
    } else {
        database = [&](const std::string&) { return options.server; };
        std::cout << "PostgreSQL (" << UriWithoutPassword(options.server) << ")" << std::endl;
    }
    {
        auto store = RecordStore::OpenServer(database("bench"));
        StoreSixBoards(*store, run, options.sets);
        ListBySerial(*store, run, options.records);
    }
    Import(folder, [&] { return RecordStore::OpenServer(database("imported")); });
    {
        // 10,000 records of a station waiting for the server.
        auto local = RecordStore::OpenLocal(folder / "sender");
        local->appendAll(Mix(run, 10000, 99));
        const std::string uri = database("sent");
        const auto start = Clock::now();
        const SyncResult sent = SyncPending(folder / "sender", uri);
        Figure("sending " + std::to_string(sent.sent) + " pending records to the server",
               FormatFixed(Seconds(start), 2) + " s" +
                   (sent.error.empty() ? "" : " (" + sent.error + ")"),
               "under 10 s");
    }
    own.reset();
    std::filesystem::remove_all(folder);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--records" && i + 1 < argc) {
            options.records = std::atoll(argv[++i]);
        } else if (arg == "--sets" && i + 1 < argc) {
            options.sets = std::atoi(argv[++i]);
        } else if (arg == "--server" && i + 1 < argc) {
            options.server = argv[++i];
        } else {
            std::cout << "Usage: clinora-records-bench [--records N] [--sets N] [--server URI]\n"
                         "  --records N   records in the store for the listing (default 1000000)\n"
                         "  --sets N      six-board calibrations stored (default 200)\n"
                         "  --server URI  an existing PostgreSQL database instead of a throw-away\n"
                         "                server (its records stay there)\n";
            return arg == "--help" ? 0 : 2;
        }
    }
    try {
        return Run(options);
    } catch (const std::exception& e) {
        std::cerr << "clinora-records-bench: " << e.what() << std::endl;
        return 1;
    }
}
