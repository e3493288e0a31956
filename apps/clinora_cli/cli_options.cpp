#include "cli_options.h"

#include <algorithm>
#include <map>

#include "app/reading_log.h"
#include "link/shared_state.h"

namespace clinora::cli {
namespace {

struct OptionForm {
    const char* name;
    bool takesValue;
};

const OptionForm kOptionForms[] = {
    {"port", true},  {"simulate", false}, {"address", true},    {"interval", true},
    {"units", true}, {"log", true},       {"count", true},      {"biaxial", false},
    {"axis", true},  {"force", false},    {"no-verify", false},
};

// A command, the options it takes besides --port and --simulate, and its
// operands.
struct CommandForm {
    const char* name;
    Command command;
    std::vector<std::string> options;
    std::vector<std::string> operands;
    bool needsAddress = false;
};

const std::vector<CommandForm>& CommandForms() {
    static const std::vector<CommandForm> forms = {
        {"ports", Command::Ports, {}, {}},
        {"identify", Command::Identify, {"address"}, {}, true},
        {"monitor", Command::Monitor, {"address", "interval", "units", "log", "count"}, {}},
        {"upload",
         Command::Upload,
         {"address", "biaxial", "axis", "force", "no-verify"},
         {"FILE"},
         true},
        {"verify", Command::Verify, {"address", "axis", "force"}, {"FILE"}, true},
        {"set-address", Command::SetAddress, {}, {"OLD", "NEW"}},
        {"unlock", Command::Unlock, {}, {}},
    };
    return forms;
}

// A whole number written with decimal digits only, at most `maxDigits` long.
std::optional<long> WholeNumber(const std::string& text, size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits) return std::nullopt;
    if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return std::stol(text);
}

ParsedArguments Refuse(std::string error) {
    ParsedArguments result;
    result.error = std::move(error);
    return result;
}

std::string BroadcastRefusal(const std::string& command) {
    return "65535 reaches every board on the bus: " + command + " takes the address of one board";
}

std::string BadAddress(const std::string& text) {
    return "bad address '" + text + "': an address is a whole number from 0 to 65535";
}

}  // namespace

std::optional<std::string> CanonicalAddress(const std::string& text) {
    // Leading zeros are allowed up to a sensible length, then dropped.
    const auto value = WholeNumber(text, 10);
    if (!value || *value > 65535) return std::nullopt;
    return std::to_string(*value);
}

