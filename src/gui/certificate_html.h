#pragma once

#include <QFont>
#include <QString>

#include "records/certificate.h"

namespace clinora {

// The body of the certificate's PDF as rich text for QTextDocument: every
// text of the certificate escaped; `plotMarker` stands where the plot goes.
QString CertificateHtml(const records::Certificate& certificate, const QString& plotMarker);

// The certificate's font at `points`. Ligatures are off (a hair of letter
// spacing turns them off in Qt), so that "fi" stays two letters when the
// PDF's text is copied or searched.
QFont CertificateFont(double points, bool bold = false);

}  // namespace clinora
