#include "reading_log.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>

#include "link/number_text.h"

namespace clinora {

namespace {

// One character of UTF-8 text: its code point and how many bytes it takes. A
// truncated, broken or overlong sequence gives its lead byte alone, as a code
// point (an overlong form must not pass for a comma or a line break).
struct Utf8Char {
    unsigned code;
    size_t length;
};

Utf8Char DecodeAt(const std::string& utf8, size_t i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    size_t extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if (i + extra >= utf8.size()) extra = 0;
    for (size_t k = 1; k <= extra; ++k) {
        if ((static_cast<unsigned char>(utf8[i + k]) & 0xC0) != 0x80) extra = 0;
    }
    unsigned code = extra == 0 ? c : c & (0x3Fu >> extra);
    for (size_t k = 1; k <= extra; ++k) {
        code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    }
    static constexpr unsigned kLeast[] = {0, 0x80, 0x800, 0x10000};
    if (code < kLeast[extra]) return {c, 1};
    return {code, 1 + extra};
}

// C0 and C1 control characters and DEL.
bool IsControl(unsigned code) { return code < 32 || code == 127 || (code >= 0x80 && code < 0xA0); }

// One column of a log line: what ToSingleBytes makes of the text, with every
// comma and control byte (board texts may hold them) turned into a blank so
// that the row keeps its columns and stays one line.
std::string LogColumn(const std::string& utf8) {
    std::string bytes = ToSingleBytes(utf8);
    for (char& c : bytes)
        if (c == ',' || IsControl(static_cast<unsigned char>(c))) c = ' ';
    return bytes;
}

}  // namespace

std::string ToSingleBytes(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const Utf8Char ch = DecodeAt(utf8, i);
        out += ch.code <= 0xFF ? static_cast<char>(ch.code) : '?';
        i += ch.length;
    }
    return out;
}

std::string FormatLogTime(const LocalDateTime& t) {
    return Printf("%.2d/%.2d/%.4d %.2d:%.2d:%.2d", t.day, t.month, t.year, t.hour, t.minute,
                  t.second);
}

std::string FormatLogLine(const LogReading& r, bool withComment) {
    const std::string columns[] = {r.serial, FormatLogTime(r.time), r.temperature, "\u00B0C",
                                   r.axisA,  r.unit,                r.axisB,
                                   r.deviceUnits == "mm" ? "mm" : r.unit, r.comment};
    const size_t count = withComment ? std::size(columns) : std::size(columns) - 1;
    std::string line;
    for (size_t i = 0; i < count; ++i) {
        if (i > 0) line += ',';
        line += LogColumn(columns[i]);
    }
    return line;
}

std::optional<std::string> CommentProblem(const std::string& comment) {
    if (comment.find(',') != std::string::npos) return "Commas not allowed in comment string";
    for (size_t i = 0; i < comment.size();) {
        const Utf8Char ch = DecodeAt(comment, i);
        // A line break or another control character would split or corrupt the row.
        if (IsControl(ch.code))
            return "Line breaks and control characters not allowed in comment string";
        // The log keeps one byte per character.
        if (ch.code > 0xFF)
            return "The log file cannot hold the character \"" + comment.substr(i, ch.length) +
                   "\": use Western European letters, digits and signs only";
        i += ch.length;
    }
    return std::nullopt;
}

int LogIntervalFromText(const std::string& text) {
    const int64_t seconds = ParseLeadingIntSaturated(text);
    return static_cast<int>(std::clamp<int64_t>(seconds, std::numeric_limits<int>::min(),
                                                std::numeric_limits<int>::max()));
}

namespace {

// True when the file has content whose last byte is not a line feed.
bool LacksFinalLineBreak(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in || in.tellg() <= 0) return false;
    in.seekg(-1, std::ios::end);
    char last = 0;
    return in.get(last) && last != '\n';
}

}  // namespace

bool ReadingLogFile::open(const std::string& path) {
    if (file_.isOpen()) return true;
    if (!file_.open(path, false) && !file_.open(path, true)) return false;
    needsLineBreak_ = LacksFinalLineBreak(path);
    file_.setEndsWithLineBreak(true);
    return true;
}

bool ReadingLogFile::written(bool ok) {
    if (!ok) failure_ = std::strerror(file_.lastError());
    return ok;
}

bool ReadingLogFile::writeHeaderIfEmpty() {
    if (!file_.isOpen()) return false;
    if (file_.length() != 0) return true;
    needsLineBreak_ = false;
    file_.appendLine(kReadingLogHeader);
    return written(file_.flush());
}

bool ReadingLogFile::writeLine(const std::string& line) {
    if (!file_.isOpen()) return false;
    if (!file_.stillAtPath()) {
        failure_ = "the file was removed or replaced";
        return false;
    }
    if (needsLineBreak_ && file_.length() > 0) {
        // appendLine without the line-break flag puts CR LF in front.
        file_.setEndsWithLineBreak(false);
        file_.appendLine("");
        file_.setEndsWithLineBreak(true);
    }
    needsLineBreak_ = false;
    file_.appendLine(line);
    return written(file_.flush());
}

std::string LogWriteFailureText(const std::string& path, const std::string& reason) {
    return "Cannot write the log file " + path + ": " + reason;
}

void ReadingLogFile::close() {
    if (!file_.isOpen()) return;
    file_.flush();
    file_.close();
}

}  // namespace clinora
