#include "gui/certificate_html.h"

#include <QStringList>

namespace clinora {

namespace {

using records::Certificate;
using records::CertificateRow;

// A text of the certificate as rich text: escaped, its line breaks kept.
QString E(const std::string& text) {
    return QString::fromStdString(text).toHtmlEscaped().replace('\n', "<br/>");
}

// A section heading, after a little space unless it comes first (a table's
// own bottom margin is not kept by the layout); `newPage` starts it on a page
// of its own.
enum class Place { First, Spaced, NewPage };
QString Heading(const QString& title, Place place = Place::Spaced) {
    QString html;
    if (place != Place::First) {
        html = QString("<p style=\"font-size:5pt;%1\">&nbsp;</p>")
                   .arg(place == Place::NewPage ? " page-break-before:always;" : "");
    }
    return html + "<p style=\"font-size:11pt; font-weight:bold; margin-bottom:3pt;\">" + title +
           "</p>";
}

// A two-column table of captions and values (values already rich text).
QString Facts(const QList<QPair<QString, QString>>& rows) {
    QString html =
        "<table width=\"100%\" cellspacing=\"0\" cellpadding=\"2\" style=\"margin-bottom:4pt;\">";
    for (const auto& [caption, value] : rows) {
        html += "<tr><td width=\"32%\" style=\"color:#444444;\">" + caption + "</td><td>" + value +
                "</td></tr>";
    }
    return html + "</table>";
}

QString Mono(const std::string& text) {
    return "<span style=\"font-family:'DejaVu Sans Mono',monospace; font-size:8pt;\">" + E(text) +
           "</span>";
}

// Name, address, city and e-mail, leaving out what was not stated.
QString Contact(const records::CertificateContact& c) {
    QString html = "<b>" + E(c.name) + "</b>";
    if (c.address != records::kNotStated) html += "<br/>" + E(c.address);
    if (!c.city.empty()) html += "<br/>" + E(c.city);
    if (c.countryCode != records::kUnknownCountry) html += " (" + E(c.countryCode) + ")";
    if (c.email != records::kNotStated) html += "<br/>E-mail: " + E(c.email);
    return html;
}

QString Verdict(const Certificate& c) {
    const QString colour = c.conforms ? "#e3f2e3" : "#fbe0e0";
    const QString border = c.conforms ? "#2e7d32" : "#c62828";
    QString html =
        "<table width=\"100%\" cellspacing=\"0\" cellpadding=\"6\" border=\"1\" "
        "style=\"border-collapse:collapse; border-color:" +
        border + "; margin-top:8pt;\"><tr><td style=\"background-color:" + colour + ";\">";
    html += "<p style=\"font-size:11pt; font-weight:bold;\">Statement of conformity: " +
            QString(c.conforms ? "PASS" : "FAIL") + "</p>";
    html += "<p>" + E(c.statement) + ".</p>";
    if (!c.conforms) {
        html +=
            "<p><b>This board did not meet its test limits.</b> Its calibrated readings lay "
            "outside the limits at the positions named above, so it does not conform to "
            "them. This certificate is the record of its calibration and test; it does not "
            "state that the board is fit for use.</p>";
    }
    return html + "</td></tr></table>";
}

QString ResultsTable(const Certificate& c) {
    const QString head = "style=\"background-color:#e6e6e6; font-weight:bold;\"";
    QString html =
        "<table width=\"100%\" cellspacing=\"0\" cellpadding=\"3\" border=\"1\" "
        "style=\"border-collapse:collapse; border-color:#9a9a9a; font-size:8.5pt;\">"
        "<thead><tr " +
        head +
        "><th>No.</th><th>Position</th><th>Sweep</th>"
        "<th>Angle (\u00b0)</th><th>Expected (sine)</th><th>Reading (sine)</th>"
        "<th>Deviation</th><th>Limit</th><th>Result</th></tr></thead>";
    for (const CertificateRow& r : c.rows) {
        const QString style = r.pass ? QString() : " style=\"background-color:#fbe0e0;\"";
        html += "<tr" + style + "><td align=\"right\">" + QString::number(r.number) + "</td><td>" +
                E(r.label) + "</td><td>" + (r.firstSweep ? "first" : "return") +
                "</td><td align=\"right\">" + E(records::AngleText(r.angle)) +
                "</td><td align=\"right\">" + E(records::SineText(r.expected)) +
                "</td><td align=\"right\">" + E(records::SineText(r.reading)) +
                "</td><td align=\"right\">" + E(records::SineText(r.deviation)) +
                "</td><td align=\"right\">" + E(records::LimitText(r)) + "</td><td>" +
                (r.pass ? "pass" : "<b>fail</b>") + "</td></tr>";
    }
    return html + "</table>";
}

QString ConstantsTable(const Certificate& c) {
    QString html = "<table cellspacing=\"0\" cellpadding=\"2\" style=\"font-size:8.5pt;\">";
    for (int i = 0; i < 8; ++i) {
        html += "<tr><td width=\"120\">" + E(records::ConstantName(c.item.axis, i)) +
                "</td><td align=\"right\">" +
                Mono(records::ConstantText(c.constants[static_cast<size_t>(i)])) +
                "</td><td>&nbsp;&nbsp;" + E(records::ConstantUnitText(i)) + "</td></tr>";
    }
    return html + "</table>";
}

}  // namespace

QFont CertificateFont(double points, bool bold) {
    QFont font;
    font.setFamilies({"DejaVu Sans", "Noto Sans", "Liberation Sans"});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.02);
    return font;
}