ParsedArguments ParseArguments(const std::vector<std::string>& arguments) {
    // Help and version win wherever they stand before "--".
    for (const std::string& arg : arguments) {
        if (arg == "--") break;
        ParsedArguments result;
        if (arg == "--help" || arg == "-h") result.kind = ParsedArguments::Kind::Help;
        if (arg == "--version") result.kind = ParsedArguments::Kind::Version;
        if (result.kind != ParsedArguments::Kind::UsageError) return result;
    }

    std::map<std::string, std::string> given;
    std::vector<std::string> words;
    bool optionsEnded = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            words.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg.rfind("--", 0) != 0) return Refuse("unknown option '" + arg + "'");
        std::string name = arg.substr(2);
        std::optional<std::string> value;
        if (const size_t eq = name.find('='); eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        const auto* form = std::find_if(std::begin(kOptionForms), std::end(kOptionForms),
                                        [&](const OptionForm& o) { return name == o.name; });
        if (form == std::end(kOptionForms)) return Refuse("unknown option '--" + name + "'");
        if (form->takesValue && !value) {
            if (i + 1 >= arguments.size()) return Refuse("--" + name + " needs a value");
            value = arguments[++i];
        }
        if (!form->takesValue && value) return Refuse("--" + name + " takes no value");
        if (!given.emplace(name, value.value_or("")).second)
            return Refuse("--" + name + " is given twice");
    }

    if (words.empty()) return Refuse("no command given");
    const auto& forms = CommandForms();
    const auto form = std::find_if(forms.begin(), forms.end(),
                                   [&](const CommandForm& c) { return words[0] == c.name; });
    if (form == forms.end()) return Refuse("unknown command '" + words[0] + "'");
    const std::string command = form->name;
    const std::vector<std::string> operands(words.begin() + 1, words.end());
    if (operands.size() > form->operands.size())
        return Refuse("unexpected argument '" + operands[form->operands.size()] + "'");
    if (operands.size() < form->operands.size()) {
        std::string needed;
        for (const auto& name : form->operands) needed += (needed.empty() ? "" : " and ") + name;
        return Refuse(command + " needs " + needed);
    }
    for (const auto& [name, value] : given) {
        if (name == "port" || name == "simulate") continue;
        if (std::find(form->options.begin(), form->options.end(), name) == form->options.end())
            return Refuse("--" + name + " does not apply to " + command);
    }

    ParsedArguments result;
    CliOptions& o = result.options;
    o.command = form->command;
    auto has = [&](const char* name) { return given.count(name) != 0; };
    o.simulate = has("simulate");
    if (has("port")) {
        if (o.simulate) return Refuse("--port and --simulate cannot be used together");
        o.port = given["port"];
        if (o.port.empty()) return Refuse("--port needs a device path");
    }
    if (has("address")) {
        const auto address = CanonicalAddress(given["address"]);
        if (!address) return Refuse(BadAddress(given["address"]));
        o.address = *address;
    } else if (form->needsAddress) {
        return Refuse(command + " needs --address A");
    }
    if (o.command == Command::Upload || o.command == Command::Verify) {
        o.file = operands[0];
        if (o.file.empty()) return Refuse(command + " needs FILE");
        if (o.address == kBroadcastAddress) return Refuse(BroadcastRefusal(command));
    }
    if (o.command == Command::Unlock && o.port.empty())
        return Refuse("unlock needs --port PATH: the device to free");
    if (o.command == Command::SetAddress) {
        const auto from = CanonicalAddress(operands[0]);
        if (!from) return Refuse(BadAddress(operands[0]));
        const auto to = CanonicalAddress(operands[1]);
        if (!to) return Refuse(BadAddress(operands[1]));
        if (*from == kBroadcastAddress) return Refuse(BroadcastRefusal(command));
        if (*to == kBroadcastAddress)
            return Refuse("the new address cannot be 65535: that address reaches every board");
        o.address = *from;
        o.newAddress = *to;
    }
    if (has("interval")) {
        const auto seconds = WholeNumber(given["interval"], 4);
        if (!seconds || *seconds < kMinLogInterval || *seconds > kMaxLogInterval)
            return Refuse(kIntervalOutOfRange);
        o.intervalSeconds = static_cast<int>(*seconds);
    }
    if (has("units")) {
        const std::string& u = given["units"];
        if (u == "deg") {
            o.units = Units::Degrees;
        } else if (u == "sine") {
            o.units = Units::Sine;
        } else if (u == "volts") {
            o.units = Units::Volts;
        } else if (u == "counts") {
            o.units = Units::Counts;
        } else {
            return Refuse("--units takes deg, sine, volts or counts, not '" + u + "'");
        }
    }
    if (has("log")) {
        o.logFile = given["log"];
        if (o.logFile.empty()) return Refuse("--log needs a file name");
    }
    if (has("count")) {
        const auto count = WholeNumber(given["count"], 9);
        if (!count || *count < 1)
            return Refuse("--count needs a whole number of readings, 1 or more");
        o.count = static_cast<int>(*count);
    }
    if (has("axis")) {
        const std::string& a = given["axis"];
        if (a == "A" || a == "a") {
            o.axis = 1;
        } else if (a == "B" || a == "b") {
            o.axis = 0;
        } else {
            return Refuse("--axis takes A or B, not '" + a + "'");
        }
    }
    o.biaxial = has("biaxial");
    o.force = has("force");
    o.verifyAfter = !has("no-verify");
    result.kind = ParsedArguments::Kind::Run;
    return result;
}

std::string UsageText() {
    return R"(Usage: clinora-cli [--port PATH | --simulate] COMMAND [OPTIONS]

Drives the tilt-sensor boards on the bus without the user interface.

Commands:
  ports                 list the serial ports, with USB vendor and product ids
  identify --address A  show a board's firmware version, board revision and
                        serial number
  monitor [--address A] [--interval S] [--units deg|sine|volts|counts]
          [--log FILE] [--count N]
                        print one line per reading every S seconds (2 to 60,
                        default 2), in degrees unless --units says otherwise;
                        with --log also add it to the reading log FILE (CSV)
  upload FILE --address A [--axis A|B] [--biaxial] [--no-verify] [--force]
                        write the constants of a calibration data file to the
                        board at address A (--biaxial: both axes), then read
                        them back and compare (--no-verify: not)
  verify FILE --address A [--axis A|B] [--force]
                        read the board's constants back and compare them with
                        the file
  set-address OLD NEW   give the board at address OLD the address NEW
  unlock --port PATH    clear the exclusive-use flag an older version of this
                        program left on a serial device (run it as root)

Options:
  --port PATH           the serial device of the bus (default: the first USB
                        adapter with vendor id 0403)
  --simulate            three built-in simulated boards, addresses 101 to 103
  --axis A|B            the axis the constants are for (default: B for a file
                        named ..._AXIS_B_..., else A)
  --count N             stop after N readings (default: until interrupted)
  --force               take a file named for another board (its name starts
                        with another address); the axis must still match
  -h, --help            show this help and exit
  --version             show the version and exit

An address is a whole number from 0 to 65535: 65535 reaches every board (it
is never the target of upload, verify or set-address) and 65534 is the
address of a board that has none of its own.
Exit status: 0 success, 1 failure on the bus or in a file, 2 bad usage,
3 written and verified but a garbled command changed another cell of a board
(the message names it), 130 stopped by Ctrl-C, 143 stopped by SIGTERM.
Ctrl-C stops after the command line being sent and says which board may hold
a partial calibration; a second Ctrl-C stops at once. monitor ends with 0.
Messages and progress go to standard error.
)";
}

}  // namespace clinora::cli
