// The records of clinora-cli: upload and verify leave one each; `records
// list|show|check|import|sync` read, check and move them.
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "app/constants_upload.h"
#include "calib/cal_data_file.h"
#include "cli_commands.h"
#include "records/cal_file_import.h"
#include "records/digest.h"
#include "records/pending_records.h"
#include "records/record_builders.h"
#include "records/record_sender.h"
#include "records/record_store.h"
#include "records/record_text.h"

namespace clinora::cli {

namespace {

using records::RecordStore;
using records::StoreError;

// Writes to two streams: the command's own messages still reach standard
// error while the last of them becomes the record's words.
class TeeBuffer final : public std::streambuf {
public:
    explicit TeeBuffer(std::ostream& out) : out_(out) {}
    std::string lastLine() const {
        std::string text = captured_;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        const size_t start = text.find_last_of("\r\n");
        text = start == std::string::npos ? text : text.substr(start + 1);
        const std::string prefix = "clinora-cli: ";
        return text.rfind(prefix, 0) == 0 ? text.substr(prefix.size()) : text;
    }

private:
    int overflow(int c) override {
        if (c == EOF) return 0;
        out_.put(static_cast<char>(c));
        captured_ += static_cast<char>(c);
        return c;
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        out_.write(s, n);
        captured_.append(s, static_cast<size_t>(n));
        return n;
    }
    int sync() override {
        out_.flush();
        return 0;
    }

    std::ostream& out_;
    std::string captured_;
};

// Where Documents is, as the desktop names it (XDG user dirs), else ~/Documents.
std::filesystem::path DocumentsFolder() {
    const char* home = std::getenv("HOME");
    const std::filesystem::path homePath = home && *home ? home : ".";
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::filesystem::path dirs =
        (config && *config ? std::filesystem::path(config) : homePath / ".config") /
        "user-dirs.dirs";
    std::ifstream in(dirs);
    std::string line;
    const std::string key = "XDG_DOCUMENTS_DIR=\"";
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) != 0 || line.size() < key.size() + 1 || line.back() != '"') continue;
        std::string value = line.substr(key.size(), line.size() - key.size() - 1);
        if (value.rfind("$HOME", 0) == 0) value = homePath.string() + value.substr(5);
        if (!value.empty() && value[0] == '/') return value;
    }
    return homePath / "Documents";
}

// Stores `record` in the working folder's history (after any kept earlier),
// then, with a history server, sends what is pending. Returns `status`, or a
// failure when the record could not be stored or sent.
int StoreRecord(const CliOptions& options, CliIo& io, RecordStore* store,
                const std::string& openError, const records::Record& record, int status) {
    const std::filesystem::path folder = WorkingFolder(options);
    std::string error = openError;
    if (store) {
        try {
            for (const auto& [path, kept] : records::PendingRecords(folder)) {
                store->append(kept);
                std::error_code ec;
                std::filesystem::remove(path, ec);
            }
            store->append(record);
            io.err << "Recorded as " << record.uuid << " in " << store->where() << std::endl;
        } catch (const StoreError& e) {
            error = e.what();
        }
    }
    if (!error.empty()) {
        const auto kept = records::KeepPendingRecord(folder, record);
        Fail(io,
             "cannot record the " + std::string(records::KindName(record.kind)) + ": " + error +
                 (kept ? "; the record is kept in " + kept->string() + " and stored by the next run"
                       : "; it cannot be kept as a file either"));
        status = status == kExitOk ? kExitFailure : status;
    }
    if (!options.historyServer.empty() && error.empty()) {
        const records::SyncResult sync =
            records::SyncPending(folder, options.historyServer, kServerTimeoutSeconds);
        if (!sync.error.empty()) {
            // The record is safe here; the exit status still says the server did not take it.
            Fail(io, sync.error +
                         "; the record is kept here and sent later ('clinora-cli records sync' "
                         "or the program)");
            status = status == kExitOk ? kExitFailure : status;
        } else {
            io.err << "Sent " << sync.sent << " record(s) to the history server" << std::endl;
        }
    }
    return status;
}

int ListRecords(const CliOptions& options, CliIo& io) {
    records::RecordFilter filter;
    filter.serial = options.serial;
    filter.address = options.address;
    filter.since = options.since;
    filter.until = options.until;
    std::vector<records::StoredRecord> rows;
    bool listed = false;
    if (!options.historyServer.empty()) {
        try {
            rows =
                RecordStore::OpenServer(options.historyServer, kServerTimeoutSeconds)->list(filter);
            listed = true;
        } catch (const StoreError& e) {
            io.err << "Note: " << e.what() << ". Showing this station's records only." << std::endl;
        }
    }
    if (!listed)
        if (auto store = OpenForReading(options, io)) rows = store->list(filter);
    switch (options.format) {
        case ListFormat::Table:
            io.out << records::ListingTable(rows);
            break;
        case ListFormat::Csv:
            io.out << records::ListingCsv(rows);
            break;
        case ListFormat::Json:
            io.out << records::ListingJson(rows);
            break;
    }
    return kExitOk;
}

int ShowRecord(const CliOptions& options, CliIo& io) {
    std::optional<records::StoredRecord> found;
    if (auto store = OpenForReading(options, io)) found = store->find(options.record);
    if (!found && !options.historyServer.empty())
        found = RecordStore::OpenServer(options.historyServer, kServerTimeoutSeconds)
                    ->find(options.record);
    if (!found) return Fail(io, "no record " + options.record + " (or more than one starts so)");
    try {
        io.out << records::DescribeRecord(*found);
    } catch (const records::JsonError& e) {
        return Fail(io, "record " + found->uuid + " cannot be read: " + e.what());
    }
    return kExitOk;
}

