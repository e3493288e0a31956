// Reading, identity, address and settings commands.
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "command_line.h"
#include "number_text.h"
#include "protocol.h"
#include "reading_format.h"

namespace clinora {

namespace {

bool Contains(const std::string& text, const char* word) {
    return text.find(word) != std::string::npos;
}

std::string Cut9(const std::string& text) { return text.substr(0, 9); }

// A version or revision number from a reply; one that a float cannot hold
// (converting it would be undefined) reads as 0.
float VersionNumber(const std::string& text) {
    const double value = ToDouble(text);
    return FitsFloat(value) ? static_cast<float>(value) : 0.0f;
}

const std::array<int, 3> kSensorCells = {0x41, 0x42, 0x43};
const std::array<int, 3> kFlagCells = {0x49, 0x4A, 0x4B};

}  // namespace

bool BusProtocol::SetReadingUnits(int code) {
    pause(200);
    setTarget(kBroadcastAddress);
    const char* command = code == 0 ? "RU 0" : code == 2 ? "RU 2" : "RU 1";
    const bool ok = TransactQuick(kBroadcastAddress, command);
    pause(100);
    return ok;
}

bool BusProtocol::SetTriggerMode(bool continuous) {
    setTarget(kBroadcastAddress);
    const bool ok = TransactQuick(kBroadcastAddress, continuous ? "TR 1" : "TR");
    pause(100);
    return ok;
}

bool BusProtocol::SetModeZero() {
    const bool ok = SendCommand("", "MODE 0");
    pause(100);
    return ok;
}

bool BusProtocol::ResetAllAddresses() {
    const bool ok = SendCommand(kBroadcastAddress, "AR 60317 60317");
    pause(100);
    return ok;
}

bool BusProtocol::QueryAddress() {
    // Asking changes nothing: a reply lost on the line is asked for again.
    if (!repeated([this] { return Transact(kBroadcastAddress, "DA", 2000); })) return false;
    std::string found = ReplyField(reply(), 3);
    found = found.substr(0, found.find(','));
    state_.locked([&](SharedData& d) { d.readings.foundAddress = found; });
    return true;
}

bool BusProtocol::ChangeAddress() {
    const std::string address = target();
    const std::string newAddress =
        state_.locked([](const SharedData& d) { return d.request.newAddress; });
    // Both texts end up inside command lines: refuse anything but an address,
    // and never give every board on the line one address at once.
    if (!IsValidAddress(address) || !IsValidAddress(newAddress) || address == kBroadcastAddress ||
        newAddress == kBroadcastAddress)
        return false;
    if (!SendCommand(address, std::string("PSW ") + kBusPassword)) return false;
    pause(100);
    if (!SendCommand(address, "DA " + newAddress + " " + newAddress)) return false;
    pause(100);
    zeroBuffer();
    return waitReply("DA", "DA", 1500, 50);
}

AddressCheck BusProtocol::CheckAddressFree(const std::string& address, int attempts) {
    if (!IsValidAddress(address)) return AddressCheck::Unknown;
    SerialPort& port = state_.port();
    // Any byte back means a board listens there: a banner that two boards
    // answered at once arrives garbled, and that is exactly what to find.
    const auto anything = [](const std::string& text) { return !text.empty(); };
    AddressCheck result = AddressCheck::Unknown;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        port.Discard();
        const int got = probeOnce(address, anything);
        if (got < 0 || stopping() || !port.isOpen()) {
            result = AddressCheck::Unknown;
            break;
        }
        if (got == 1) {
            result = AddressCheck::Used;
            break;
        }
        result = AddressCheck::Free;
    }
    port.Discard();
    return result;
}

bool BusProtocol::GiveAddress() {
    if (ChangeAddress()) return true;
    if (stopping() || !state_.port().isOpen()) return false;
    // The board may have taken the address and only its echo got lost; then
    // it answers there now (nothing did before the change began). Only a
    // whole banner counts, so that a late, mangled echo is not taken for it.
    const std::string newAddress =
        state_.locked([](const SharedData& d) { return d.request.newAddress; });
    return ProbeDevice(newAddress, 1);
}

