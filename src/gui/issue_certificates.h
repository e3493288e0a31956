#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <deque>
#include <functional>

#include "records/certificate_builder.h"
#include "records/record_pairs.h"

namespace clinora {

class RecordsFront;
struct PageCopies;

// The laboratory of the station's settings as certificates name it.
records::CertificateParties CertificatePartiesOf(const PageCopies& copies);

// What issuing certificates did: the files written and the boards that got
// none, each with why.
struct CertificateOutcome {
    QString folder;
    QStringList issued;   // "ZC-000417: <file>.pdf and .xml, within limits"
    QStringList refused;  // "No certificate for board ...: ..."
    QStringList files;    // every file written, PDF then XML of each board
    bool ok() const { return refused.isEmpty() && !issued.isEmpty(); }
    // The outcome in words for a message box.
    QString text() const;
    // One line for a message line.
    QString summary() const;
};

// Issues certificates from the records: the records thread finds each
// board's calibration and test records; the certificates are then made and
// rendered here, one board per turn of the event loop, so that the window
// stays responsive. The Test page and the History window share it.
class CertificateIssuer final : public QObject {
    Q_OBJECT
public:
    using Parties = std::function<records::CertificateParties()>;
    using Done = std::function<void(const CertificateOutcome&)>;

    // Certificates go into "certificates" in `workingFolder`; `parties`
    // gives the station's laboratory when an issue starts.
    CertificateIssuer(RecordsFront* records, const QString& workingFolder, Parties parties,
                      QObject* parent = nullptr);

    // Starts issuing; `done` follows on this thread. False (and nothing
    // starts) while an issue is under way or without records.
    bool issue(const records::CertificateRequest& request, Done done);
    bool busy() const { return busy_; }
    QString folder() const { return folder_; }

signals:
    void busyChanged(bool busy);

private:
    void next();
    void finish();

    QPointer<RecordsFront> records_;
    QString folder_;
    Parties parties_;
    bool busy_ = false;
    Done done_;
    CertificateOutcome outcome_;
    std::deque<records::RecordPair> pairs_;
    records::CertificateParties issueParties_;
    int64_t issueTime_ = 0;
};

}  // namespace clinora
