// tunersim: command-line control of the tuner simulator.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Arguments.h"
#include "Enumerate.h"
#include "Flash.h"
#include "RemoteKeymap.h"
#include "StreamCommands.h"
#include "TunerSimControl.h"
#include "TuningView.h"

namespace tunersim {

namespace {

constexpr int kUsageError = 2;

const char kHelp[] =
    "tunersim: control of the simulated Talvex tuner boxes\n"
    "\n"
    "Usage: tunersim <command> [arguments]\n"
    "\n"
    "  plug [options]              plug a box; prints its device id\n"
    "      --preset NAME           start from a preset model (see below; default talvex-s2)\n"
    "      --id HEX16              device id, 16 hex digits (default: a fresh one)\n"
    "      --subunit D             subunit digit 0..9 (default 0)\n"
    "      --model wdm|bda|both    driver models the box presents (default wdm)\n"
    "      --ident LINE,MODEL,REV  identification bytes, e.g. 1,0x34,4\n"
    "      --version A.B.C         firmware version\n"
    "      --build N               firmware build number\n"
    "      --driver TEXT           driver version text (at most 20 characters)\n"
    "      --wdm-name TEXT         friendly name of the WDM capture filter\n"
    "      --tuner-name TEXT       friendly name of the BDA network tuner\n"
    "      --receiver-name TEXT    friendly name of the BDA receiver component\n"
    "      --no-receiver           BDA without a receiver component\n"
    "      --ci-slot yes|no        with or without a Common Interface slot (default: as the\n"
    "                              model has)\n"
    "      --no-broadcast          do not broadcast WM_DEVICECHANGE\n"
    "  unplug ID                   unplug a box (its state is kept); ID is the box's id as list\n"
    "                              shows it, or its GUID as ombrel shows it (the id's bytes in\n"
    "                              the other order), 0x allowed\n"
    "  replug ID                   plug an unplugged box again\n"
    "  remove ID                   forget a box entirely\n"
    "  list                        list the boxes with their state and display names\n"
    "  enum                        list what the system device enumerator sees in the\n"
    "                              WDM capture, BDA tuner and BDA receiver categories\n"
    "  set-firmware ID A.B.C BUILD set the firmware version and build\n"
    "  set-ident ID LINE MODEL REV set the identification bytes\n"
    "  set-driver ID TEXT          set the driver version text\n"
    "  fault ID PROPERTY get|set KIND\n"
    "                              inject a fault; KIND is fail (E_FAIL), false (S_FALSE),\n"
    "                              short:N (answer N bytes), delay:MS or none\n"
    "  clear-faults ID             remove every injected fault of a box\n"
    "  requests ID PROPERTY        print the gets and sets of a property that reached the box\n"
    "  update-timing ID MS HOLD    firmware update: MS from 0 to 100 %, then HOLD ms at\n"
    "                              100 % before the box re-enumerates\n"
    "  script-update ID SCRIPT     the next firmware update: none, fail:PCT:CODE[:STATE],\n"
    "                              stall:PCT or vanish:PCT\n"
    "  last-image ID               count, length and CRC-32 of the last image received\n"
    "  flash ID FILE               send FILE's first 368754 bytes to the box (set 17);\n"
    "                              fails when the box refuses them\n"
    "  status ID                   read the box's firmware-update status (get 18)\n"
    "  tuning ID                   the front end: power, input, last tune, LNB, PIDs,\n"
    "                              lock and signal figures\n"
    "  settle-time ID MS           time from a tune to lock or no signal (default 300)\n"
    "  last-request ID PROPERTY get|set\n"
    "                              length (and bytes of a set) of the last request\n"
    "  sky                         the simulated satellites and terrestrial channels\n"
    "  services [ID]               the services of every multiplex, or of the one box ID\n"
    "                              receives now: ids, names, PIDs, scrambled or clear\n"
    "  ts ID [--seconds S] [--out FILE]\n"
    "                              write S seconds (default 10) of exactly what box ID\n"
    "                              emits now to FILE (default ID.ts), made at full speed\n"
    "  press ID KEY... [--gap MS]  press remote-control keys, in order (MS apart); KEY is\n"
    "                              a name that tunersim keys lists (ok, vol+, 5, ...) or a\n"
    "                              code in hexadecimal (0x2015: byte 0 0x20, byte 1 0x15)\n"
    "  hold ID KEY MS [--every MS] hold a key: pressed again every 110 ms (or --every)\n"
    "                              until MS have passed\n"
    "  keys                        the remote control's keys: name, code and label\n"
    "  remote ID                   keys waiting in the box, waiting reads, cancels\n"
    "  remote-fault ID FAULT       fail-next (the next key read fails), ignore-cancel\n"
    "                              (cancels do not release a waiting read), or none to\n"
    "                              clear both\n"
    "  ci-insert ID                put a conditional-access module into the box's CI slot\n"
    "                              (starting up; resets a module that is ready)\n"
    "  ci-ready ID                 the module becomes ready (inserted first if need be)\n"
    "  ci-remove ID                take the module out of the slot\n"
    "  ci-events ID BITS           pending event bits of the slot's status word: any of\n"
    "                              0x40, 0x80 and 0x100; 0 clears them\n"
    "  ci-mmi ID HEX|none          answer MMI queries with this object (tag, length, body as\n"
    "                              hex bytes) instead of the module's menus\n"
    "  ci-show ID                  the slot's status, the open MMI screen and what the module\n"
    "                              received: CA PMTs, service ID, date-time, answers\n"
    "  broadcast                   broadcast WM_DEVICECHANGE (DBT_DEVNODES_CHANGED)\n"
    "  reset                       unplug and forget every box\n"
    "  demo                        reset, then plug the demo set\n"
    "  register                    register the filter DLL's COM class\n"
    "  unregister                  reset, then remove the filter's COM class registration\n"
    "  help, --help, -h            this text\n"
    "\n"
    "Numbers may be decimal or 0x-prefixed hexadecimal.\n";

void PrintPresets() {
    std::printf("\nPresets:");
    int column = 0;
    for (const auto& name : PresetNames()) {
        std::printf("%s%s", column++ % 5 == 0 ? "\n  " : "  ", name.c_str());
    }
    std::printf("\n");
}

const char* ModelsText(unsigned models) {
    switch (models) {
    case kWdm: return "WDM";
    case kBda: return "BDA";
    default: return "WDM+BDA";
    }
}

void Print(const DeviceInfo& info) {
    const DeviceProfile& s = info.profile;
    std::printf("%s  %-9s %-7s subunit %d  id %u/0x%02X/%u  firmware %u.%u.%u build %u\n",
                s.id.c_str(), info.plugged ? "plugged" : "unplugged", ModelsText(s.models),
                s.subunit, s.productLine, s.modelCode, s.hardwareRevision, s.versionMajor,
                s.versionMinor, s.versionPatch, s.build);
    for (const auto& name : info.displayNames) std::printf("    %s\n", name.c_str());
}

std::string Need(const Arguments& args, std::size_t index, const char* what) {
    if (index >= args.positional.size())
        throw UsageError(std::string("missing ") + what + " (see tunersim help)");
    return args.positional[index];
}

double ParseSeconds(const std::string& text) {
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(seconds > 0) || seconds > 3600)
        throw UsageError("bad number of seconds \"" + text + "\" (above 0, at most 3600)");
    return seconds;
}

// The box of a command's first argument: its id, or its GUID as ombrel shows it.
std::string Box(const Arguments& args) {
    return BoxId(Need(args, 0, "device id"), [](const std::string& id) { return Find(id).has_value(); });
}

void NoExtra(const Arguments& args, std::size_t count) {
    if (args.positional.size() > count)
        throw UsageError("unexpected argument \"" + args.positional[count] + "\"");
}

const char* ModuleText(ModuleState state) {
    switch (state) {
    case ModuleState::Empty: return "no module";
    case ModuleState::Starting: return "module starting";
    default: return "module ready";
    }
}

int ShowCommonInterface(const Arguments& args) {
    NoExtra(args, 1);
    const ModuleReport r = CommonInterface(Box(args));
    if (!r.slot) {
        std::printf("no Common Interface slot\n");
        return 0;
    }
    std::printf("slot: %s, status word 0x%04X\n", ModuleText(r.state), r.statusWord);
    std::printf("MMI: %s\n", r.screen.empty() ? "closed" : r.screen.c_str());
    std::printf("open commands: %u\n", r.opens);
    std::printf("CA PMTs: %u", r.pmts);
    if (r.pmts)
        std::printf(", last: list management %u, command %u, %u PMT bytes, program %u", r.pmtListManagement,
                    r.pmtCommand, r.pmtLength, r.pmtProgram);
    std::printf("\ndescrambling: %s\n",
                r.descrambling ? ("service " + std::to_string(r.descrambledService)).c_str() : "none");
    std::printf("service IDs: %u", r.serviceIds);
    if (r.serviceIds) std::printf(", last 0x%04X", r.serviceId);
    std::printf("\ndate-time: %u", r.dateTimes);
    if (r.dateTimes) std::printf(", last %s", HexBytes(r.dateTime).c_str());
    std::printf("\nmenu: entered %u, answers %u (last %u), enquiry answers %u (last %u \"%s\"), closes %u\n",
                r.menuEntries, r.menuAnswers, r.lastChoice, r.enquiryAnswers, r.lastAnswerId, r.lastAnswer.c_str(),
                r.mmiCloses);
    std::printf("parental rating: %u, language: \"%s\"\n", r.rating, r.language.c_str());
    return 0;
}

int Plug(const Arguments& args) {
    NoExtra(args, 0);
    const std::string id = ::tunersim::Plug(ProfileFromOptions(args), !args.Has("no-broadcast"));
    std::printf("%s\n", id.c_str());
    return 0;
}

int Demo(const Arguments& args) {
    NoExtra(args, 0);
    Reset(true);
    for (const auto& profile : DemoSet()) {
        const auto id = ::tunersim::Plug(profile, false);
        Print(*Find(id));
    }
    BroadcastDeviceChange();
    return 0;
}

class ComScope {
public:
    ComScope() {
        if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)))
            throw Error("cannot initialise COM");
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    ~ComScope() { CoUninitialize(); }
};

