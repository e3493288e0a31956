#include "calib/prompt_file.h"

#include <array>
#include <cstdio>
#include <memory>

#include "calib/byte_lines.h"
#include "calib/nominal_angles.h"
#include "link/number_text.h"

namespace clinora::calib {

namespace {

constexpr std::size_t kColumns = 15;  // columns after the 15th are ignored

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// Splits at commas; the last character always goes to the last column, even a
// comma. Returns how many columns the line gave.
std::size_t SplitColumns(const std::string& line, std::array<std::string, kColumns>& columns) {
    if (line.empty()) return 0;
    std::size_t column = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == ',' && i + 1 < line.size()) {
            if (++column == kColumns) return kColumns;
            continue;
        }
        columns[column].push_back(c);
    }
    return column + 1;
}

PromptRow MakeRow(const std::array<std::string, kColumns>& columns, std::size_t count) {
    PromptRow row;
    row.firstLabel = columns[0];
    row.label = columns[1];
    double* const numbers[] = {&row.aTarget,   &row.aLow,        &row.aHigh,       &row.bTarget,
                               &row.bLow,      &row.bHigh,       &row.aTestTarget, &row.aTestLow,
                               &row.aTestHigh, &row.bTestTarget, &row.bTestLow,    &row.bTestHigh};
    // A column counts only as a whole finite decimal number (blanks around it aside).
    for (std::size_t c = 3; c < count; ++c)
        *numbers[c - 3] = ParseWholeDouble(TrimBlanks(columns[c])).value_or(-1.0);
    return row;
}

}  // namespace

int ReadPromptFile(const std::filesystem::path& path, std::vector<PromptRow>& rows) {
    rows.clear();
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) return 0;
    ByteLineReader reader(file.get());
    std::string line;
    if (!reader.readLine(line)) return 0;
    // The first line starts with the number of lines before the data, itself included.
    const int headerLines = ParseLeadingInt(line, 1);
    for (int i = 1; i < headerLines; ++i)
        if (!reader.readLine(line)) return 0;

    while (reader.readLine(line)) {
        std::array<std::string, kColumns> columns;
        const std::size_t count = SplitColumns(line, columns);
        if (count >= 2) rows.push_back(MakeRow(columns, count));
    }
    return static_cast<int>(rows.size());
}

bool PromptRowCountUsable(int rows, double tiltRange) {
    return rows >= kMinPromptRows && rows % 2 == 0 && rows <= 2 * NominalAngles(tiltRange).count;
}

int ReadPromptFileForRange(const std::filesystem::path& path, double tiltRange,
                           std::vector<PromptRow>& rows) {
    const int count = ReadPromptFile(path, rows);
    if (PromptRowCountUsable(count, tiltRange)) return count;
    rows.clear();
    return 0;
}

}  // namespace clinora::calib
