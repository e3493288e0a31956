#include "gui/issue_certificates.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include "app/page_copies.h"
#include "gui/certificate_pdf.h"
#include "gui/records_front.h"
#include "records/certificate_from_records.h"

namespace clinora {

namespace {
QString Q(const std::string& text) { return QString::fromStdString(text); }
}  // namespace

records::CertificateParties CertificatePartiesOf(const PageCopies& copies) {
    records::CertificateParties p;
    p.laboratory = {copies.laboratory, copies.laboratoryAddress, copies.laboratoryEmail,
                    copies.laboratoryCity, copies.laboratoryCountry};
    return p;
}

QString CertificateOutcome::text() const {
    QStringList lines;
    if (!issued.isEmpty()) {
        lines << QString("%1 issued in %2:")
                     .arg(issued.size() == 1 ? QString("1 certificate")
                                             : QString("%1 certificates").arg(issued.size()))
                     .arg(QDir::toNativeSeparators(folder));
        for (const QString& line : issued) lines << "  " + line;
    }
    lines << refused;
    if (lines.isEmpty()) lines << "No certificates were issued.";
    return lines.join('\n');
}

QString CertificateOutcome::summary() const {
    if (issued.isEmpty())
        return refused.isEmpty() ? "No certificates issued" : refused.front();
    QString text = QString("Certificates: %1 issued in %2").arg(issued.size()).arg(folder);
    if (!refused.isEmpty()) text += QString(", %1 not").arg(refused.size());
    return text;
}

CertificateIssuer::CertificateIssuer(RecordsFront* records, const QString& workingFolder,
                                     Parties parties, QObject* parent)
    : QObject(parent),
      records_(records),
      folder_(QDir(workingFolder).filePath("certificates")),
      parties_(std::move(parties)) {}

bool CertificateIssuer::issue(const records::CertificateRequest& request, Done done) {
    if (busy_ || !records_) return false;
    busy_ = true;
    emit busyChanged(true);
    done_ = std::move(done);
    outcome_ = {};
    outcome_.folder = folder_;
    issueParties_ = parties_ ? parties_() : records::CertificateParties{};
    const QPointer<CertificateIssuer> self(this);
    records_->pair(request, [self, this](const records::RecordsEvent& e) {
        if (!self) return;
        if (e.type == records::RecordsEvent::Type::Failed) {
            outcome_.refused << "The records cannot be read: " + Q(e.message);
            finish();
            return;
        }
        for (const std::string& refusal : e.refusals) outcome_.refused << Q(refusal);
        pairs_.assign(e.pairs.begin(), e.pairs.end());
        issueTime_ = QDateTime::currentSecsSinceEpoch();
        QTimer::singleShot(0, this, &CertificateIssuer::next);
    });
    return true;
}

// One board: its certificate built from the two records, then its PDF and XML.
void CertificateIssuer::next() {
    if (pairs_.empty()) {
        finish();
        return;
    }
    const records::RecordPair pair = std::move(pairs_.front());
    pairs_.pop_front();
    const records::CertificateBuild built =
        records::CertificateOfRecords(issueParties_, pair, issueTime_);
    if (!built.certificate) {
        outcome_.refused << Q(built.error);
    } else {
        const records::Certificate& c = *built.certificate;
        const IssuedCertificate written = IssueCertificate(c, folder_);
        if (!written.ok()) {
            outcome_.refused << "The certificate of " + Q(records::BoardName(pair.calibration)) +
                                    " was not written: " + written.error;
        } else {
            outcome_.files << written.pdf << written.xml;
            outcome_.issued << Q(c.item.serialNumber) + ": " +
                                   QFileInfo(written.pdf).completeBaseName() + ".pdf and .xml, " +
                                   (c.conforms ? "within limits" : "FAILED its test");
        }
    }
    QTimer::singleShot(0, this, &CertificateIssuer::next);
}

void CertificateIssuer::finish() {
    busy_ = false;
    const Done done = std::move(done_);
    done_ = nullptr;
    emit busyChanged(false);
    if (done) done(outcome_);
}

}  // namespace clinora