int Enum(const Arguments& args) {
    NoExtra(args, 0);
    ComScope com;
    std::string category;
    for (const auto& filter : EnumerateTunerCategories()) {
        if (filter.category != category) {
            category = filter.category;
            std::printf("%s\n", category.c_str());
        }
        std::printf("  \"%s\"  %s\n", filter.friendlyName.c_str(), filter.displayName.c_str());
    }
    return 0;
}

uint16_t KeyArgument(const std::string& text) {
    try {
        return ParseKey(text);
    } catch (const Error& e) {
        throw UsageError(e.what());
    }
}

int Press(const Arguments& args) {
    const std::string id = Box(args);
    Need(args, 1, "key");
    std::vector<uint16_t> codes;
    for (std::size_t i = 1; i < args.positional.size(); ++i) codes.push_back(KeyArgument(args.positional[i]));
    const auto gap = args.options.find("gap");
    const uint32_t gapMs = gap == args.options.end() ? 0 : ParseNumber<uint32_t>(gap->second, "gap");
    const uint32_t dropped = PressKeys(id, codes, gapMs);
    if (dropped > 0) std::printf("%u keys dropped: the box keeps at most 64 unread keys\n", dropped);
    return 0;
}

int Hold(const Arguments& args) {
    NoExtra(args, 3);
    constexpr uint32_t kRepeatMs = 110;  // the usual repeat of a held infrared key
    const auto every = args.options.find("every");
    const uint32_t intervalMs =
        every == args.options.end() ? kRepeatMs : ParseNumber<uint32_t>(every->second, "repeat interval");
    const uint32_t dropped =
        HoldKey(Box(args), KeyArgument(Need(args, 1, "key")),
                ParseNumber<uint32_t>(Need(args, 2, "duration"), "duration"), intervalMs);
    if (dropped > 0) std::printf("%u keys dropped: the box keeps at most 64 unread keys\n", dropped);
    return 0;
}

