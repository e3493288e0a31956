#include "cli_options.h"

#include <algorithm>
#include <map>
#include <tuple>

#include "app/reading_log.h"
#include "link/protocol.h"
#include "link/shared_state.h"
#include "records/utc_time.h"

namespace clinora::cli {
namespace {

struct OptionForm {
    const char* name;
    bool takesValue;
};

const OptionForm kOptionForms[] = {
    {"port", true},   {"simulate", false}, {"address", true},        {"interval", true},
    {"units", true},  {"log", true},       {"count", true},          {"biaxial", false},
    {"axis", true},   {"workdir", true},   {"history-server", true}, {"station", true},
    {"serial", true}, {"since", true},     {"until", true},          {"format", true},
    {"force", false}, {"no-verify", false}, {"record", true},        {"latest", false},
    {"out", true},    {"laboratory", true}, {"laboratory-address", true},
};

// Options every command that records or reads records takes.
const char* const kRecordOptions[] = {"workdir", "history-server"};

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
         {"address", "biaxial", "axis", "force", "no-verify", "station"},
         {"FILE"},
         true},
        {"verify", Command::Verify, {"address", "axis", "force", "station"}, {"FILE"}, true},
        {"set-address", Command::SetAddress, {}, {"OLD", "NEW"}},
        {"unlock", Command::Unlock, {}, {}},
        {"records list",
         Command::RecordsList,
         {"serial", "address", "since", "until", "format"},
         {}},
        {"records show", Command::RecordsShow, {}, {"UUID"}},
        {"records check", Command::RecordsCheck, {}, {}},
        {"records import", Command::RecordsImport, {"station"}, {"DIR"}},
        {"records sync", Command::RecordsSync, {}, {}},
        {"certificate",
         Command::Certificate,
         {"record", "serial", "latest", "out", "format", "laboratory", "laboratory-address"},
         {}},
    };
    return forms;
}

// A command's help: what follows its name on the usage line, what it does.
struct CommandHelp {
    Command command;
    const char* synopsis;
    const char* summary;
};

static_assert(kAddressChangeAttempts == 5, "set-address's help names the attempts");
const CommandHelp kCommandHelp[] = {
    {Command::Ports, "",
     "Lists the serial ports, with the USB vendor and product ids of each adapter."},
    {Command::Identify, "--address A",
     "Shows the firmware version, board revision and serial number of the board at\n"
     "address A."},
    {Command::Monitor,
     "[--address A] [--interval S] [--units deg|sine|volts|counts]\n"
     "        [--log FILE] [--count N]",
     "Prints one line per reading of a board (until Ctrl-C or --count readings);\n"
     "with --log also adds it to a reading log (CSV, as the program's Monitor page\n"
     "writes it)."},
    {Command::Upload, "FILE --address A [--axis A|B] [--biaxial] [--no-verify] [--force]",
     "Writes the constants of the calibration data file FILE to the board at\n"
     "address A and reads every byte written back (unless --no-verify); progress\n"
     "goes to standard error."},
    {Command::Verify, "FILE --address A [--axis A|B] [--force]",
     "Reads the constants of the board at address A and compares them with the\n"
     "calibration data file FILE."},
    {Command::SetAddress, "OLD NEW",
     "Gives the board at address OLD the address NEW (65534 is a fresh board's\n"
     "address; NEW cannot be 65535). Refused, with nothing sent, when a board\n"
     "already answers at NEW; tried up to 5 times, then exit status 1."},
    {Command::Unlock, "--port PATH",
     "Clears the exclusive-use flag an older version of this program left on a\n"
     "serial device (run it as root)."},
    {Command::RecordsList,
     "[--serial SN] [--address A] [--since DATE] [--until DATE]\n"
     "        [--format table|csv|json]",
     "Lists the records of the working folder (with --history-server: of every\n"
     "station), newest first."},
    {Command::RecordsShow, "UUID",
     "Shows everything one record holds (the start of its UUID is enough when only\n"
     "one record starts so)."},
    {Command::RecordsCheck, "",
     "Recomputes every record's hash and chain; exits 1 and names the first record\n"
     "that was changed or removed."},
    {Command::RecordsImport, "DIR",
     "Brings the calibration data and test files of DIR in as records marked\n"
     "imported; files that do not read as such are listed and skipped (exit 1)."},
    {Command::RecordsSync, "", "Sends the records not yet on the history server now."},
    {Command::Certificate,
     "--record UUID | --serial SN [--latest] [--out DIR]\n"
     "        [--format pdf|dcc|both] [--laboratory NAME] [--laboratory-address TEXT]",
     "Issues calibration certificates from the records: a PDF and a DCC XML per\n"
     "board, named <serial>_<date>_<number>, from a board's calibration record and\n"
     "the test of it. --record takes a calibration or a test record; --serial every\n"
     "calibration and test of that board (--latest: the newest). A board without a\n"
     "test record gets none and is named (exit 1 when none was issued)."},
};

