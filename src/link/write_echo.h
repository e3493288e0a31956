#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace clinora {

// A memory write as it goes on the line: "WE <cell> <byte>" (one byte) or
// "WM <cell> <count> <byte> ..." (several), numbers in hexadecimal.
struct MemoryWrite {
    std::string word;  // "WE" or "WM"
    int cell = 0;
    std::vector<uint8_t> bytes;
    bool operator==(const MemoryWrite&) const = default;
};

// The command text the host sends for `w` ("WE 52 03", "WM 70 4 0 0 80 3F").
std::string WriteCommandText(const MemoryWrite& w);

// A write command as a board reads it: every field a hexadecimal number,
// cells inside the memory, the byte count matching the bytes. Nothing for a
// line a board refuses.
std::optional<MemoryWrite> ParseWriteCommand(std::string_view text);

// What a board's answer to a memory write says about what it did.
enum class EchoSays {
    Written,    // the whole line came back: the board wrote what was sent
    Refused,    // the board answered "?": it wrote nothing
    SameCell,   // it wrote the cell meant, with other bytes (sending again mends it)
    OtherCell,  // it heard another cell and wrote there (`heard`)
    Unknown,    // no readable answer: it may have written any of `strayStarts`
};

struct EchoVerdict {
    EchoSays says = EchoSays::Unknown;
    MemoryWrite heard;             // OtherCell: the write the board did
    std::vector<int> strayStarts;  // Unknown: where a misheard line could have written
};

// Judges the collected reply to `sent`. Without a readable echo, the line may
// have lost or changed one character of its cell field on the way and written
// elsewhere: `strayStarts` holds every such cell that the part of the answer
// that did arrive (a line cut short, or one with a garbled first word) still
// allows.
EchoVerdict JudgeWriteEcho(const MemoryWrite& sent, const std::string& reply);

// The first cells `w` writes when one character of its cell field is lost
// (`dropped`) or, besides, changed to another hexadecimal digit on the line;
// without the cell meant, each once.
std::vector<int> MisheardStarts(const MemoryWrite& w, bool droppedOnly = false);

}  // namespace clinora
