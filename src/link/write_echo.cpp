#include "write_echo.h"

#include <algorithm>
#include <cctype>

#include "command_line.h"

namespace clinora {

namespace {

constexpr int kMemorySize = 256;
constexpr std::string_view kHexDigits = "0123456789ABCDEF";

std::vector<std::string_view> Words(std::string_view text) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ' ') ++i;
        const size_t start = i;
        while (i < text.size() && text[i] != ' ') ++i;
        if (i > start) words.push_back(text.substr(start, i - start));
    }
    return words;
}

std::optional<int> HexNumber(std::string_view text) {
    if (text.empty() || text.size() > 8) return std::nullopt;
    long value = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else {
            return std::nullopt;
        }
        value = value * 16 + digit;
    }
    return static_cast<int>(value);
}

std::string_view FirstLine(const std::string& text) {
    return std::string_view(text).substr(0, text.find_first_of("\r\n"));
}

// The cell fields a board may hear for the one of `w`: a character lost, or
// changed to another digit (either case), naming a cell other than the one
// meant that the write fits into.
std::vector<std::string> MisheardCellTexts(const MemoryWrite& w, bool droppedOnly) {
    static constexpr std::string_view kDigitsBothCases = "0123456789ABCDEFabcdef";
    const std::string cellText = Hex(static_cast<unsigned>(w.cell));
    std::vector<std::string> texts;
    for (size_t i = 0; i < cellText.size(); ++i) {
        texts.push_back(cellText.substr(0, i) + cellText.substr(i + 1));
        if (droppedOnly) continue;
        for (char d : kDigitsBothCases) {
            if (d != cellText[i])
                texts.push_back(cellText.substr(0, i) + d + cellText.substr(i + 1));
        }
    }
    const int span = static_cast<int>(std::max<size_t>(w.bytes.size(), 1));
    std::vector<std::string> fitting;
    for (const auto& t : texts) {
        const auto start = HexNumber(t);
        if (start && *start != w.cell && *start + span <= kMemorySize) fitting.push_back(t);
    }
    return fitting;
}

}  // namespace

std::string WriteCommandText(const MemoryWrite& w) {
    std::string text = w.word + " " + Hex(static_cast<unsigned>(w.cell));
    if (w.word == "WE") {
        const unsigned byte = w.bytes.empty() ? 0u : w.bytes[0];
        text += ' ';
        text += kHexDigits[byte >> 4];
        text += kHexDigits[byte & 0xF];
        return text;
    }
    text += " " + Hex(static_cast<unsigned>(w.bytes.size()));
    for (uint8_t b : w.bytes) text += " " + Hex(b);
    return text;
}

std::optional<MemoryWrite> ParseWriteCommand(std::string_view text) {
    const auto words = Words(text);
    if (words.size() < 3 || (words[0] != "WE" && words[0] != "WM")) return std::nullopt;
    MemoryWrite w;
    w.word = std::string(words[0]);
    const auto cell = HexNumber(words[1]);
    if (!cell || *cell >= kMemorySize) return std::nullopt;
    w.cell = *cell;
    size_t first = 2;
    if (w.word == "WM") {
        const auto count = HexNumber(words[2]);
        if (!count || *count == 0 || words.size() != 3u + *count || w.cell + *count > kMemorySize)
            return std::nullopt;
        first = 3;
    } else if (words.size() != 3) {
        return std::nullopt;
    }
    for (size_t i = first; i < words.size(); ++i) {
        const auto b = HexNumber(words[i]);
        if (!b || *b > 0xFF) return std::nullopt;
        w.bytes.push_back(static_cast<uint8_t>(*b));
    }
    return w;
}

std::vector<int> MisheardStarts(const MemoryWrite& w, bool droppedOnly) {
    std::vector<int> starts;
    for (const auto& t : MisheardCellTexts(w, droppedOnly)) {
        const int start = *HexNumber(t);
        if (std::find(starts.begin(), starts.end(), start) == starts.end()) starts.push_back(start);
    }
    return starts;
}

EchoVerdict JudgeWriteEcho(const MemoryWrite& sent, const std::string& reply) {
    const std::string command = WriteCommandText(sent);
    const bool ended = reply.find('\r') != std::string::npos;
    const std::string_view line = FirstLine(reply);
    const auto words = Words(line);
    EchoVerdict v;
    if (ended && !words.empty() && words[0] == sent.word) {
        if (line.find('?') != std::string_view::npos) {
            v.says = EchoSays::Refused;
            return v;
        }
        if (line == command) {
            v.says = EchoSays::Written;
            return v;
        }
        if (const auto heard = ParseWriteCommand(line)) {
            v.says = heard->cell == sent.cell ? EchoSays::SameCell : EchoSays::OtherCell;
            v.heard = *heard;
            return v;
        }
    }
    // No readable echo. What the board heard is known only as far as the
    // answer shows it: a line cut short is a true beginning of the echo; a
    // garbled line still shows the cell field when the noise spared it.
    v.says = EchoSays::Unknown;
    const std::string cellField = " " + Hex(static_cast<unsigned>(sent.cell)) + " ";
    if (ended) {
        const size_t blank = line.find(' ');
        const bool cellSpared =
            blank != std::string_view::npos && line.substr(blank, cellField.size()) == cellField;
        if (!cellSpared) v.strayStarts = MisheardStarts(sent);
        return v;
    }
    // Compared without regard to case: a board echoes a digit as it heard it.
    const std::string_view arrived = line;
    const auto fits = [&](const std::string& echo) {
        if (arrived.size() > echo.size()) return false;
        for (size_t i = 0; i < arrived.size(); ++i) {
            if (std::toupper(static_cast<unsigned char>(arrived[i])) !=
                std::toupper(static_cast<unsigned char>(echo[i])))
                return false;
        }
        return true;
    };
    const size_t cellAt = sent.word.size() + 1;
    const std::string rest = command.substr(command.find(' ', cellAt));
    std::vector<int> starts;
    for (const std::string& t : MisheardCellTexts(sent, false)) {
        const int start = *HexNumber(t);
        if (fits(command.substr(0, cellAt) + t + rest) &&
            std::find(starts.begin(), starts.end(), start) == starts.end()) {
            starts.push_back(start);
        }
    }
    // A beginning that fits neither the line sent nor any misheard one was
    // changed on its way back: it tells nothing.
    if (starts.empty() && !fits(command)) starts = MisheardStarts(sent);
    v.strayStarts = starts;
    return v;
}

}  // namespace clinora
