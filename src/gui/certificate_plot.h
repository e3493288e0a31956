#pragma once

#include <QObject>
#include <QSizeF>
#include <QTextObjectInterface>
#include <vector>

#include "records/certificate.h"

class QPainter;
class QTextDocument;

namespace clinora {

// The certificate's plot of the deviation at every prompted position against
// the row's limits, drawn as vectors inside the certificate's text document
// (so it stays sharp in the PDF). Failed positions are marked with a cross
// besides their colour.
class CertificatePlot final : public QObject, public QTextObjectInterface {
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)

public:
    static constexpr int kObjectType = QTextFormat::UserObject + 1;

    // `size` in the document's units; `pointScale` turns typographic points
    // into those units.
    CertificatePlot(std::vector<records::CertificateRow> rows, QSizeF size, double pointScale,
                    QObject* parent = nullptr);

    // Replaces the first occurrence of `marker` in `document` by the plot.
    static void Insert(QTextDocument& document, const QString& marker, CertificatePlot* plot);

    QSizeF intrinsicSize(QTextDocument*, int, const QTextFormat&) override { return size_; }
    void drawObject(QPainter* painter, const QRectF& rect, QTextDocument*, int,
                    const QTextFormat&) override;

private:
    std::vector<records::CertificateRow> rows_;
    QSizeF size_;
    double pt_;
};

}  // namespace clinora
