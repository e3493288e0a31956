#include "records/cal_file_import.h"

#include <algorithm>
#include <cmath>
#include <system_error>

#include "calib/cal_data_file.h"
#include "link/number_text.h"
#include "records/digest.h"
#include "records/utc_time.h"

namespace clinora::records {

namespace {

constexpr size_t kBatch = 200;
constexpr double kDegreesPerRadian = 57.29577951308232;

std::vector<std::string_view> Lines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) end = bytes.size();
        std::string_view line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (;;) {
        const size_t comma = line.find(',', start);
        fields.push_back(
            line.substr(start, comma == std::string_view::npos ? line.npos : comma - start));
        if (comma == std::string_view::npos) return fields;
        start = comma + 1;
    }
}

std::optional<double> Number(std::string_view text) { return ParseWholeDouble(TrimBlanks(text)); }

struct Unreadable {
    std::string why;
};

// A data row: label (its own commas kept), row number, reading A, reading B.
struct DataRow {
    std::string label;
    int number = 0;
    double a = 0, b = 0;
};

DataRow ParseDataRow(std::string_view line, size_t lineIndex) {
    const auto fields = Fields(line);
    const std::string where = "line " + std::to_string(lineIndex + 1);
    if (fields.size() < 4) throw Unreadable{where + " is not a reading row"};
    DataRow row;
    for (size_t i = 0; i + 3 < fields.size(); ++i)
        row.label += (i ? "," : "") + std::string(fields[i]);
    const auto number = ParseWholeInt(TrimBlanks(fields[fields.size() - 3]));
    const auto a = Number(fields[fields.size() - 2]);
    const auto b = Number(fields[fields.size() - 1]);
    if (!number || !a || !b) throw Unreadable{where + " holds no row number and two readings"};
    row.number = *number;
    row.a = *a;
    row.b = *b;
    return row;
}

bool Placeholder(std::string_view line, const char* axisName) {
    return line.rfind(std::string(axisName) + ",-- --,-,", 0) == 0;
}

// The report's row of one slot: the angle (signed by L/R), the two swings and
// the true sine.
struct FaceRow {
    double angle = 0, right = 0, left = 0, truth = 0;
};

std::vector<FaceRow> ParseFace(const std::vector<std::string_view>& lines, const char* title,
                               int n) {
    const auto at = std::find(lines.begin(), lines.end(), std::string_view(title));
    if (at == lines.end() || lines.end() - at < 3 + n)
        throw Unreadable{std::string("no report rows under \"") + title + "\""};
    std::vector<FaceRow> face;
    for (int k = 0; k < n; ++k) {
        const auto fields = Fields(*(at + 3 + k));
        const size_t index = static_cast<size_t>(at - lines.begin() + 3 + k);
        if (fields.size() != 8)
            throw Unreadable{"line " + std::to_string(index + 1) + " is not a report row"};
        const auto angle = ParseWholeInt(TrimBlanks(fields[0]));
        const auto right = Number(fields[3]);
        const auto left = Number(fields[4]);
        const auto truth = Number(fields[6]);
        if (!angle || !right || !left || !truth)
            throw Unreadable{"line " + std::to_string(index + 1) + " holds no report values"};
        const double sign = fields[1] == "R" ? -1.0 : 1.0;
        face.push_back({sign * *angle, *right, *left, *truth});
    }
    return face;
}

// The constants section, read as Read on the Cal page reads it.
std::optional<ConstantSet> ReadConstants(const std::filesystem::path& path) {
    DeviceRecord device;
    if (calib::CalDataFile().ReadCalibrationConstants(path, device) < calib::kConstantsUsable)
        return std::nullopt;
    return ConstantSet::Of(device);
}