QString CertificateHtml(const Certificate& c, const QString& plotMarker) {
    const records::CertificateMethod& m = c.method;
    const QString axis = QString("axis ") + c.item.axis;
    QString html = "<html><body>";
    html += "<p style=\"font-size:10pt;\">" + Contact(c.laboratory) + "</p>";
    html +=
        "<p style=\"font-size:22pt; font-weight:bold; margin-top:12pt; margin-bottom:2pt;\">"
        "Calibration Certificate</p>";
    html += "<p style=\"font-size:11pt;\">Certificate number <b>" + E(c.number) + "</b></p><hr/>";

    html += Heading("Item", Place::First);
    html += Facts({{"Item", E(c.item.description)},
                   {"Manufacturer", E(c.item.manufacturer)},
                   {"Serial number", "<b>" + E(c.item.serialNumber) + "</b>"},
                   {"Firmware version", E(c.item.firmwareVersion)},
                   {"Board revision", E(c.item.boardRevision)},
                   {"Bus address", E(c.item.busAddress)},
                   {"Axis calibrated and tested", QString(c.item.axis)}});
    html += Heading("Customer");
    html += "<p>" + Contact(c.customer) + "</p>";

    html += Heading("Calibration");
    html += Facts({{"Date of calibration", E(records::IsoDateTime(c.calibrationTime))},
                   {"Date of the calibration test", E(records::IsoDateTime(c.testTime))},
                   {"Date of issue", E(records::IsoDateTime(c.issueTime))},
                   {"Station", E(c.station)},
                   {"Operator", E(c.operatorName)},
                   {"Calibration record", Mono(c.calibrationRecordId)},
                   {"Calibration test record", Mono(c.testRecordId)}});
    html += Verdict(c);

    html += Heading("Method");
    html +=
        "<p>The board was mounted on the calibration fixture and taken through the prompted "
        "tilt positions in two sweeps. A fifth-degree polynomial per axis was fitted by "
        "linear least squares to the sine of the tilt against the averaged reading; the "
        "constants were written to the board and verified. In the calibration test the "
        "board was taken through the positions again and its calibrated reading compared "
        "with the sine of each prompted angle.</p>";
    html += Facts(
        {{"Prompt file", E(m.promptFile)},
         {"SHA-256 of the prompt file", Mono(m.promptSha256)},
         {"Tilt range", "\u00b1" + E(records::AngleText(m.tiltRange)) + "\u00b0"},
         {"Averaging", E(records::AveragingText(m.averaging))},
         {"Board temperature (test)", m.hasTemperature ? E(records::TemperatureText(m.temperatureC))
                                                       : QString("not recorded")}});

    html += Heading("Results of the calibration test, " + axis, Place::NewPage);
    html +=
        "<p>Deviation = reading \u2212 expected value. A position passes when the reading "
        "lies strictly inside the test limits of its prompt row.</p>";
    html += ResultsTable(c);
    html += "<p style=\"margin-top:8pt;\">" + plotMarker + "</p>";
    html +=
        "<p style=\"font-size:8.5pt;\">Deviations at the prompted positions against the "
        "limits (shaded band).</p>";

    html += Heading("Measurement uncertainty");
    html +=
        "<p>No measurement uncertainty is stated. The deviations are the differences "
        "between the board's calibrated reading and the sine of the prompted fixture angle; "
        "the uncertainty of the fixture angle is not part of this certificate.</p>";

    html += Heading("Calibration constants of " + axis);
    html +=
        "<p>As the board holds them (single precision): the coefficients of its polynomial "
        "from the reading in volts to the sine of the tilt, and its two cross-axis "
        "terms.</p>";
    html += ConstantsTable(c);

    html += Heading("Raw data");
    html += Facts({{"Calibration data file", E(c.calibrationFile.name)},
                   {"SHA-256", Mono(c.calibrationFile.sha256)},
                   {"Calibration test file", E(c.testFile.name)},
                   {"SHA-256", Mono(c.testFile.sha256)}});
    html += "<p style=\"margin-top:10pt; font-size:8.5pt; color:#444444;\">Issued by " +
            E(c.software) + " " + E(c.softwareVersion) + " at station " + E(c.station) +
            ". The same certificate is issued as a Digital Calibration Certificate (XML) "
            "with the same number.</p>";
    return html + "</body></html>";
}

}  // namespace clinora
