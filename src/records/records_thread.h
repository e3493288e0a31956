#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "records/pending_records.h"
#include "records/record_pairs.h"
#include "records/record_sender.h"
#include "records/record_store.h"

namespace clinora::records {

// What the records thread tells: a record stored or kept for a later try, the
// answer to a query, or how copying to the server goes.
struct RecordsEvent {
    enum class Type {
        Stored,   // `uuid` is in the station's store
        Kept,     // `uuid` could not be stored (`message`); it is tried again later
        Listed,   // `rows` answer query `ticket`, from `source`; `message` notes a fallback
        Found,    // `rows` holds the record of query `ticket`, or nothing
        Checked,  // `check` answers query `ticket`
        Failed,   // query `ticket` failed: `message`
        Sync,     // the sender's last pass: `sync`
        Paired,   // `pairs` and `refusals` answer the certificate query `ticket`
    };
    Type type = Type::Stored;
    int64_t ticket = 0;
    std::string uuid;
    std::string message;
    std::string source;
    std::vector<StoredRecord> rows;
    CheckReport check;
    SyncResult sync;
    std::vector<RecordPair> pairs;
    std::vector<std::string> refusals;
    int64_t kept = 0;  // records waiting for a later try after this event
};

// Where events go. Called on the records thread (or the sender's thread for
// Sync events); it must hand the event on without waiting (the program posts
// it to the user-interface thread).
using RecordsEventSink = std::function<void(const RecordsEvent&)>;

// The records thread: every write and query of the station's records runs
// here, in the order handed in, so that no caller waits for a database.
// Records that cannot be stored (full disk, read-only or damaged file) are
// kept and tried again, first in line, every `retryMs`; from their first
// failure on they also wait as files in "history-pending" in the working
// folder (written at the latest when the thread ends), which the next start
// brings in. With a history server, a sender
// copies every stored record there, and listings read the server (falling
// back to this station's file, with a note, while it cannot be reached).
class RecordsThread {
public:
    struct Options {
        std::string historyServer{};  // connection URI; empty: none
        int retryMs = 5000;
        RecordSender::Options sender{};
        int serverTimeoutSeconds = 5;  // for listings from the server
    };
    RecordsThread(std::filesystem::path folder, RecordsEventSink sink, Options options);
    RecordsThread(std::filesystem::path folder, RecordsEventSink sink)
        : RecordsThread(std::move(folder), std::move(sink), Options{}) {}
    ~RecordsThread();
    RecordsThread(const RecordsThread&) = delete;
    RecordsThread& operator=(const RecordsThread&) = delete;

    // Stores a record (a Stored or Kept event follows).
    void record(Record record);
    // Stores the records of one event (the boards of a calibration run) in
    // one transaction: all of them, or none and they are kept.
    void record(std::vector<Record> records);
    // Queries; each returns the ticket its answer carries.
    int64_t list(const RecordFilter& filter);
    int64_t find(const std::string& uuid);
    int64_t check();
    // The records certificates are made of (this station's store; the
    // history server's when this station holds none of them).
    int64_t pair(const CertificateRequest& request);

    // Records waiting for a later try.
    int64_t kept() const;

private:
    using Job = std::function<void()>;
    int64_t post(std::function<void(int64_t)> job);
    void run();
    // Stores the kept records, the last `fresh` of them just handed in;
    // false when they are still kept.
    bool storeKept(size_t fresh = 0);
    RecordStore* local(std::string& error);
    // Answers a query from the station's store: `fill` completes the event; a
    // failure of the store turns it into a Failed event.
    void answer(RecordsEvent e, const std::function<void(RecordStore&, RecordsEvent&)>& fill);
    void loadPendingFiles();
    void keepAsFiles();
    void writePendingFiles();
    void tell(RecordsEvent event);

    std::filesystem::path folder_;
    RecordsEventSink sink_;
    Options options_;
    std::unique_ptr<RecordSender> sender_;

    // Records thread only.
    std::unique_ptr<RecordStore> store_;
    std::deque<Record> keptRecords_;  // in order; the first come from pendingFiles_
    std::deque<std::filesystem::path> pendingFiles_;

    mutable std::mutex mutex_;
    std::condition_variable wakeUp_;
    std::deque<Job> jobs_;
    int64_t nextTicket_ = 1;
    int64_t keptCount_ = 0;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace clinora::records