Record Parse(const std::filesystem::path& path, std::string_view bytes,
             const StationInfo& station) {
    const std::string name = path.filename().string();
    const auto lines = Lines(bytes);
    if (lines.size() < 8 || lines[0] != "ZOV Orvano Calibration Data")
        throw Unreadable{"not a calibration data or test file"};
    if (lines[2].rfind("Device Address,", 0) != 0) throw Unreadable{"no device address on line 3"};
    const auto address = ParseWholeInt(TrimBlanks(lines[2].substr(15)));
    if (!address || *address < 0 || *address > 65535)
        throw Unreadable{"no device address on line 3"};

    const auto date = Fields(lines[3]);
    LocalDateTime when;
    if (date.size() != 3 || date[1].size() != 8 || date[2].size() != 8)
        throw Unreadable{"no calibration date on line 4"};
    const auto part = [](std::string_view text, size_t at) {
        return ParseWholeInt(text.substr(at, 2));
    };
    const auto month = part(date[1], 0), day = part(date[1], 3), year = part(date[1], 6);
    const auto hour = part(date[2], 0), minute = part(date[2], 3), second = part(date[2], 6);
    if (!month || !day || !year || !hour || !minute || !second || *month < 1 || *month > 12 ||
        *day < 1 || *day > 31 || *hour > 23 || *minute > 59 || *second > 60)
        throw Unreadable{"no calibration date on line 4"};
    when = {2000 + *year, *month, *day, *hour, *minute, *second};

    size_t dataEnd = 7;
    while (dataEnd < lines.size() && !lines[dataEnd].empty()) ++dataEnd;
    const size_t count = dataEnd - 7;
    const int n = static_cast<int>(count / 4);
    if (count % 4 != 0 || n < 1 || n > kMaxPositions)
        throw Unreadable{"its reading rows do not make four blocks of one sweep each"};
    const auto block = [&](int b) { return lines.begin() + 7 + b * n; };
    const auto allPlaceholders = [&](int b, const char* axisName) {
        return std::all_of(block(b), block(b) + n,
                           [&](std::string_view l) { return Placeholder(l, axisName); });
    };
    int axis;
    if (allPlaceholders(0, "B Axis") && allPlaceholders(2, "B Axis")) {
        axis = calib::kAxisA;
    } else if (allPlaceholders(1, "A Axis") && allPlaceholders(3, "A Axis")) {
        axis = calib::kAxisB;
    } else {
        throw Unreadable{"its reading rows belong to neither axis"};
    }
    const int returnBlock = axis == calib::kAxisA ? 1 : 0;
    const int firstBlock = returnBlock + 2;
    const std::vector<FaceRow> face =
        ParseFace(lines, axis == calib::kAxisA ? "Face,A+/-" : "Face,B+/-", n);
    const auto constants = ReadConstants(path);
    if (!constants) throw Unreadable{"no calibration constants"};

    const bool test = name.find("_TEST_") != std::string::npos;
    Record r;
    r.uuid = RandomUuid();
    r.kind = test ? RecordKind::Test : RecordKind::Calibration;
    r.time = UtcFromLocal(when);
    r.station = station.station;
    r.program = station.program;
    r.imported = true;
    r.board = UnknownBoard(std::to_string(*address));
    r.axis = AxisName(axis);
    r.file = FileRefOf(name, bytes);
    RunSetup setup;
    setup.tiltRange = static_cast<int>(std::lround(std::fabs(face[0].angle)));
    setup.positions = n;
    setup.start = setup.end = r.time;
    r.setup = setup;
    r.constants = *constants;
    r.constantsSingle = constants->single();

    // Block rows run from the lowest angle up: the i-th row is slot n-i.
    std::vector<DataRow> firstRows(static_cast<size_t>(n)), returnRows(static_cast<size_t>(n));
    for (const bool first : {true, false}) {
        const auto rows = block(first ? firstBlock : returnBlock);
        for (int i = 1; i <= n; ++i) {
            const size_t index = static_cast<size_t>(rows - lines.begin() + i - 1);
            const DataRow row = ParseDataRow(lines[index], index);
            if (row.number != (first ? n + i : i))
                throw Unreadable{"line " + std::to_string(index + 1) + " is out of order"};
            (first ? firstRows : returnRows)[static_cast<size_t>(n - i)] = row;
        }
    }
    // In the order of acceptance, as the program records a run.
    double largest = 0;
    std::vector<ResidualRow> returnResiduals;  // slot order, as the fit gives them
    for (int step = 0; step < 2 * n; ++step) {
        const bool first = step < n;
        const int k = first ? step : 2 * n - 1 - step;
        const DataRow& row = (first ? firstRows : returnRows)[static_cast<size_t>(k)];
        const FaceRow& f = face[static_cast<size_t>(k)];
        const Sweep sweep = first ? Sweep::First : Sweep::Return;
        const double main = axis == calib::kAxisA ? row.a : row.b;
        const double companion = axis == calib::kAxisA ? row.b : row.a;
        const int promptRow = first ? 2 * n - 1 - k : k;
        if (test) {
            TestRow t;
            t.row = promptRow;
            t.sweep = sweep;
            t.slot = k;
            t.label = row.label;
            t.angle = f.angle;
            t.expected = f.truth;
            t.reading = main;
            t.deviation = main - f.truth;
            r.testRows.push_back(t);
        } else {
            r.readings.push_back(
                {promptRow, sweep, k, row.label, f.angle, main, companion, {}, {}});
            const double calibrated = first ? f.right : f.left;
            const double residual = std::fabs(calibrated) <= 1.0
                                        ? std::asin(calibrated) * kDegreesPerRadian - f.angle
                                        : INFINITY;
            (first ? r.residuals : returnResiduals)
                .push_back({sweep, k, f.angle, residual, {}, {}});
            largest = std::max(largest, std::fabs(residual));
        }
    }
    r.residuals.insert(r.residuals.end(), returnResiduals.rbegin(), returnResiduals.rend());
    if (test) {
        r.outcome = kUnknown;
        r.detail = "imported from " + name + "; the test limits are not in the file";
    } else {
        r.largestResidual = largest;
        r.outcome = kOutcomeCalibrated;
        r.detail = "imported from " + name + "; residuals from the file's report";
    }
    return r;
}

}  // namespace

