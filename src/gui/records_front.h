#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "app/record_keeper.h"
#include "records/records_thread.h"

namespace clinora {

// The program's side of the records thread: the pages hand it their
// records, the History window its queries, and what the thread tells comes
// back as events on the user-interface thread, which never waits for a
// database. It keeps the state of the records in words for the status line:
// records kept for a later try and why, and how copying to the history
// server goes.
class RecordsFront final : public QObject, public RecordKeeper {
    Q_OBJECT
public:
    RecordsFront(const QString& workingFolder, const QString& historyServer,
                 records::RecordsThread::Options options = {}, QObject* parent = nullptr);
    ~RecordsFront() override;

    // RecordKeeper: the records of one event, stored together.
    void keep(std::vector<records::Record> records) override;

    // A query; `answer` gets its Listed or Failed event on this thread,
    // unless this front is gone first.
    using Answer = std::function<void(const records::RecordsEvent&)>;
    void list(const records::RecordFilter& filter, Answer answer);
    // The records certificates are made of; `answer` gets a Paired or Failed event.
    void pair(const records::CertificateRequest& request, Answer answer);

    QString historyServer() const { return server_; }
    // Records waiting for a later try.
    int64_t kept() const { return kept_; }
    int64_t stored() const { return stored_; }
    // The state in words, and whether it needs the user's attention.
    QString statusText() const;
    bool trouble() const;

signals:
    // The status changed.
    void statusChanged();
    // A record was stored (a view may read again).
    void recordStored();
    // Records could not be stored: the first failure after they could.
    void recordsKept(const QString& message);

protected:
    bool event(QEvent* event) override;

private:
    void take(const records::RecordsEvent& e);

    QString server_;
    std::map<int64_t, Answer> answers_;
    int64_t kept_ = 0;
    int64_t stored_ = 0;
    QString keptReason_;
    bool synced_ = false;  // the sender has made a pass
    records::SyncResult sync_;
    std::unique_ptr<records::RecordsThread> thread_;  // last: its events reach the members above
};

}  // namespace clinora
