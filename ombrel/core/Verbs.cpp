#include "Verbs.h"

#include <algorithm>
#include <iterator>

namespace ombrel_cli {
namespace {

constexpr std::string_view kTunerOnly[] = {"tuner"};
constexpr std::string_view kTunerAndFrequency[] = {"tuner", "frequency"};
constexpr std::string_view kTunerAndAction[] = {"tuner", "action"};

constexpr OptionSyntax kJsonOption[] = {
    {"--json", "", "print JSON instead of text"},
};

constexpr OptionSyntax kWatchOptions[] = {
    {"--json", "", "print one JSON object per line"},
};

constexpr OptionSyntax kUpdateOptions[] = {
    {"--auto", "", "send the image that Romflux carries for the tuner (the default)"},
    {"--image", "FILE", "send an Intel-HEX image file, checked against the tuner first"},
    {"--yes", "", "do not ask before flashing"},
};

constexpr OptionSyntax kTuneOptions[] = {
    {"--pol", "H|V|L|R", "satellite: polarisation (horizontal, vertical, circular left, right)"},
    {"--symbol-rate", "KS/S", "satellite, required: symbol rate in kS/s, 1000 to 45000 (no default;\n"
                              "the transponder's, e.g. 27500)"},
    {"--lnb", "LO,HI,SWITCH", "satellite: LNB oscillators and band switch in MHz (9750,10600,11700),\n"
                              "or one oscillator for a single-band LNB (10750)"},
    {"--diseqc", "A|B|C|D", "satellite: DiSEqC 1.0 switch input; without it the switch stays at the\n"
                            "input it was last set to (by any program)"},
    {"--bandwidth", "6|7|8", "terrestrial: channel bandwidth in MHz (8; ATSC 6)"},
    {"--guard", "G", "terrestrial: guard interval auto, 1/32, 1/16, 1/8 or 1/4 (auto)"},
    {"--mode", "M", "terrestrial: transmission mode auto, 2k or 8k (auto)"},
    {"--modulation", "M", "auto, qpsk, 8psk (satellite), qam16, qam64 (DVB-T) or 8vsb (ATSC); auto by default"},
    {"--fec", "RATE", "auto, 1/2, 2/3, 3/4, 5/6, 7/8, satellite also 3/5, 4/5, 8/9, 9/10; auto by default"},
    {"--pids", "LIST", "PIDs to pass on after the tune: 0x100,256,... or all (29 at most,\n"
                       "terrestrial 27)"},
    {"--family", "F", "satellite, terrestrial or atsc, for a tuner of a model ombrel does not know"},
    {"--timeout", "SECONDS", "how long to wait for lock (10)"},
    {"--json", "", "print JSON instead of text"},
};

constexpr OptionSyntax kStatusOptions[] = {
    {"--follow", "", "keep printing a line per reading until Ctrl+C"},
    {"--interval", "SECONDS", "time between readings with --follow (1)"},
    {"--json", "", "print JSON instead of text (--follow: one object per line)"},
};

constexpr OptionSyntax kKeysOptions[] = {
    {"--count", "N", "end after N keys"},
    {"--json", "", "print one JSON object per key"},
};

constexpr OptionSyntax kCiOptions[] = {
    {"--json", "", "status, info: print JSON instead of text"},
    {"--timeout", "SECONDS", "info, menu: how long to wait for the module to become ready (10)"},
    {"--answers", "LIST", "menu: answer the menus and enquiries in order from LIST (2,1,1234,0)\n"
                          "instead of the console; q closes the menu"},
};

// Channel scan.
constexpr OptionSyntax kScanOptions[] = {
    {"--from", "FILE", "start multiplexes in the DVBv5 initial-tuning format ([CHANNEL] sections);\n"
                       "satellite: without it both bands and polarisations are swept"},
    {"--input", "A|B|C|D", "satellite: the DiSEqC inputs to scan, A or A,B (all four by default;\n"
                           "those where nothing answers are passed over)"},
    {"--lnb", "LO,HI,SWITCH", "satellite: LNB oscillators and band switch in MHz (9750,10600,11700),\n"
                              "or one oscillator for a single-band LNB (10750)"},
    {"--out", "FILE", "write the channels found in the DVBv5 channel-file format"},
    {"--family", "F", "satellite, terrestrial or atsc, for a tuner of a model ombrel does not know"},
    {"--timeout", "SECONDS", "the longest wait for one multiplex's lock and for its tables (10)"},
    {"--json", "", "print one JSON object per multiplex tried and one for the summary"},
};

// Reading a multiplex's services, and recording it.
constexpr OptionSyntax kServicesOptions[] = {
    {"--timeout", "SECONDS", "how long to read the tables at most (10)"},
    {"--json", "", "print JSON instead of text"},
};

constexpr OptionSyntax kRecordOptions[] = {
    {"--out", "FILE", "required: the transport-stream file to write (replaced if it exists)"},
    {"--service", "ID|NAME", "record this service only (its id, 0x3011 or 12305, or its name);\n"
                             "without it the whole multiplex"},
    {"--duration", "SECONDS", "end after this long (without it: at Ctrl+C)"},
    {"--require-clear", "", "refuse to record a service that cannot be descrambled (exit code 59)"},
    {"--channel", "NAME", "tune to this channel of --channels first, and record its service\n"
                          "(unless --service names another)"},
    {"--channels", "FILE", "a dvbv5 channel file ('ombrel scan --out' writes one)"},
    {"--timeout", "SECONDS", "how long to wait for lock, the tables and the module (10)"},
};

constexpr VerbSyntax kVerbs[] = {
    {"list", {}, kJsonOption, "[--json]", "list the attached tuners",
     "Lists every attached tuner: index, driver model (WDM or BDA), model name, GUID,\n"
     "subunit, firmware version and build, attached state.\n"},
    {"info", kTunerOnly, kJsonOption, "<tuner> [--json]", "everything the library can say of one tuner",
     "Shows one tuner: display and friendly names, GUID, subunit, model, firmware version\n"
     "record, driver version, system information and board temperature (raw bytes),\n"
     "Common Interface support and the firmware image that 'update --auto' would send.\n"},
    {"update", kTunerOnly, kUpdateOptions, "<tuner> [--auto | --image FILE] [--yes]",
     "update a tuner's firmware",
     "Updates the firmware of one tuner as Romflux does: ends the companion programs,\n"
     "sends the image, follows the tuner's progress every 400 ms and ends with Romflux's\n"
     "message; the companion programs are started again when the tuner reports success\n"
     "or failure. Asks before flashing unless --yes is given.\n"
     "\n"
     "Ctrl+C during the flash does not stop the tuner: the update goes on in it, and ombrel\n"
     "waits for its end. A second Ctrl+C stops waiting.\n",
     true},
    {"watch", {}, kWatchOptions, "[--json]", "print tuners as they are attached and detached",
     "Prints a line for every tuner that is attached or detached, with its line from\n"
     "'ombrel list', until Ctrl+C.\n"},
    {"tune", kTunerAndFrequency, kTuneOptions, "<tuner> <frequency> [options]", "tune a tuner and wait for lock",
     "Tunes one tuner and waits for its front end to lock, then prints the signal figures.\n"
     "What the tuner receives follows from its model: satellite tuners take the downlink\n"
     "frequency with --pol and --symbol-rate, behind a universal LNB unless --lnb says\n"
     "otherwise; terrestrial (DVB-T and ATSC) tuners take the centre frequency. Cable\n"
     "tuners are not tuned.\n"
     "\n"
     "<frequency> is in MHz (11623, 177.5), or in kHz with the unit (474000kHz).\n"
     "The tuner is switched on first. Ctrl+C stops waiting; the tuner keeps the tune.\n"
     "\n"
     "Examples:\n"
     "  ombrel tune 2 11623 --pol V --symbol-rate 27500 --diseqc B\n"
     "  ombrel tune 3 474 --bandwidth 8 --pids 0,0x100,0x101\n",
     true},
    {"status", kTunerOnly, kStatusOptions, "<tuner> [--follow [--interval SECONDS]] [--json]",
     "show a tuner's front-end status",
     "Shows the tuning flag (busy, locked, no signal) and the front end's figures: lock,\n"
     "carrier, signal strength and quality, signal to noise, bit error rate, uncorrected\n"
     "blocks. With --follow a line is printed per reading until Ctrl+C, or until the tuner\n"
     "goes away.\n"},
    {"keys", kTunerOnly, kKeysOptions, "<tuner> [--count N] [--json]", "print a tuner's remote-control keys as they arrive",
     "Starts the tuner's remote-control reader and prints a line per key as it arrives:\n"
     "the time, the key code in hexadecimal (the remote's address byte, then the key's)\n"
     "and the key's name, or \"(unknown key)\" for a code of no key of the Talvex remote.\n"
     "Ends at Ctrl+C, after --count keys, or when the tuner goes away, and stops the reader\n"
     "then, so that another program can read the keys.\n"
     "\n"
     "One program at a time reads a tuner's keys: while the remote-control companion or\n"
     "another 'ombrel keys' reads them, the tuner is refused (exit code 30). A key read\n"
     "that the driver fails ends the reader without a word to ombrel; Ctrl+C ends it then.\n",
     true},
    {"ci", kTunerAndAction, kCiOptions, "<tuner> status|info|menu [options]",
     "the Common Interface: its module, and the module's menus",
     "status  Whether the tuner has a CI slot, whether another program has its session open,\n"
     "        the module's state (none, starting up, ready) and its application information.\n"
     "        Exits 0 whenever it could tell; the state is in the output.\n"
     "info    The ready module's application information (menu string, manufacturer and\n"
     "        manufacturer code) and the driver's date-time reply.\n"
     "menu    Opens the session, waits for the module to be ready, enters its menu and\n"
     "        shows each menu, list or enquiry as it comes. Answer with the number of an\n"
     "        entry (0 goes back), an enquiry with its text; an empty answer or q closes\n"
     "        the menu. A hidden (blind) answer is not echoed and never printed. Ends when\n"
     "        the module closes its menu, or when it is closed here.\n"
     "\n"
     "--answers makes the walk without the console: each entry answers the next menu,\n"
     "list or enquiry (entries cannot hold a comma). It fails (exit code 44) when the\n"
     "module still asks after the last entry, when an entry is no choice of the menu shown,\n"
     "and when entries are left once the module has closed its menu.\n"
     "\n"
     "One program at a time has a tuner's session open: while the CI companion or another\n"
     "'ombrel ci' holds it, menu is refused (exit code 42) and status says so. Ctrl+C, the\n"
     "module's leaving and the tuner's going end the command with the menu and the session\n"
     "closed.\n"
     "\n"
     "Example:\n"
     "  ombrel ci 2 menu --answers 3,1234,2,0,0,0\n",
     true},
    {"scan", kTunerOnly, kScanOptions, "<tuner> [--from FILE] [--input A,B] [--out FILE] [options]",
     "find every multiplex and service the tuner receives",
     "Tunes candidate multiplexes one after the other and reads the tables of each that\n"
     "locks: PAT, every PMT, SDT (ATSC: MGT and VCT), and the NIT once per network, whose\n"
     "transports are added to the candidates. Prints a line per candidate (n of m, lock,\n"
     "services found) and a summary of the services.\n"
     "\n"
     "Satellite: the multiplexes of --from on each DiSEqC input (or on its SAT_NUMBER), or\n"
     "without it a sweep of both bands and polarisations, in 6 MHz steps, of each input.\n"
     "Terrestrial: the channel raster, VHF 7 MHz channels 5 to 12 and UHF 8 MHz channels 21\n"
     "to 69; ATSC: 6 MHz channels 2 to 51. --from replaces the raster.\n"
     "\n"
     "A candidate is left as soon as the front end reports no signal, and a multiplex as\n"
     "soon as its tables are complete; --timeout only bounds what never completes.\n"
     "Ctrl+C, or the tuner going away, ends the scan; what was found so far is reported\n"
     "and written to --out.\n"
     "\n"
     "Examples:\n"
     "  ombrel scan 2 --from astra.conf --out channels.conf\n"
     "  ombrel scan 3 --out dvbt.conf --json\n",
     true},
    {"services", kTunerOnly, kServicesOptions, "<tuner> [--timeout SECONDS] [--json]",
     "show the services of the multiplex a tuner receives",
     "Reads the tables of the multiplex that the tuner is locked on ('ombrel tune' first)\n"
     "and shows each service: id, name, provider, type, its PIDs with their stream types,\n"
     "clear or scrambled (with the CA systems named), and the present and following\n"
     "events. Waits only until the tables are whole, at most --timeout.\n",
     true},
    {"record", kTunerOnly, kRecordOptions,
     "<tuner> --out FILE [--service ID|NAME] [--duration SECONDS] [options]",
     "record a multiplex, or one of its services, to a file",
     "Writes what the tuner receives to a transport-stream file: the whole multiplex, or\n"
     "with --service one service (a PAT with that program only, its PMT, elementary streams\n"
     "and PCR, with the SDT, EIT and TDT). The tuner's PID filter is set to what the\n"
     "recording needs. A line shows the time, the bytes, the bitrate and the packets with\n"
     "transport errors, continuity gaps and scrambling. Ctrl+C ends the recording with a\n"
     "complete file.\n"
     "\n"
     "A scrambled service is descrambled by the module in the tuner's Common Interface\n"
     "slot when one is ready there; otherwise it is recorded as it comes, with the reason\n"
     "said, unless --require-clear is given.\n"
     "\n"
     "Examples:\n"
     "  ombrel record 3 --out lumen.ts --service \"Lumen Sport+\" --duration 60\n"
     "  ombrel record 2 --out mux.ts --channel \"Borealis News\" --channels channels.conf\n",
     true},
};

}  // namespace

std::span<const VerbSyntax> Verbs() { return kVerbs; }

const VerbSyntax* FindVerb(std::string_view name) {
    const auto found =
        std::find_if(std::begin(kVerbs), std::end(kVerbs), [&](const VerbSyntax& v) { return v.name == name; });
    return found == std::end(kVerbs) ? nullptr : &*found;
}

const OptionSyntax* FindOption(const VerbSyntax& verb, std::string_view name) {
    const auto found =
        std::find_if(verb.options.begin(), verb.options.end(), [&](const OptionSyntax& o) { return o.name == name; });
    return found == verb.options.end() ? nullptr : &*found;
}

std::string VersionText(std::string_view libraryVersion) {
    return std::string(kToolName) + " " + std::string(kToolVersion) + " (OmbrelApi " + std::string(libraryVersion) + ")\n";
}

}  // namespace ombrel_cli