bool BusProtocol::WriteTypeCode() {
    const auto letters = state_.locked([](const SharedData& d) { return d.request.typeLetters; });
    pause(500);
    if (!WriteEepromByte(1, letters[0])) return false;
    pause(500);
    return WriteEepromByte(2, letters[1]);
}

bool BusProtocol::ReadSingleReading(const std::string& address) {
    if (!TransactQuick(address, "SR")) {
        state_.locked([](SharedData& d) { d.readings.showNoReading(); });
        return false;
    }
    const ReadingFields fields = SplitReading(ReplyField(reply(), 3));
    const std::string tail = fields.rest;
    std::string a = Cut9(fields.a);
    std::string b = Cut9(fields.b);
    if (Contains(a, "NAN")) {
        state_.locked([](SharedData& d) {
            d.readings.axisA = "Wait...";
            d.readings.axisB = "Wait...";
        });
        return true;
    }
    const auto [settings, units] = state_.locked(
        [](const SharedData& d) { return std::make_pair(d.settings, d.readings.unitsLabel); });
    if (!settings.calibrationMode && settings.monitorUnitsUser == 1) {
        a = Printf("%.3f", SineToDegrees(ToDouble(a)));
        if (Contains(b, "NAN")) {
            state_.locked([&](SharedData& d) {
                d.readings.axisA = a;
                d.readings.axisB = "Wait...";
            });
            return true;
        }
        if (units != "mm") b = Printf("%.3f", SineToDegrees(ToDouble(b)));
    }
    const double celsius = ToDouble(tail);
    const std::string temperature = FormatTemperature(
        celsius, !settings.calibrationMode && settings.fahrenheit);
    state_.locked([&](SharedData& d) {
        d.readings.axisA = a;
        d.readings.axisB = b;
        d.readings.temperature = temperature;
    });
    return true;
}

bool BusProtocol::boardListEntry(std::string& address) const {
    return state_.locked([&](const SharedData& d) {
        const int i = d.worker.currentBoardIndex;
        if (i < 0 || i >= static_cast<int>(d.request.boardList.size()) || i >= kMaxBoards) {
            return false;
        }
        address = d.request.boardList[i];
        return true;
    });
}

bool BusProtocol::ReadBoardReading() {
    std::string address;
    if (!boardListEntry(address)) return false;
    const int slot = state_.locked([](const SharedData& d) { return d.worker.currentBoardIndex; });
    if (!TransactQuick(address, "SR")) {
        state_.locked([&](SharedData& d) { d.readings.boards[slot].temperature = 0; });
        return false;
    }
    pause(100);
    const ReadingFields fields = SplitReading(ReplyField(reply(), 3));
    state_.locked([&](SharedData& d) {
        BoardReading& reading = d.readings.boards[slot];
        reading = {ToDouble(fields.a), ToDouble(fields.b), ToDouble(fields.rest),
                   reading.sequence + 1};
    });
    return true;
}

bool BusProtocol::TriggerBoard() {
    std::string address;
    if (!boardListEntry(address)) return false;
    setTarget(address);
    const bool ok = Transact(address, "TR", 2000);
    pause(100);
    return ok;
}

bool BusProtocol::ReadDeviceInfo(const std::string& address) {
    BoardInfo info;
    const bool all = ReadBoardInfo(address, info);
    state_.locked([&](SharedData& d) {
        if (info.firmware) d.readings.firmwareVersion = *info.firmware;
        if (info.serial) d.readings.serialNumber = *info.serial;
        if (info.boardRevision) d.readings.boardRevision = *info.boardRevision;
    });
    return all;
}

bool BusProtocol::ReadBoardInfo(const std::string& address, BoardInfo& info, bool quickGiveUp) {
    info = {};
    info.address = address;
    if (Transact(address, "F", 2000))
        info.firmware = VersionNumber(std::string(reply()).substr(2));
    else if (quickGiveUp)
        return false;
    pause(100);
    if (Transact(address, "SN", 2000)) info.serial = ReplyField(reply(), 3);
    pause(100);
    if (Transact(address, "BR", 2000)) {
        const std::string field = ReplyField(reply(), 3);
        const size_t comma = field.find(',');
        info.boardRevision = VersionNumber(comma != std::string::npos
                                               ? field.substr(0, comma)
                                               : std::string(reply()).substr(2));
    }
    return info.firmware && info.serial && info.boardRevision;
}