// Whether a command keeps or reads records (and so takes --workdir and
// --history-server), and whether it uses the bus.
bool TakesRecordOptions(Command command) {
    return command == Command::Upload || command == Command::Verify ||
           command >= Command::RecordsList;
}
bool UsesTheBus(Command command) { return command < Command::RecordsList; }

// The help lines of each option a command may take.
const std::map<std::string, std::string>& OptionHelp() {
    static const std::map<std::string, std::string> help = {
        {"address", "  --address A           the board's bus address, 0 to 65535\n"},
        {"interval", "  --interval S          seconds between readings, 2 to 60 (default 2)\n"},
        {"units", "  --units U             deg, sine, volts or counts (default deg)\n"},
        {"log", "  --log FILE            also add each reading to the reading log FILE\n"},
        {"count", "  --count N             stop after N readings (default: until interrupted)\n"},
        {"axis",
         "  --axis A|B            the axis the constants are for (default: B for a file\n"
         "                        named ..._AXIS_B_..., else A)\n"},
        {"biaxial", "  --biaxial             write the constants of both axes\n"},
        {"force",
         "  --force               take a file named for another board (its name starts\n"
         "                        with another address); the axis must still match\n"},
        {"no-verify", "  --no-verify           upload without reading the constants back afterwards\n"},
        {"station", "  --station NAME        the station named in new records (default: host name)\n"},
        {"serial", "  --serial SN           only the records of the board with serial number SN\n"},
        {"since",
         "  --since DATE          records from the start of DATE (a local date YYYY-MM-DD,\n"
         "                        or a UTC time YYYY-MM-DDTHH:MM:SSZ)\n"},
        {"until", "  --until DATE          records up to the end of DATE\n"},
        {"format", "  --format F            table (default), csv or json\n"},
        {"record", "  --record UUID         the calibration or test record (or the start of its UUID)\n"},
        {"latest", "  --latest              with --serial: only the newest calibration and its test\n"},
        {"out",
         "  --out DIR             write the certificates into DIR (default: certificates\n"
         "                        in the working folder)\n"},
        {"laboratory",
         "  --laboratory NAME     the laboratory named on the certificates\n"},
        {"laboratory-address",
         "  --laboratory-address TEXT\n"
         "                        its address (\\n between lines)\n"},
        {"workdir",
         "  --workdir DIR         the working folder whose history.sqlite holds the\n"
         "                        records (default: ~/Documents/Clinora)\n"},
        {"history-server",
         "  --history-server URI  also keep the records on this PostgreSQL server, e.g.\n"
         "                        postgresql://calib@labserver/clinora\n"},
    };
    return help;
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

// The options and operands of the records commands; what is wrong, if anything.
std::optional<std::string> ReadRecordOptions(std::map<std::string, std::string>& given,
                                             const std::vector<std::string>& operands,
                                             CliOptions& o) {
    const auto text = [&](const char* name, std::string& into) -> std::optional<std::string> {
        if (!given.count(name)) return std::nullopt;
        into = given[name];
        if (into.empty()) return std::string("--") + name + " needs a value";
        return std::nullopt;
    };
    for (const auto& [name, into] : {std::pair<const char*, std::string*>{"workdir", &o.workdir},
                                     {"history-server", &o.historyServer},
                                     {"station", &o.station},
                                     {"serial", &o.serial}})
        if (auto refused = text(name, *into)) return refused;
    for (const auto& [name, into, until] :
         {std::tuple<const char*, std::string*, bool>{"since", &o.since, false},
          {"until", &o.until, true}}) {
        if (!given.count(name)) continue;
        const auto bound = records::TimeBound(given[name], until);
        if (!bound)
            return "--" + std::string(name) + " takes a date YYYY-MM-DD or a UTC time " +
                   "YYYY-MM-DDTHH:MM:SSZ, not '" + given[name] + "'";
        *into = *bound;
    }
    if (given.count("format") && o.command == Command::Certificate) {
        const std::string& f = given["format"];
        o.certificateFormatGiven = true;
        if (f == "pdf") {
            o.certificateFormat = CertificateFormat::Pdf;
        } else if (f == "dcc" || f == "xml") {
            o.certificateFormat = CertificateFormat::Dcc;
        } else if (f == "both") {
            o.certificateFormat = CertificateFormat::Both;
        } else {
            return "--format takes pdf, dcc or both, not '" + f + "'";
        }
    } else if (given.count("format")) {
        const std::string& f = given["format"];
        if (f == "table") {
            o.format = ListFormat::Table;
        } else if (f == "csv") {
            o.format = ListFormat::Csv;
        } else if (f == "json") {
            o.format = ListFormat::Json;
        } else {
            return "--format takes table, csv or json, not '" + f + "'";
        }
    }
    if (o.command == Command::Certificate) {
        for (const auto& [name, into] :
             {std::pair<const char*, std::string*>{"record", &o.record},
              {"out", &o.outFolder},
              {"laboratory", &o.laboratory},
              {"laboratory-address", &o.laboratoryAddress}})
            if (auto refused = text(name, *into)) return refused;
        o.latest = given.count("latest") != 0;
        if (o.record.empty() == o.serial.empty())
            return std::string("certificate needs --record UUID or --serial SN (one of them)");
        if (o.latest && o.serial.empty()) return std::string("--latest goes with --serial");
    }
    if (o.command == Command::RecordsShow) o.record = operands[0];
    if (o.command == Command::RecordsImport) o.importFolder = operands[0];
    if (o.command == Command::RecordsSync && o.historyServer.empty())
        return std::string("records sync needs --history-server URI");
    return std::nullopt;
}

}  // namespace

