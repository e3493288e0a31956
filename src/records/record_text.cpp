#include "records/record_text.h"

#include <algorithm>
#include <array>

#include "link/number_text.h"

namespace clinora::records {

namespace {

const std::array<const char*, 13> kListedFields = {
    "uuid", "kind",        "time",    "station", "serial", "address", "axis",
    "file", "file_sha256", "outcome", "follows", "run",    "imported"};

std::vector<std::string> Fields(const StoredRecord& r) {
    const IndexColumns& c = r.columns;
    return {r.uuid,
            c.kind,
            c.time,
            c.station,
            c.serial,
            c.address,
            c.axis,
            c.file,
            c.fileSha256,
            c.outcome,
            c.follows,
            c.run,
            c.imported ? "yes" : "no"};
}

// Free text for a terminal: control characters (an escape sequence hidden in
// a label) are shown as \xNN, never sent as they are.
std::string Printable(const std::string& text) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            out += "\\x";
            out += digits[byte >> 4];
            out += digits[byte & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

std::string Number(double value) { return FormatGeneral(value, 9); }
std::string Maybe(const std::optional<double>& value) { return value ? Number(*value) : "-"; }

std::string Constants(const ConstantSet& c) {
    std::string out;
    for (const char axis : {'A', 'B'}) {
        const auto& terms = axis == 'A' ? c.a : c.b;
        out += "  ";
        out += axis;
        out += ":";
        for (size_t i = 0; i < terms.size(); ++i)
            out +=
                std::string(" ") + axis + std::to_string(i) + "=" + FormatScientific(terms[i], 9);
        out += " cross=" + FormatScientific(axis == 'A' ? c.aCrossLinear : c.bCrossLinear, 9);
        out += " cross x2=" +
               FormatScientific(axis == 'A' ? c.aCrossQuadratic : c.bCrossQuadratic, 9) + "\n";
    }
    return out;
}

}  // namespace

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string ListingCsv(const std::vector<StoredRecord>& rows) {
    std::string out;
    for (size_t i = 0; i < kListedFields.size(); ++i)
        out += (i ? "," : "") + std::string(kListedFields[i]);
    out += "\r\n";
    for (const StoredRecord& r : rows) {
        const auto fields = Fields(r);
        for (size_t i = 0; i < fields.size(); ++i) out += (i ? "," : "") + CsvField(fields[i]);
        out += "\r\n";
    }
    return out;
}

std::string ListingJson(const std::vector<StoredRecord>& rows) {
    std::string out = "[";
    for (size_t n = 0; n < rows.size(); ++n) {
        const auto fields = Fields(rows[n]);
        Json object;
        for (size_t i = 0; i < fields.size(); ++i)
            object[kListedFields[i]] =
                i + 1 == fields.size() ? Json(rows[n].columns.imported != 0) : Json(fields[i]);
        out += n ? ",\n" : "\n";
        out += Canonical(object);
    }
    return out + "\n]\n";
}

std::string ListingTable(const std::vector<StoredRecord>& rows) {
    const char* headings[] = {"TIME (UTC)", "KIND", "OUTCOME", "STATION", "ADDRESS",
                              "SERIAL",     "AXIS", "FILE",    "UUID"};
    std::vector<std::array<std::string, 9>> table;
    std::array<std::string, 9> head;
    std::copy(std::begin(headings), std::end(headings), head.begin());
    table.push_back(head);
    for (const StoredRecord& r : rows) {
        const IndexColumns& c = r.columns;
        table.push_back({Printable(c.time.substr(0, 19)),
                         c.kind + (c.imported ? " (imported)" : ""), Printable(c.outcome),
                         Printable(c.station), Printable(c.address), Printable(c.serial),
                         Printable(c.axis), Printable(c.file), r.uuid});
    }
    std::array<size_t, 9> width{};
    for (const auto& line : table)
        for (size_t i = 0; i < line.size(); ++i) width[i] = std::max(width[i], line[i].size());
    std::string out;
    for (const auto& line : table) {
        std::string text;
        for (size_t i = 0; i < line.size(); ++i) {
            text += line[i];
            if (i + 1 < line.size()) text += std::string(width[i] - line[i].size() + 2, ' ');
        }
        out += text + "\n";
    }
    return out;
}

std::string DescribeRecord(const StoredRecord& row) {
    const Record r = RecordFromContent(row.content);
    std::string out;
    const auto line = [&](const char* name, const std::string& value) {
        if (value.empty()) return;
        std::string label = name;
        label.resize(std::max<size_t>(label.size(), 11), ' ');
        out += label + Printable(value) + "\n";
    };
    line("Record",
         r.uuid + " (" + std::string(KindName(r.kind)) + (r.imported ? ", imported" : "") + ")");
    line("Time", r.time);
    line("Station", r.station);
    line("Program", r.program);
    line("Board", "address " + r.board.address + ", serial " + r.board.serial + ", firmware " +
                      r.board.firmware + ", board revision " + r.board.boardRevision);
    line("Axis", r.axis);
    line("File", r.file.name + (r.file.sha256.empty() ? "" : "  sha256 " + r.file.sha256));
    line("Outcome", r.outcome + (r.detail.empty() ? "" : ": " + r.detail));
    line("Follows", r.follows);
    line("Run", r.run);
    if (r.setup) {
        const RunSetup& s = *r.setup;
        line("Operator", s.operatorName);
        line("Prompts", s.promptFile.name +
                            (s.promptFile.sha256.empty() ? "" : "  sha256 " + s.promptFile.sha256));
        line("Run setup",
             "tilt range " + std::to_string(s.tiltRange) + ", " + std::to_string(s.positions) +
                 " positions per sweep, averaging " +
                 (s.averaging ? "on (" + std::to_string(s.averageNum) + ")" : std::string("off")) +
                 ", tolerances " + Number(s.toleranceCal) + " (calibration) and " +
                 Number(s.toleranceTest) + " (test), range check " + (s.rangeCheck ? "on" : "off") +
                 ", negate " + (s.negate ? "on" : "off"));
        line("Started", s.start);
        line("Ended", s.end);
    }
    if (!r.readings.empty()) {
        out += "Readings (row, sweep, label, angle, reading, companion, other axis, temperature)\n";
        for (const AcceptedReading& a : r.readings)
            out += "  " + std::to_string(a.row) + "  " + std::string(SweepName(a.sweep)) + "  " +
                   Printable(a.label) + "  " + Number(a.angle) + "  " + Number(a.reading) + "  " +
                   Number(a.companion) + "  " + Maybe(a.otherAxis) + "  " + Maybe(a.temperature) +
                   "\n";
    }
    if (!r.testRows.empty()) {
        out +=
            "Test rows (row, sweep, label, angle, expected, reading, deviation, low, high, "
            "inside, temperature)\n";
        for (const TestRow& t : r.testRows)
            out += "  " + std::to_string(t.row) + "  " + std::string(SweepName(t.sweep)) + "  " +
                   Printable(t.label) + "  " + Number(t.angle) + "  " + Number(t.expected) + "  " +
                   Number(t.reading) + "  " + Number(t.deviation) + "  " + Maybe(t.low) + "  " +
                   Maybe(t.high) + "  " + (t.inside ? (*t.inside ? "inside" : "OUTSIDE") : "-") +
                   "  " + Maybe(t.temperature) + "\n";
    }
    if (!r.residuals.empty()) {
        out += "Residuals, degrees (sweep, angle, residual, low, high)\n";
        for (const ResidualRow& res : r.residuals)
            out += "  " + std::string(SweepName(res.sweep)) + "  " + Number(res.angle) + "  " +
                   Number(res.residual) + "  " + Maybe(res.low) + "  " + Maybe(res.high) + "\n";
        line("Largest", Maybe(r.largestResidual) + " degrees, " + Maybe(r.largestResidualSingle) +
                            " with single-precision constants");
    }
    if (r.constants) out += "Constants\n" + Constants(*r.constants);
    if (r.constantsSingle)
        out += "Constants as the board holds them (single precision)\n" +
               Constants(*r.constantsSingle);
    line("Chain", row.link.chain + ", number " + std::to_string(row.link.seq));
    line("Hash", row.hash);
    line("Previous", row.link.prevHash);
    return out;
}

}  // namespace clinora::records
