#include "gui/certificate_pdf.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QDir>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>
#include <QTextFrame>

#include "gui/certificate_html.h"
#include "gui/certificate_plot.h"
#include "records/certificate_dcc.h"

namespace clinora {

namespace {

constexpr int kDotsPerInch = 600;
constexpr double kPlotHeightMm = 72;
constexpr double kSideMm = 18, kTopMm = 14, kBottomMm = 14;  // the sheet's margins
const QString kPlotMarker = QStringLiteral("@@deviation-plot@@");

// The running header and footer of every page: title, number, page X of Y.
void DrawPageFrame(QPainter& painter, const records::Certificate& c, const QRectF& area, double pt,
                   int page, int pages) {
    painter.save();
    painter.setPen(Qt::black);
    const QFont bold = CertificateFont(9, true);
    const QFontMetricsF metrics(bold, painter.device());
    const double top = area.top() + metrics.ascent();
    painter.setFont(bold);
    painter.drawText(QPointF(area.left(), top), "Calibration Certificate");
    painter.setFont(CertificateFont(9));
    const QString number = "Certificate number " + QString::fromStdString(c.number);
    painter.drawText(
        QPointF(area.right() -
                    QFontMetricsF(painter.font(), painter.device()).horizontalAdvance(number),
                top),
        number);
    painter.setPen(QPen(QColor(120, 120, 120), 0.6 * pt));
    painter.drawLine(QPointF(area.left(), area.top() + metrics.height() + 2 * pt),
                     QPointF(area.right(), area.top() + metrics.height() + 2 * pt));

    painter.setFont(CertificateFont(8));
    const QFontMetricsF small(painter.font(), painter.device());
    const double bottom = area.bottom() - small.descent();
    painter.drawLine(QPointF(area.left(), bottom - small.height() - 2 * pt),
                     QPointF(area.right(), bottom - small.height() - 2 * pt));
    painter.setPen(Qt::black);
    const QString left = "Serial number " + QString::fromStdString(c.item.serialNumber) +
                         "  \u00b7  issued " +
                         QString::fromStdString(records::IsoDate(c.issueTime));
    painter.drawText(QPointF(area.left(), bottom),
                     small.elidedText(left, Qt::ElideRight, area.width() * 0.7));
    const QString pageText = QString("page %1 of %2").arg(page).arg(pages);
    painter.drawText(QPointF(area.right() - small.horizontalAdvance(pageText), bottom), pageText);
    painter.restore();
}

}  // namespace

QByteArray RenderCertificatePdf(const records::Certificate& c) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        // The writer paints the whole sheet; the margins are the document's,
        // so that what the layout moves to the next page lies off this
        // page's sheet (and out of its text) rather than in its margins.
        QPdfWriter writer(&buffer);
        writer.setPdfVersion(QPagedPaintDevice::PdfVersion_A1b);
        writer.setResolution(kDotsPerInch);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
        writer.setTitle("Calibration Certificate " + QString::fromStdString(c.number));
        writer.setCreator(QString::fromStdString(c.software + " " + c.softwareVersion));

        const double pt = kDotsPerInch / 72.0;
        const double mm = kDotsPerInch / 25.4;
        const QSizeF sheet(writer.width(), writer.height());
        const QRectF area(kSideMm * mm, kTopMm * mm, sheet.width() - 2 * kSideMm * mm,
                          sheet.height() - (kTopMm + kBottomMm) * mm);
        const double header = 24 * pt, footer = 24 * pt;

        QTextDocument document;
        document.documentLayout()->setPaintDevice(&writer);
        document.setDefaultFont(CertificateFont(9));
        QTextOption option = document.defaultTextOption();
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        document.setDefaultTextOption(option);
        document.setHtml(CertificateHtml(c, kPlotMarker));
        // The layout takes frame margins in 1/96 inch and scales them to the writer.
        const double unit = kDotsPerInch / 96.0;
        QTextFrameFormat margins = document.rootFrame()->frameFormat();
        margins.setLeftMargin(area.left() / unit);
        margins.setRightMargin((sheet.width() - area.right()) / unit);
        margins.setTopMargin((area.top() + header) / unit);
        margins.setBottomMargin((sheet.height() - area.bottom() + footer) / unit);
        document.rootFrame()->setFrameFormat(margins);
        auto* plot =
            new CertificatePlot(c.rows, QSizeF(area.width(), kPlotHeightMm * mm), pt, &document);
        CertificatePlot::Insert(document, kPlotMarker, plot);
        document.setPageSize(sheet);

        QPainter painter(&writer);
        const int pages = document.pageCount();
        for (int page = 0; page < pages; ++page) {
            if (page > 0) writer.newPage();
            painter.save();
            painter.translate(0, -page * sheet.height());
            const QRectF clip(QPointF(0, page * sheet.height()), sheet);
            painter.setClipRect(clip);
            QAbstractTextDocumentLayout::PaintContext context;
            context.clip = clip;
            context.palette.setColor(QPalette::Text, Qt::black);
            document.documentLayout()->draw(&painter, context);
            painter.restore();
            DrawPageFrame(painter, c, area, pt, page + 1, pages);
        }
    }
    return bytes;
}

bool SaveCertificatePdf(const records::Certificate& certificate, const QString& path,
                        QString* error) {
    const QByteArray pdf = RenderCertificatePdf(certificate);
    QSaveFile file(path);
    if (pdf.isEmpty() || !file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size() ||
        !file.commit()) {
        if (error) {
            *error =
                "Cannot write " + path + ": " +
                (pdf.isEmpty() ? QString("the PDF could not be rendered") : file.errorString());
        }
        return false;
    }
    return true;
}

IssuedCertificate IssueCertificate(const records::Certificate& certificate, const QString& folder,
                                   CertificateFormats formats) {
    IssuedCertificate issued;
    if (!QDir().mkpath(folder)) {
        issued.error = "Cannot make the folder " + folder;
        return issued;
    }
    const QString stem =
        QDir(folder).filePath(QString::fromStdString(records::CertificateFileStem(certificate)));
    const auto wanted = [formats](CertificateFormats f) {
        return (static_cast<int>(formats) & static_cast<int>(f)) != 0;
    };
    if (wanted(CertificateFormats::Dcc)) {
        std::string error;
        if (!records::SaveDcc(certificate, (stem + ".xml").toStdString(), &error)) {
            issued.error = QString::fromStdString(error);
            return issued;
        }
        issued.xml = stem + ".xml";
    }
    if (wanted(CertificateFormats::Pdf)) {
        if (!SaveCertificatePdf(certificate, stem + ".pdf", &issued.error)) return issued;
        issued.pdf = stem + ".pdf";
    }
    return issued;
}

}  // namespace clinora