std::optional<std::string> CanonicalAddress(const std::string& text) {
    // Leading zeros are allowed up to a sensible length, then dropped.
    const auto value = WholeNumber(text, 10);
    if (!value || *value > 65535) return std::nullopt;
    return std::to_string(*value);
}

ParsedArguments ParseArguments(const std::vector<std::string>& arguments) {
    // Help and version win wherever they stand before "--"; help beside a
    // command's name is that command's help.
    for (const std::string& arg : arguments) {
        if (arg == "--") break;
        ParsedArguments result;
        if (arg == "--help" || arg == "-h") result.kind = ParsedArguments::Kind::Help;
        if (arg == "--version") result.kind = ParsedArguments::Kind::Version;
        if (result.kind == ParsedArguments::Kind::UsageError) continue;
        // A command's name is one word, or two ("records list").
        for (size_t i = 0; i < arguments.size() && !result.helpFor; ++i) {
            if (arguments[i] == "--") break;
            const std::string pair =
                i + 1 < arguments.size() ? arguments[i] + " " + arguments[i + 1] : "";
            for (const CommandForm& form : CommandForms())
                if (!result.helpFor && (arguments[i] == form.name || pair == form.name))
                    result.helpFor = form.command;
        }
        return result;
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
    // "records list" and its kin are commands of two words.
    if (words[0] == "records") {
        if (words.size() < 2)
            return Refuse("records needs one of: list, show, check, import, sync");
        words[0] += " " + words[1];
        words.erase(words.begin() + 1);
    }
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
        if (TakesRecordOptions(form->command) && std::find(std::begin(kRecordOptions), std::end(kRecordOptions), name) !=
                           std::end(kRecordOptions))
            continue;
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
    if (const auto refused = ReadRecordOptions(given, operands, o)) return Refuse(*refused);
    result.kind = ParsedArguments::Kind::Run;
    return result;
}

std::string CommandUsageText(Command command) {
    const auto& forms = CommandForms();
    const auto form = std::find_if(forms.begin(), forms.end(),
                                   [&](const CommandForm& c) { return c.command == command; });
    const auto help = std::find_if(std::begin(kCommandHelp), std::end(kCommandHelp),
                                   [&](const CommandHelp& h) { return h.command == command; });
    if (form == forms.end() || help == std::end(kCommandHelp)) return UsageText();
    const bool bus = UsesTheBus(command);
    std::string text = std::string("Usage: clinora-cli ") +
                       (bus ? "[--port PATH | --simulate] " : "") + form->name;
    if (*help->synopsis) text += " " + std::string(help->synopsis);
    text += "\n\n" + std::string(help->summary) + "\n\nOptions:\n";
    for (const std::string& option : form->options) {
        const auto line = OptionHelp().find(option);
        if (command == Command::Certificate && option == "format")
            text += "  --format F            pdf, dcc (the XML) or both (default: both; dcc when\n"
                    "                        the tool was built without the user interface)\n";
        else if (line != OptionHelp().end())
            text += line->second;
    }
    if (TakesRecordOptions(command))
        for (const char* option : kRecordOptions) text += OptionHelp().at(option);
    if (bus)
        text +=
            "  --port PATH           the serial device of the bus (default: the first USB\n"
            "                        adapter with vendor id 0403)\n"
            "  --simulate            three built-in simulated boards, addresses 101 to 103,\n"
            "                        fresh for each run\n";
    text +=
        "  -h, --help            show this help and exit\n"
        "\nExit status: 0 success, 1 failure on the bus or in a file, 2 bad usage.\n";
    return text;
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
  records list [--serial SN] [--address A] [--since DATE] [--until DATE]
          [--format table|csv|json]
                        the records of the working folder (with
                        --history-server: of every station), newest first
  records show UUID     everything one record holds (the start of its UUID
                        is enough when only one record starts so)
  records check         recompute every record's hash and chain; exit 1 and
                        name the first record that was changed or removed
  records import DIR    bring the calibration data and test files of DIR in
                        as records marked imported; files that do not read as
                        such are listed and skipped (exit 1)
  records sync          send the records not yet on the history server now
  certificate --record UUID | --serial SN [--latest] [--out DIR]
          [--format pdf|dcc|both]
                        calibration certificates (PDF and DCC XML) from the
                        records of a board's calibration and its test

Options:
  --port PATH           the serial device of the bus (default: the first USB
                        adapter with vendor id 0403)
  --simulate            three built-in simulated boards, addresses 101 to 103
  --axis A|B            the axis the constants are for (default: B for a file
                        named ..._AXIS_B_..., else A)
  --count N             stop after N readings (default: until interrupted)
  --workdir DIR         the working folder whose history.sqlite holds the
                        records (default: ~/Documents/Clinora)
  --history-server URI  also keep the records on this PostgreSQL server, e.g.
                        postgresql://calib@labserver/clinora
  --station NAME        the station named in new records (default: host name)
  --since DATE, --until DATE
                        records from the start of DATE, up to the end of DATE
                        (a local date YYYY-MM-DD, or a UTC time
                        YYYY-MM-DDTHH:MM:SSZ)
  --force               take a file named for another board (its name starts
                        with another address); the axis must still match
  --no-verify           upload without reading the constants back afterwards
  -h, --help            show this help and exit
  --version             show the version and exit

'clinora-cli COMMAND --help' shows one command's options.
An address is a whole number from 0 to 65535: 65535 reaches every board (it
is never the target of upload, verify or set-address) and 65534 is the
address of a board that has none of its own. The simulated boards of
--simulate start fresh with every run; clinora-sim serves boards that keep
what they were given across commands.
upload and verify leave a record (board identity, file and SHA-256, outcome)
in the working folder's history.sqlite, and with --history-server also on
that server.
Exit status: 0 success, 1 failure on the bus or in a file (also a record that
could not be stored or sent: it is kept and sent later), 2 bad usage,
3 written and verified but a garbled command changed another cell of a board
(the message names it), 130 stopped by Ctrl-C, 143 stopped by SIGTERM.
Ctrl-C stops after the command line being sent and says which board may hold
a partial calibration; a second Ctrl-C stops at once. monitor ends with 0.
Messages and progress go to standard error.
)";
}

}  // namespace clinora::cli
