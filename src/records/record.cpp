#include "records/record.h"

namespace clinora::records {

namespace {

// The content format; a reader refuses a newer one it cannot know.
constexpr int64_t kContentFormat = 1;

constexpr std::array<std::string_view, 5> kKindNames = {"calibration", "test", "upload", "verify",
                                                        "read"};

Json Identity(const BoardIdentity& b) {
    return Json::Object{{"address", b.address},
                        {"serial", b.serial},
                        {"firmware", b.firmware},
                        {"board_revision", b.boardRevision}};
}

BoardIdentity IdentityFrom(const Json& j) {
    return {j.at("address").text("address"), j.at("serial").text("serial"),
            j.at("firmware").text("firmware"), j.at("board_revision").text("board_revision")};
}

Json File(const FileRef& f) { return Json::Object{{"name", f.name}, {"sha256", f.sha256}}; }

FileRef FileFrom(const Json& j) {
    return {j.at("name").text("name"), j.at("sha256").text("sha256")};
}

Json Setup(const RunSetup& s) {
    return Json::Object{{"operator", s.operatorName},
                        {"prompt_file", File(s.promptFile)},
                        {"tilt_range", s.tiltRange},
                        {"positions", s.positions},
                        {"averaging", s.averaging},
                        {"average_num", s.averageNum},
                        {"tolerance_cal", s.toleranceCal},
                        {"tolerance_test", s.toleranceTest},
                        {"range_check", s.rangeCheck},
                        {"negate", s.negate},
                        {"start", s.start},
                        {"end", s.end}};
}

int Int(const Json& j, std::string_view key) { return static_cast<int>(j.at(key).integer(key)); }
double Number(const Json& j, std::string_view key) { return j.at(key).number(key); }
std::optional<double> MaybeNumber(const Json& j, std::string_view key) {
    return j.get(key).maybeNumber(key);
}

RunSetup SetupFrom(const Json& j) {
    RunSetup s;
    s.operatorName = j.at("operator").text("operator");
    s.promptFile = FileFrom(j.at("prompt_file"));
    s.tiltRange = Int(j, "tilt_range");
    s.positions = Int(j, "positions");
    s.averaging = j.at("averaging").boolean("averaging");
    s.averageNum = Int(j, "average_num");
    s.toleranceCal = Number(j, "tolerance_cal");
    s.toleranceTest = Number(j, "tolerance_test");
    s.rangeCheck = j.at("range_check").boolean("range_check");
    s.negate = j.at("negate").boolean("negate");
    s.start = j.at("start").text("start");
    s.end = j.at("end").text("end");
    return s;
}

Sweep SweepFrom(const Json& j) {
    const std::string& name = j.at("sweep").text("sweep");
    if (name == SweepName(Sweep::First)) return Sweep::First;
    if (name == SweepName(Sweep::Return)) return Sweep::Return;
    throw JsonError("sweep: 'first' or 'return' expected");
}

Json Numbers(const double* values, size_t count) {
    Json::Array a;
    for (size_t i = 0; i < count; ++i) a.emplace_back(values[i]);
    return a;
}

void NumbersFrom(const Json& j, std::string_view key, double* values, size_t count) {
    const Json::Array& a = j.at(key).array(key);
    if (a.size() != count) throw JsonError(std::string(key) + ": wrong count of values");
    for (size_t i = 0; i < count; ++i) values[i] = a[i].number(key);
}

Json Constants(const ConstantSet& c) {
    const double aCross[] = {c.aCrossLinear, c.aCrossQuadratic};
    const double bCross[] = {c.bCrossLinear, c.bCrossQuadratic};
    return Json::Object{{"a", Numbers(c.a.data(), 6)},
                        {"a_cross", Numbers(aCross, 2)},
                        {"b", Numbers(c.b.data(), 6)},
                        {"b_cross", Numbers(bCross, 2)}};
}

ConstantSet ConstantsFrom(const Json& j) {
    ConstantSet c;
    double aCross[2], bCross[2];
    NumbersFrom(j, "a", c.a.data(), 6);
    NumbersFrom(j, "a_cross", aCross, 2);
    NumbersFrom(j, "b", c.b.data(), 6);
    NumbersFrom(j, "b_cross", bCross, 2);
    c.aCrossLinear = aCross[0];
    c.aCrossQuadratic = aCross[1];
    c.bCrossLinear = bCross[0];
    c.bCrossQuadratic = bCross[1];
    return c;
}

Json Reading(const AcceptedReading& r) {
    return Json::Object{{"row", r.row},
                        {"sweep", SweepName(r.sweep)},
                        {"slot", r.slot},
                        {"label", r.label},
                        {"angle", r.angle},
                        {"reading", r.reading},
                        {"companion", r.companion},
                        {"other_axis", Json::Maybe(r.otherAxis)},
                        {"temperature", Json::Maybe(r.temperature)}};
}

AcceptedReading ReadingFrom(const Json& j) {
    return {Int(j, "row"),
            SweepFrom(j),
            Int(j, "slot"),
            j.at("label").text("label"),
            Number(j, "angle"),
            Number(j, "reading"),
            Number(j, "companion"),
            MaybeNumber(j, "other_axis"),
            MaybeNumber(j, "temperature")};
}

Json Residual(const ResidualRow& r) {
    return Json::Object{{"sweep", SweepName(r.sweep)},
                        {"slot", r.slot},
                        {"angle", r.angle},
                        {"residual", r.residual},
                        {"low", Json::Maybe(r.low)},
                        {"high", Json::Maybe(r.high)}};
}

ResidualRow ResidualFrom(const Json& j) {
    return {SweepFrom(j),          Int(j, "slot"),        Number(j, "angle"),
            Number(j, "residual"), MaybeNumber(j, "low"), MaybeNumber(j, "high")};
}

Json Row(const TestRow& r) {
    return Json::Object{{"row", r.row},
                        {"sweep", SweepName(r.sweep)},
                        {"slot", r.slot},
                        {"label", r.label},
                        {"angle", r.angle},
                        {"expected", r.expected},
                        {"reading", r.reading},
                        {"deviation", r.deviation},
                        {"low", Json::Maybe(r.low)},
                        {"high", Json::Maybe(r.high)},
                        {"inside", r.inside ? Json(*r.inside) : Json()},
                        {"other_axis", Json::Maybe(r.otherAxis)},
                        {"temperature", Json::Maybe(r.temperature)}};
}

TestRow RowFrom(const Json& j) {
    TestRow r;
    r.row = Int(j, "row");
    r.sweep = SweepFrom(j);
    r.slot = Int(j, "slot");
    r.label = j.at("label").text("label");
    r.angle = Number(j, "angle");
    r.expected = Number(j, "expected");
    r.reading = Number(j, "reading");
    r.deviation = Number(j, "deviation");
    r.low = MaybeNumber(j, "low");
    r.high = MaybeNumber(j, "high");
    if (const Json& inside = j.get("inside"); !inside.isNull()) r.inside = inside.boolean("inside");
    r.otherAxis = MaybeNumber(j, "other_axis");
    r.temperature = MaybeNumber(j, "temperature");
    return r;
}

template <class T, class F>
Json List(const std::vector<T>& items, F&& each) {
    Json::Array a;
    a.reserve(items.size());
    for (const T& item : items) a.push_back(each(item));
    return a;
}

template <class T, class F>
std::vector<T> ListFrom(const Json& j, std::string_view key, F&& each) {
    std::vector<T> items;
    const Json& list = j.get(key);
    if (list.isNull()) return items;
    for (const Json& item : list.array(key)) items.push_back(each(item));
    return items;
}

}  // namespace

std::string_view KindName(RecordKind kind) { return kKindNames[static_cast<size_t>(kind)]; }

std::optional<RecordKind> KindFromName(std::string_view name) {
    for (size_t i = 0; i < kKindNames.size(); ++i)
        if (kKindNames[i] == name) return static_cast<RecordKind>(i);
    return std::nullopt;
}

std::string_view SweepName(Sweep sweep) { return sweep == Sweep::First ? "first" : "return"; }

ConstantSet ConstantSet::Of(const DeviceRecord& record) {
    return {record.a,
            record.b,
            record.aCrossLinear,
            record.aCrossQuadratic,
            record.bCrossLinear,
            record.bCrossQuadratic};
}

ConstantSet ConstantSet::single() const {
    ConstantSet s = *this;
    for (double* v : {&s.aCrossLinear, &s.aCrossQuadratic, &s.bCrossLinear, &s.bCrossQuadratic})
        *v = static_cast<float>(*v);
    for (double& v : s.a) v = static_cast<float>(v);
    for (double& v : s.b) v = static_cast<float>(v);
    return s;
}

Json ToJson(const Record& r) {
    Json j;
    j["format"] = kContentFormat;
    j["uuid"] = r.uuid;
    j["kind"] = KindName(r.kind);
    j["time"] = r.time;
    j["station"] = r.station;
    j["program"] = r.program;
    j["imported"] = r.imported;
    j["follows"] = r.follows;
    j["run"] = r.run;
    j["board"] = Identity(r.board);
    j["axis"] = r.axis;
    j["file"] = File(r.file);
    j["outcome"] = r.outcome;
    j["detail"] = r.detail;
    if (r.setup) j["setup"] = Setup(*r.setup);
    if (!r.readings.empty()) j["readings"] = List(r.readings, Reading);
    if (r.constants) j["constants"] = Constants(*r.constants);
    if (r.constantsSingle) j["constants_single"] = Constants(*r.constantsSingle);
    if (!r.residuals.empty()) j["residuals"] = List(r.residuals, Residual);
    if (r.largestResidual) j["largest_residual"] = *r.largestResidual;
    if (r.largestResidualSingle) j["largest_residual_single"] = *r.largestResidualSingle;
    if (!r.testRows.empty()) j["test_rows"] = List(r.testRows, Row);
    return j;
}

Record RecordFromJson(const Json& j) {
    if (j.at("format").integer("format") > kContentFormat)
        throw JsonError("format: written by a newer program");
    Record r;
    r.uuid = j.at("uuid").text("uuid");
    const auto kind = KindFromName(j.at("kind").text("kind"));
    if (!kind) throw JsonError("kind: unknown");
    r.kind = *kind;
    r.time = j.at("time").text("time");
    r.station = j.at("station").text("station");
    r.program = j.at("program").text("program");
    r.imported = j.at("imported").boolean("imported");
    r.follows = j.at("follows").text("follows");
    r.run = j.at("run").text("run");
    r.board = IdentityFrom(j.at("board"));
    r.axis = j.at("axis").text("axis");
    r.file = FileFrom(j.at("file"));
    r.outcome = j.at("outcome").text("outcome");
    r.detail = j.at("detail").text("detail");
    if (const Json& s = j.get("setup"); !s.isNull()) r.setup = SetupFrom(s);
    r.readings = ListFrom<AcceptedReading>(j, "readings", ReadingFrom);
    if (const Json& c = j.get("constants"); !c.isNull()) r.constants = ConstantsFrom(c);
    if (const Json& c = j.get("constants_single"); !c.isNull())
        r.constantsSingle = ConstantsFrom(c);
    r.residuals = ListFrom<ResidualRow>(j, "residuals", ResidualFrom);
    r.largestResidual = MaybeNumber(j, "largest_residual");
    r.largestResidualSingle = MaybeNumber(j, "largest_residual_single");
    r.testRows = ListFrom<TestRow>(j, "test_rows", RowFrom);
    return r;
}

std::string ContentOf(const Record& record) { return Canonical(ToJson(record)); }

Record RecordFromContent(std::string_view content) { return RecordFromJson(ParseJson(content)); }

}  // namespace clinora::records