int ListKeys(const Arguments& args) {
    NoExtra(args, 0);
    for (const keymap::Key& key : keymap::Keys()) {
        std::printf("%-6.*s 0x%04X  %.*s\n", static_cast<int>(key.name.size()), key.name.data(), key.code,
                    static_cast<int>(key.label.size()), key.label.data());
    }
    return 0;
}

int ShowRemote(const Arguments& args) {
    NoExtra(args, 1);
    const RemoteStatus r = Remote(Box(args));
    std::printf("queued %u waiting-reads %u pressed %u read %u dropped %u\n", r.queued, r.waitingReads,
                r.pressed, r.read, r.dropped);
    std::printf("cancels %u malformed-cancels %u released-reads %u cancel-pending %s\n", r.cancels,
                r.malformedCancels, r.releasedReads, r.cancelPending ? "yes" : "no");
    return 0;
}

int SetRemoteFault(const Arguments& args) {
    NoExtra(args, 2);
    const std::string id = Box(args);
    const std::string fault = Need(args, 1, "fault");
    const std::map<std::string, KeyFault> faults{
        {"none", KeyFault::None}, {"fail-next", KeyFault::FailNextRead}, {"ignore-cancel", KeyFault::IgnoreCancel}};
    const auto found = faults.find(fault);
    if (found == faults.end())
        throw UsageError("bad remote fault \"" + fault + "\" (fail-next, ignore-cancel or none)");
    InjectKeyFault(id, found->second);
    return 0;
}

