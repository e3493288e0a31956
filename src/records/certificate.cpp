#include "records/certificate.h"

#include <cmath>
#include <ctime>

#include "link/number_text.h"
#include "records/digest.h"

namespace clinora::records {

std::string ConstantName(char axis, int i) {
    const std::string name = kConstantNames.at(static_cast<size_t>(i));
    return name.size() == 1 ? std::string(1, axis) + name : name;
}

std::string ConstantUnitDsi(int i) {
    static constexpr std::array<const char*, 8> kUnits = {"\\one",
                                                          "\\volt\\tothe{-1}",
                                                          "\\volt\\tothe{-2}",
                                                          "\\one",
                                                          "\\volt\\tothe{-1}",
                                                          "\\volt\\tothe{-3}",
                                                          "\\volt\\tothe{-4}",
                                                          "\\volt\\tothe{-5}"};
    return kUnits.at(static_cast<size_t>(i));
}

std::string ConstantUnitText(int i) {
    static constexpr std::array<const char*, 8> kUnits = {"1",
                                                          "V\u207b\u00b9",
                                                          "V\u207b\u00b2",
                                                          "1",
                                                          "V\u207b\u00b9",
                                                          "V\u207b\u00b3",
                                                          "V\u207b\u2074",
                                                          "V\u207b\u2075"};
    return kUnits.at(static_cast<size_t>(i));
}

Conformity JudgeRows(const std::vector<CertificateRow>& rows) {
    std::vector<const CertificateRow*> outside;
    for (const CertificateRow& row : rows)
        if (!row.pass) outside.push_back(&row);
    if (rows.empty()) return {false, "No test positions were recorded"};
    if (outside.empty()) return {true, kWithinLimitsStatement};
    std::string text = "Outside the limits at " + std::to_string(outside.size()) + " of " +
                       std::to_string(rows.size()) +
                       (rows.size() == 1 ? " position: " : " positions: ");
    for (size_t i = 0; i < outside.size(); ++i) {
        if (i > 0) text += "; ";
        text += PositionName(*outside[i]);
        text += outside[i]->hasLimits ? ", deviation " + SineText(outside[i]->deviation)
                                      : ", no test limits in the prompt file";
    }
    return {false, text};
}

std::string CertificateNumber(const std::string& calibrationRecordId,
                              const std::string& testRecordId) {
    // The length prefix keeps ("ab", "c") and ("a", "bc") apart.
    const std::string hex = Sha256Hex(std::to_string(calibrationRecordId.size()) + ":" +
                                      calibrationRecordId + "\n" + testRecordId);
    std::string number = "CC";
    for (size_t i = 0; i < 12; i += 4) {
        number += '-';
        for (char c : hex.substr(i, 4)) number += static_cast<char>(c >= 'a' ? c - 32 : c);
    }
    return number;
}

std::string CertificateFileStem(const Certificate& certificate) {
    std::string stem =
        certificate.item.serialNumber.empty() ? "unknown" : certificate.item.serialNumber;
    stem += "_" + IsoDate(certificate.calibrationTime) + "_" + certificate.number;
    for (char& c : stem) {
        const bool safe = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                          (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
        if (!safe) c = '_';
    }
    if (stem.front() == '.') stem.front() = '_';
    return stem;
}

std::string CleanText(const std::string& text) {
    static const std::string kReplacement = "\xEF\xBF\xBD";
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            const bool allowed = c >= 0x20 ? c != 0x7F : (c == '\n' || c == '\t');
            out += allowed ? std::string(1, static_cast<char>(c)) : kReplacement;
            ++i;
            continue;
        }
        // A multi-byte sequence: its length, the smallest code point it may
        // encode (no over-long forms) and its value.
        const int length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
        if (length == 0 || c > 0xF4 || i + length > text.size()) {
            out += kReplacement;
            ++i;
            continue;
        }
        uint32_t cp = c & (0x7F >> length);
        bool valid = true;
        for (int k = 1; k < length && valid; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            cp = (cp << 6) | (next & 0x3F);
        }
        static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        valid = valid && cp >= kSmallest[length] && cp <= 0x10FFFF &&
                !(cp >= 0xD800 && cp <= 0xDFFF) && !(cp >= 0x80 && cp < 0xA0) && cp != 0xFFFE &&
                cp != 0xFFFF;
        if (!valid) {
            out += kReplacement;
            ++i;
            continue;
        }
        out.append(text, i, static_cast<size_t>(length));
        i += static_cast<size_t>(length);
    }
    return out;
}

std::string AngleText(double degrees) {
    const std::string text = FormatGeneral(degrees, 6);
    return text == "-0" ? "0" : text;
}

std::string SineText(double value) {
    const std::string text = FormatFixed(value, 6);
    return text == "-0.000000" ? "0.000000" : text;
}

std::string ConstantText(float value) { return FormatScientific(value, 8); }

namespace {

std::tm Utc(int64_t seconds) {
    const auto t = static_cast<std::time_t>(seconds);
    std::tm parts{};
    if (!gmtime_r(&t, &parts)) {
        parts = std::tm{};
        parts.tm_mday = 1;
        parts.tm_year = 70;
    }
    return parts;
}

}  // namespace

std::string IsoDate(int64_t seconds) {
    const std::tm t = Utc(seconds);
    return FormatInt(t.tm_year + 1900, 4) + "-" + FormatInt(t.tm_mon + 1, 2) + "-" +
           FormatInt(t.tm_mday, 2);
}

std::string IsoDateTime(int64_t seconds) {
    const std::tm t = Utc(seconds);
    return IsoDate(seconds) + " " + FormatInt(t.tm_hour, 2) + ":" + FormatInt(t.tm_min, 2) + " UTC";
}

std::string LimitText(const CertificateRow& row) {
    if (!row.hasLimits) return "none";
    // Symmetric as far as the six decimals show.
    if (SineText(-row.lowLimit) == SineText(row.highLimit))
        return "\u00b1" + SineText(row.highLimit);
    const std::string high = SineText(row.highLimit);
    return SineText(row.lowLimit) + " / " + (row.highLimit >= 0 ? "+" : "") + high;
}

std::string PositionName(const CertificateRow& row) {
    const std::string where = row.label.empty() ? AngleText(row.angle) + "\u00b0" : row.label;
    return "position " + std::to_string(row.number) + " (" + where + ", " +
           (row.firstSweep ? "first" : "return") + " sweep)";
}

std::string TemperatureText(double celsius) { return FormatFixed(celsius, 1) + " \u00b0C"; }

std::string AveragingText(int averaging) {
    if (averaging <= 0) return "none (single readings)";
    return "running mean of " + std::to_string(averaging) +
           (averaging == 1 ? " reading" : " readings");
}

}  // namespace clinora::records
