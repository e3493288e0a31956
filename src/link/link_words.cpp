#include "link_words.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "protocol.h"

namespace clinora {

namespace {

std::string Device(const std::string& path) {
    return path.empty() ? std::string("the serial port") : path;
}

// What lives in a cell, and what puts it right again.
struct CellRegion {
    int first, last;
    const char* use;
    const char* mend;
};

const CellRegion kRegions[] = {
    {0x01, 0x02, "device type", "set its device type again"},
    {0x41, 0x43, "sensor settings", "write its sensor settings again"},
    {0x49, 0x4B, "axis flags", "write its axis flags again"},
    {0x50, 0x53, "fixed bytes", "upload its constants again"},
    {0x54, 0x57, "calibration date", "upload its constants again"},
    {0x58, 0x58, "axis A checksum", "upload axis A again"},
    {0x59, 0x59, "axis B checksum", "upload axis B again"},
    {0x70, 0x8F, "axis A constants", "upload axis A again"},
    {0xA0, 0xBF, "axis B constants", "upload axis B again"},
};

const CellRegion* RegionOf(int cell) {
    for (const CellRegion& r : kRegions) {
        if (cell >= r.first && cell <= r.last) return &r;
    }
    return nullptr;
}

std::string CellName(int cell) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(cell) & 0xFF);
    return text;
}

}  // namespace

std::string PortFailureText(const std::string& path, int errorCode) {
    const std::string device = Device(path);
    switch (errorCode) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return "Cannot open " + device + ": no such device (unplugged?)";
        case EACCES:
        case EPERM:
            return "Cannot open " + device +
                   ": permission denied; the user must be in the dialout group";
        case EAGAIN:
            return "Cannot open " + device + ": in use by another program";
        case EBUSY:
            return "Cannot open " + device +
                   ": locked for exclusive use by another program, or left so by an older "
                   "version of this one; if nothing else uses it, free it with: " +
                   UnlockCommand(device);
        case ENOTTY:
        case EINVAL:
        case EISDIR:
            return "Cannot use " + device + ": not a serial device";
        default: {
            const char* reason = errorCode > 0 ? std::strerror(errorCode) : "unknown error";
            return "Cannot open " + device + ": " + reason + " (error " +
                   std::to_string(errorCode) + ")";
        }
    }
}

std::string NoAnswerText(const std::string& path) {
    return "No answer from the boards on " + Device(path);
}

std::string NoBoardAtText(const std::string& address, const std::string& path) {
    return OnDevice(address.empty() ? std::string("no board answered")
                                    : "no board answered at address " + address,
                    path) +
           " (at 115200 or 9600 baud)";
}

std::string OnDevice(const std::string& what, const std::string& path) {
    return what + " on " + Device(path);
}

std::string UnlockCommand(const std::string& path) {
    return "sudo clinora-cli unlock --port " + path;
}

std::string CellUse(int cell) {
    const CellRegion* r = RegionOf(cell);
    return r ? r->use : "a cell this program does not use";
}

std::string StrayWriteText(const StrayReport& report) {
    const CellRegion* r = RegionOf(report.cell);
    const std::string cell = report.cells > 1 ? "cells " + CellName(report.cell) + " to " +
                                                    CellName(report.cell + report.cells - 1)
                                              : "cell " + CellName(report.cell);
    const std::string where =
        cell + " of board " + report.address + " (" + CellUse(report.cell) + ")";
    const std::string mend = r ? r->mend : "have the board checked before it is used";
    switch (report.kind) {
        case StrayKind::Written:
            return "A garbled command wrote " + where + "; " + mend;
        case StrayKind::Possible:
            return "A garbled command may have written " + where + "; " + mend;
        case StrayKind::Restored:
            return "A garbled command wrote " + where + "; its former byte was written back";
        case StrayKind::OtherBoard:
            return "A command for board " + report.address +
                   " was taken by another board: " + cell + " (" + CellUse(report.cell) +
                   ") of a board whose address differs from " + report.address +
                   " by one character may have changed; check those boards";
        case StrayKind::Unchecked:
            return "Commands to board " + report.address +
                   " went unanswered and could not be checked afterwards: other cells of the "
                   "board may have changed; upload its constants again";
    }
    return {};
}

std::string AddressInUseText(const std::string& address) {
    return "Address " + address + " is already used by a board on the bus";
}

std::string AddressAttemptText(const std::string& board, const std::string& address,
                               int attempt) {
    return "Giving board " + board + " address " + address + ": attempt " +
           std::to_string(attempt) + " of " + std::to_string(kAddressChangeAttempts) + "...";
}

std::string AddressNotTakenText(const std::string& board, const std::string& address) {
    return "Board " + board + " did not take address " + address + " in " +
           std::to_string(kAddressChangeAttempts) + " attempts (nothing answers at " + address +
           "); check the board and try again";
}

std::string TypeNotWrittenText(const std::string& board, const std::string& address) {
    return "Board " + board + " now answers at " + address +
           ", but its device type could not be written; give it an address again to write it";
}

std::string PartialCalibrationText(const std::string& address, const std::string& axes) {
    return "Board " + address + " may hold a partial calibration (" + axes +
           "): upload its constants again";
}

}  // namespace clinora