int PrintHelp() {
    std::printf("%s", kHelp);
    PrintPresets();
    return 0;
}

using Command = std::function<int(const Arguments&)>;

// A command: what it takes (its name first; options with a value, then flags) and its handler.
struct CommandEntry {
    CommandSyntax syntax;
    Command run;
};

const std::vector<CommandEntry>& Commands() {
    static const std::vector<CommandEntry> commands{
        {{"help"}, [](const Arguments& a) {
             NoExtra(a, 0);
             return PrintHelp();
         }},
        {PlugSyntax(), Plug},
        {{"unplug", {}, {"no-broadcast"}}, [](const Arguments& a) {
             NoExtra(a, 1);
             Unplug(Box(a), !a.Has("no-broadcast"));
             return 0;
         }},
        {{"replug", {}, {"no-broadcast"}}, [](const Arguments& a) {
             NoExtra(a, 1);
             DeviceProfile profile;
             profile.id = Box(a);
             if (!Find(profile.id)) throw Error("unknown device " + profile.id);
             ::tunersim::Plug(profile, !a.Has("no-broadcast"));
             return 0;
         }},
        {{"remove", {}, {"no-broadcast"}}, [](const Arguments& a) {
             NoExtra(a, 1);
             Remove(Box(a), !a.Has("no-broadcast"));
             return 0;
         }},
        {{"list"}, [](const Arguments& a) {
             NoExtra(a, 0);
             for (const auto& info : List()) Print(info);
             return 0;
         }},
        {{"enum"}, Enum},
        {{"set-firmware"}, [](const Arguments& a) {
             NoExtra(a, 3);
             const auto version = ParseVersion(Need(a, 1, "firmware version"));
             SetFirmwareVersion(Box(a), version[0], version[1], version[2],
                                ParseNumber<uint16_t>(Need(a, 2, "build number"), "build"));
             return 0;
         }},
        {{"set-ident"}, [](const Arguments& a) {
             NoExtra(a, 4);
             SetIdentification(
                 Box(a),
                 ParseNumber<uint8_t>(Need(a, 1, "product line"), "product line"),
                 ParseNumber<uint8_t>(Need(a, 2, "model code"), "model code"),
                 ParseNumber<uint8_t>(Need(a, 3, "hardware revision"), "hardware revision"));
             return 0;
         }},
        {{"set-driver"}, [](const Arguments& a) {
             NoExtra(a, 2);
             SetDriverVersion(Box(a), Need(a, 1, "driver version"));
             return 0;
         }},
        {{"fault"}, [](const Arguments& a) {
             NoExtra(a, 4);
             const std::string id = Box(a);
             const auto property = ParseNumber<uint8_t>(Need(a, 1, "property"), "property");
             const Direction direction = ParseDirection(Need(a, 2, "get or set"));
             InjectFault(id, property, direction, ParseFault(Need(a, 3, "fault kind")));
             return 0;
         }},
        {{"clear-faults"}, [](const Arguments& a) {
             NoExtra(a, 1);
             ClearFaults(Box(a));
             return 0;
         }},
        {{"requests"}, [](const Arguments& a) {
             NoExtra(a, 2);
             const auto count = Requests(Box(a),
                                         ParseNumber<uint8_t>(Need(a, 1, "property"), "property"));
             std::printf("gets %u sets %u\n", count.gets, count.sets);
             return 0;
         }},
        {{"update-timing"}, [](const Arguments& a) {
             NoExtra(a, 3);
             SetUpdateTiming(Box(a),
                             ParseNumber<uint32_t>(Need(a, 1, "duration"), "duration"),
                             ParseNumber<uint32_t>(Need(a, 2, "hold time"), "hold time"));
             return 0;
         }},
        {{"script-update"}, [](const Arguments& a) {
             NoExtra(a, 2);
             ScriptUpdate(Box(a), ParseScript(Need(a, 1, "script")));
             return 0;
         }},
        {{"last-image"}, [](const Arguments& a) {
             NoExtra(a, 1);
             const auto receipt = LastImage(Box(a));
             std::printf("count %u length %u crc32 %08X\n", receipt.count, receipt.length,
                         receipt.crc32);
             return 0;
         }},
        {{"flash"}, [](const Arguments& a) {
             NoExtra(a, 2);
             ComScope com;
             FlashFile(Box(a), Need(a, 1, "image file"));
             return 0;
         }},
        {{"status"}, [](const Arguments& a) {
             NoExtra(a, 1);
             ComScope com;
             const auto status = ReadUpdateStatus(Box(a));
             if (!status) throw Error("the box gives no update status");
             std::printf("progress %u state %u error %u\n", (*status)[0], (*status)[1],
                         (*status)[2]);
             return 0;
         }},
        {{"tuning"}, [](const Arguments& a) {
             NoExtra(a, 1);
             std::printf("%s", DescribeTuning(Tuning(Box(a))).c_str());
             return 0;
         }},
        {{"settle-time"}, [](const Arguments& a) {
             NoExtra(a, 2);
             SetSettleTime(Box(a),
                           ParseNumber<uint32_t>(Need(a, 1, "settle time"), "settle time"));
             return 0;
         }},
        {{"last-request"}, [](const Arguments& a) {
             NoExtra(a, 3);
             const auto request = LastRequestOf(
                 Box(a), ParseNumber<uint8_t>(Need(a, 1, "property"), "property"),
                 ParseDirection(Need(a, 2, "get or set")));
             std::printf("%s\n", DescribeRequest(request).c_str());
             return 0;
         }},
        {{"sky"}, [](const Arguments& a) {
             NoExtra(a, 0);
             for (const auto& line : Sky()) std::printf("%s\n", line.c_str());
             return 0;
         }},
        {{"ts", {"seconds", "out"}}, [](const Arguments& a) {
             NoExtra(a, 1);
             const std::string id = Box(a);
             const double seconds = a.Has("seconds") ? ParseSeconds(a.options.at("seconds")) : 10.0;
             return WriteStream(id, seconds, a.Has("out") ? a.options.at("out") : id + ".ts");
         }},
        {{"services"}, [](const Arguments& a) {
             NoExtra(a, 1);
             return PrintServices(a.positional.empty() ? std::nullopt : std::optional(Box(a)));
         }},
        {{"press", {"gap"}}, Press},
        {{"hold", {"every"}}, Hold},
        {{"keys"}, ListKeys},
        {{"remote"}, ShowRemote},
        {{"remote-fault"}, SetRemoteFault},
        {{"ci-insert"}, [](const Arguments& a) {
             NoExtra(a, 1);
             InsertModule(Box(a));
             return 0;
         }},
        {{"ci-ready"}, [](const Arguments& a) {
             NoExtra(a, 1);
             ReadyModule(Box(a));
             return 0;
         }},
        {{"ci-remove"}, [](const Arguments& a) {
             NoExtra(a, 1);
             RemoveModule(Box(a));
             return 0;
         }},
        {{"ci-events"}, [](const Arguments& a) {
             NoExtra(a, 2);
             SetModuleEvents(Box(a), ParseNumber<uint16_t>(Need(a, 1, "event bits"), "event bits"));
             return 0;
         }},
        {{"ci-mmi"}, [](const Arguments& a) {
             NoExtra(a, 2);
             const std::string bytes = Need(a, 1, "MMI object");
             SetRawMmiObject(Box(a), bytes == "none" ? std::vector<uint8_t>{} : ParseHexBytes(bytes));
             return 0;
         }},
        {{"ci-show"}, ShowCommonInterface},
        {{"broadcast"}, [](const Arguments& a) {
             NoExtra(a, 0);
             BroadcastDeviceChange();
             return 0;
         }},
        {{"reset", {}, {"no-broadcast"}}, [](const Arguments& a) {
             NoExtra(a, 0);
             Reset(!a.Has("no-broadcast"));
             return 0;
         }},
        {{"demo"}, Demo},
        {{"register"}, [](const Arguments& a) {
             NoExtra(a, 0);
             EnsureFilterRegistered();
             return 0;
         }},
        {{"unregister", {}, {"no-broadcast"}}, [](const Arguments& a) {
             NoExtra(a, 0);
             UnregisterFilter(!a.Has("no-broadcast"));
             return 0;
         }},
    };
    return commands;
}

void ReportError(const std::string& command, const char* message) {
    if (command.empty()) {
        std::fprintf(stderr, "tunersim: %s\n", message);
    } else {
        std::fprintf(stderr, "tunersim %s: %s\n", command.c_str(), message);
    }
}

int Run(int argc, char** argv) {
    const auto& commands = Commands();
    std::vector<CommandSyntax> syntax;
    for (const CommandEntry& command : commands) syntax.push_back(command.syntax);
    std::string name;
    try {
        const CommandLine line = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), syntax);
        if (line.help) return PrintHelp();
        name = line.command;
        for (const CommandEntry& command : commands) {
            if (command.syntax.name == name) return command.run(line.arguments);
        }
        throw Error("the command is not available in this build");
    } catch (const UsageError& e) {
        ReportError(e.command.empty() ? name : e.command, e.what());
        return kUsageError;
    } catch (const std::exception& e) {
        std::string message = e.what();
        if (message.rfind("unknown device ", 0) == 0) message += ": " + std::string(BoxForms());
        ReportError(name, message.c_str());
        return 1;
    }
}

}  // namespace

}  // namespace tunersim

int main(int argc, char** argv) { return tunersim::Run(argc, argv); }
