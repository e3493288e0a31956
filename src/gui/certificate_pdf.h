#pragma once

#include <QByteArray>
#include <QString>

#include "records/certificate.h"

namespace clinora {

// The certificate for people: an A4 PDF/A-1b document with the title
// "Calibration Certificate", its number and "page X of Y" on every page, the
// laboratory, item, method, results with a plot of the deviations against
// the limits, the statement of conformity, the constants and the raw data's
// SHA-256. Needs a QGuiApplication (offscreen is enough), no widgets.
QByteArray RenderCertificatePdf(const records::Certificate& certificate);

// Renders into `path` through a temporary file renamed into place. False
// (and `error` says why) when it cannot be written.
bool SaveCertificatePdf(const records::Certificate& certificate, const QString& path,
                        QString* error = nullptr);

enum class CertificateFormats { Pdf = 1, Dcc = 2, Both = 3 };

// What issuing a certificate wrote: the paths of its files, or why not.
struct IssuedCertificate {
    QString pdf, xml;  // empty when not asked for or not written
    QString error;
    bool ok() const { return error.isEmpty(); }
};

// Writes the certificate's files into `folder` (made when missing) under its
// file name, "<serial>_<date>_<number>.pdf" and ".xml". Issuing again
// replaces them. Stops at the first file that cannot be written.
IssuedCertificate IssueCertificate(const records::Certificate& certificate, const QString& folder,
                                   CertificateFormats formats = CertificateFormats::Both);

}  // namespace clinora