bool IsCalibrationFileName(const std::string& name) {
    // The writers name a file "FilenameError.csv" when every numbered name is taken.
    return name == "FilenameError.csv" ||
           (name.find("_CAL_DATA_") != std::string::npos && name.size() > 4 &&
            name.compare(name.size() - 4, 4, ".csv") == 0);
}

std::optional<Record> ImportedRecord(const std::filesystem::path& path, std::string_view bytes,
                                     const StationInfo& station, std::string& why) {
    try {
        return Parse(path, bytes, station);
    } catch (const Unreadable& u) {
        why = u.why;
        return std::nullopt;
    }
}

ImportReport ImportFolder(RecordStore& store, const std::filesystem::path& folder,
                          const StationInfo& station) {
    ImportReport report;
    std::error_code ec;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        if (entry.is_regular_file(ec) && IsCalibrationFileName(entry.path().filename().string()))
            files.push_back(entry.path());
    }
    if (ec) throw StoreError("Cannot read the folder " + folder.string() + ": " + ec.message());
    std::sort(files.begin(), files.end());

    std::vector<Record> batch;
    const auto flush = [&] {
        report.imported += static_cast<int64_t>(store.appendAll(std::move(batch)).size());
        batch.clear();
    };
    for (const auto& path : files) {
        const std::string name = path.filename().string();
        std::string bytes;
        const auto sha = Sha256OfFile(path, &bytes);
        if (!sha) {
            report.bad.push_back({name, "cannot be read"});
            continue;
        }
        RecordFilter same;
        same.fileSha256 = *sha;
        same.limit = 1;
        const bool inBatch = std::any_of(batch.begin(), batch.end(),
                                         [&](const Record& r) { return r.file.sha256 == *sha; });
        if (inBatch || !store.list(same).empty()) {
            ++report.already;
            continue;
        }
        std::string why;
        if (auto record = ImportedRecord(path, bytes, station, why)) {
            batch.push_back(std::move(*record));
            if (batch.size() >= kBatch) flush();
        } else {
            report.bad.push_back({name, why});
        }
    }
    if (!batch.empty()) flush();
    return report;
}

}  // namespace clinora::records