int CheckRecords(const CliOptions& options, CliIo& io) {
    std::vector<std::unique_ptr<RecordStore>> stores;
    if (auto local = OpenForReading(options, io)) stores.push_back(std::move(local));
    if (!options.historyServer.empty())
        stores.push_back(RecordStore::OpenServer(options.historyServer, kServerTimeoutSeconds));
    for (const auto& store : stores) {
        const records::CheckReport report = store->check();
        if (report.fault) return Fail(io, "in " + store->where() + ": " + report.fault->text);
        io.out << "Checked " << report.records << " records in " << report.chains << " chain(s) of "
               << store->where() << ": every record is intact\n";
    }
    return kExitOk;
}

int ImportRecords(const CliOptions& options, CliIo& io) {
    if (!std::filesystem::is_directory(options.importFolder))
        return Fail(io, "no folder " + options.importFolder);
    auto store = RecordStore::OpenLocal(WorkingFolder(options));
    const records::ImportReport report =
        records::ImportFolder(*store, options.importFolder, records::ThisStation(options.station));
    for (const auto& bad : report.bad)
        io.err << "Skipped " << bad.name << ": " << bad.why << std::endl;
    io.out << "Imported " << report.imported << " record(s) from " << options.importFolder;
    if (report.already > 0) io.out << "; " << report.already << " file(s) were recorded already";
    if (!report.bad.empty()) io.out << "; " << report.bad.size() << " file(s) skipped";
    io.out << '\n';
    return report.bad.empty() ? kExitOk : kExitFailure;
}

int SyncRecords(const CliOptions& options, CliIo& io) {
    const records::SyncResult sync =
        records::SyncPending(WorkingFolder(options), options.historyServer);
    if (!sync.error.empty()) return Fail(io, sync.error);
    io.out << "Sent " << sync.sent << " record(s) to "
           << records::UriWithoutPassword(options.historyServer);
    if (sync.copied > sync.sent)
        io.out << "; " << (sync.copied - sync.sent) << " were there already";
    io.out << '\n';
    return kExitOk;
}

}  // namespace

std::filesystem::path WorkingFolder(const CliOptions& options) {
    return options.workdir.empty() ? DocumentsFolder() / "Clinora"
                                   : std::filesystem::path(options.workdir);
}

// The working folder's records for reading; nothing (and a note) when it
// has none yet, so that a mistyped --workdir makes no folder.
std::unique_ptr<RecordStore> OpenForReading(const CliOptions& options, CliIo& io) {
    const std::filesystem::path folder = WorkingFolder(options);
    if (!std::filesystem::exists(folder / records::kHistoryFileName)) {
        io.err << "No records in " << folder.string() << " yet (it has no "
               << records::kHistoryFileName << ")" << std::endl;
        return nullptr;
    }
    return RecordStore::OpenLocal(folder);
}

int RunRecords(const CliOptions& options, CliIo& io) {
    try {
        switch (options.command) {
            case Command::RecordsList:
                return ListRecords(options, io);
            case Command::RecordsShow:
                return ShowRecord(options, io);
            case Command::RecordsCheck:
                return CheckRecords(options, io);
            case Command::RecordsImport:
                return ImportRecords(options, io);
            case Command::RecordsSync:
                return SyncRecords(options, io);
            default:
                break;
        }
    } catch (const StoreError& e) {
        return Fail(io, e.what());
    }
    return Fail(io, "unknown command", kExitUsage);
}

int RunRecordedTransfer(const CliOptions& options, CliBus& bus, CliIo& io) {
    TeeBuffer tee(io.err);
    std::ostream err(&tee);
    CliIo teeIo{io.out, err, io.progressInPlace, io.stopRequested, io.stopSignal,
                io.secondStopNote};
    const int status = RunTransfer(options, bus, teeIo);
    err.flush();
    // Nothing happened to a board that was never reached.
    if (bus.baud() == 0) return status;

    const std::string& address = options.address;
    records::BoardIdentity board = records::UnknownBoard(address);
    // A tool stopped by a signal asks the bus nothing more; its record says so.
    if (!Stopped(io) && bus.protocol().ReadDeviceInfo(address)) {
        const Readings r = bus.state().snapshot().readings;
        board = records::IdentityOf(address, r.serialNumber, r.firmwareVersion, r.boardRevision);
    }
    std::string bytes;
    const auto sha = records::Sha256OfFile(options.file, &bytes);
    DeviceRecord constants;
    calib::CalDataFile().ReadCalibrationConstants(options.file, constants);

    const bool verify = options.command == Command::Verify;
    records::TransferOutcome outcome;
    outcome.kind = verify ? records::RecordKind::Verify : records::RecordKind::Upload;
    const int axis = options.axis.value_or(AxisSelectorOfFile(options.file));
    outcome.axis = !verify && options.biaxial ? "A+B" : axis == 1 ? "A" : "B";
    outcome.success = status == kExitOk;
    outcome.detail = tee.lastLine();

    std::unique_ptr<RecordStore> store;
    std::string openError;
    try {
        store = RecordStore::OpenLocal(WorkingFolder(options));
        if (sha) {
            records::RecordFilter calibration;
            calibration.fileSha256 = *sha;
            calibration.kind = records::RecordKind::Calibration;
            calibration.limit = 1;
            const auto made = store->list(calibration);
            if (!made.empty()) outcome.follows = made.front().uuid;
        }
    } catch (const StoreError& e) {
        openError = e.what();
        store.reset();
    }
    const records::FileRef file{std::filesystem::path(options.file).filename().string(),
                                sha.value_or("")};
    const records::Record record = records::BuildTransferRecord(
        records::ThisStation(options.station), board, file, constants, outcome);
    return StoreRecord(options, io, store.get(), openError, record, status);
}

}  // namespace clinora::cli
