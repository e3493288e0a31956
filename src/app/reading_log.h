#pragma once

#include <optional>
#include <string>

#include "app/text_line_file.h"
#include "link/local_time.h"

namespace clinora {

inline constexpr const char* kReadingLogHeader =
    "Serial,Date,Temp,Temp units,Axis A,Units,Axis B,Units,Comment";

// What one line of the reading log is made of. Texts are as displayed (UTF-8).
struct LogReading {
    std::string serial;
    std::string temperature;  // carries its own unit, e.g. "21.50 °C"
    std::string axisA, axisB;
    std::string unit;         // log unit text of the selected reading type
    std::string deviceUnits;  // the board's units label ("mm" for a tunnel board)
    std::string comment;
    LocalDateTime time{};
};

// One log line as bytes for the file, one byte per character: serial, date,
// temperature, "°C", axis A, unit, axis B, unit ("mm" for a tunnel board) and,
// when `withComment`, the comment (the timer's lines always carry the column,
// a saved reading only when its comment is not empty). A comma or a control
// character inside a text becomes a blank, so the line always has its columns.
std::string FormatLogLine(const LogReading& reading, bool withComment);
// The log's date and time: "dd/mm/yyyy hh:mm:ss".
std::string FormatLogTime(const LocalDateTime& time);

// Why a Label text cannot be a comment, or nothing when it can.
std::optional<std::string> CommentProblem(const std::string& comment);

// The interval box's text as seconds: its leading whole number ("15s" is 15),
// 0 when there is none.
int LogIntervalFromText(const std::string& text);

inline constexpr int kMinLogInterval = 2, kMaxLogInterval = 60;
inline constexpr const char* kIntervalOutOfRange = "Interval out of range: 2 to 60 seconds.";

// UTF-8 text as one byte per character (Latin-1), as the data files store
// it: "°" becomes the byte 0xB0; a character beyond Latin-1 becomes '?'.
std::string ToSingleBytes(const std::string& utf8);

// The reading log on disk. Every line reaches the file as it is made, so a
// crash or a power loss loses no reading already logged.
class ReadingLogFile {
public:
    // Opens the existing log, else creates it; false when both fail.
    // Already open: true.
    bool open(const std::string& path);
    bool isOpen() const { return file_.isOpen(); }
    // Writes the header line when the file is empty.
    bool writeHeaderIfEmpty();
    // Appends one line (bytes as FormatLogLine makes them) at the end of the
    // file. A file whose last line lacks its line break gets one first, so
    // the new line never joins it. False, with nothing of the line in the
    // file, when it cannot be written or the file is no longer at its path
    // (removed or replaced: the line would go nowhere).
    bool writeLine(const std::string& line);
    void close();
    // Why the last write failed, in words ("No space left on device").
    const std::string& failure() const { return failure_; }

private:
    bool written(bool ok);

    TextLineFile file_;
    bool needsLineBreak_ = false;
    std::string failure_;
};

// What the Monitor page says when the log cannot take a line.
std::string LogWriteFailureText(const std::string& path, const std::string& reason);

}  // namespace clinora