bool BusProtocol::WriteEepromByte(int address, int value) {
    return writeMemory({"WE", address, {static_cast<uint8_t>(value & 0xFF)}});
}

bool BusProtocol::ReadEepromByte(int address, int timeoutMs, uint8_t& value) {
    return repeated([&] { return readByteOnce(address, timeoutMs, value); });
}

// The reply must be the echo, one separator and the value in hexadecimal
// (blanks before it skipped) up to the line end; any other line is no answer,
// so a mangled value is never taken for the board's byte.
bool BusProtocol::readByteOnce(int address, int timeoutMs, uint8_t& value) {
    const std::string command = "RE " + Hex(static_cast<unsigned>(address));
    if (!Transact(target(), command, timeoutMs)) return false;
    const std::string text = reply();
    if (text.compare(0, command.size(), command) != 0 || text.size() <= command.size())
        return false;
    const char separator = text[command.size()];
    if (std::isxdigit(static_cast<unsigned char>(separator)) || separator == '\r' ||
        separator == '\n')
        return false;
    size_t at = command.size() + 1;
    while (at < text.size() && text[at] == ' ') ++at;
    size_t end = at;
    while (end < text.size() && std::isxdigit(static_cast<unsigned char>(text[end]))) ++end;
    if (end == at || end - at > 2 || end >= text.size() || (text[end] != '\r' && text[end] != '\n'))
        return false;
    value = static_cast<uint8_t>(std::strtoul(text.c_str() + at, nullptr, 16));
    return true;
}

// "I": the board takes its constants from memory; asking twice does no harm.
// Only the echo "I" itself counts: a banner or another line that happens to
// hold the letter is no confirmation.
bool BusProtocol::confirmLoaded(const std::string& address) {
    return repeated([&] {
        if (!Transact(address, "I", 2000)) return false;
        const std::string text = reply();
        return text.substr(0, text.find_first_of("\r\n")) == "I";
    });
}

bool BusProtocol::readSettingBytes(const std::array<int, 3>& cells, bool flags) {
    pause(50);
    for (int i = 0; i < 3; ++i) {
        uint8_t value = 0;
        if (!ReadEepromByte(cells[i], 800, value)) return false;
        if (flags) value = value == 1 ? 1 : 0;
        state_.locked([&](SharedData& d) {
            (flags ? d.readings.axisFlags : d.readings.sensorSettings)[i] = value;
        });
        pause(50);
    }
    return true;
}

bool BusProtocol::ReadSensorSettings() { return readSettingBytes(kSensorCells, false); }

bool BusProtocol::ReadAxisFlags() { return readSettingBytes(kFlagCells, true); }

bool BusProtocol::writeSettingBytes(int boardIndex, const std::array<int, 3>& cells,
                                    const std::array<uint8_t, 3>& values, bool flags) {
    const bool toAll = state_.locked([](const SharedData& d) { return d.settings.setTypeToAll; });
    if (toAll) {
        std::string address;
        if (!currentAddress(boardIndex, address)) return false;
        setTarget(address);
    }
    for (int i = 0; i < 3; ++i) {
        if (!WriteEepromByte(cells[i], values[i])) return false;
        pause(100);
    }
    if (!confirmLoaded(target())) return false;
    pause(100);
    state_.locked([&](SharedData& d) {
        (flags ? d.readings.axisFlags : d.readings.sensorSettings) = values;
        if (!toAll) d.worker.currentBoardIndex = d.worker.boardCount - 1;
    });
    return true;
}

bool BusProtocol::WriteSensorSettings(int boardIndex) {
    const auto values =
        state_.locked([](const SharedData& d) { return d.request.sensorSettings; });
    return writeSettingBytes(boardIndex, kSensorCells, values, false);
}

bool BusProtocol::WriteAxisFlags(int boardIndex) {
    const auto values = state_.locked([](const SharedData& d) { return d.request.axisFlags; });
    return writeSettingBytes(boardIndex, kFlagCells, values, true);
}

}  // namespace clinora
