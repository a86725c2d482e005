// Control of the tuner simulator: plug and unplug simulated Talvex boxes, change their
// state, inject faults. Used by the command-line tool (tunersim.exe) and linked into
// tests as a static library (tunersim_control).
//
// Every call works on the simulator's system-wide state (shared by every process of
// the Wine prefix, kept when the calling process exits). Errors throw
// tunersim::Error with a message meant for a person; a failed plug leaves nothing
// registered.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tunersim {

struct Error : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Driver models in which a box presents itself (bit mask).
enum : unsigned { kWdm = 1, kBda = 2, kBoth = 3 };

struct DeviceProfile {
    std::string id;          // 16 hex digits; empty: a fresh one is generated
    int subunit = 0;         // 0..9, the digit before the id in the display names
    unsigned models = kWdm;  // kWdm, kBda or kBoth

    // Identification and versions (the firmware version record, property 11).
    uint8_t productLine = 1;
    uint8_t modelCode = 0x34;
    uint8_t hardwareRevision = 4;
    uint8_t versionMajor = 1;
    uint8_t versionMinor = 3;
    uint8_t versionPatch = 0;
    uint16_t build = 44650;

    std::string driverVersion = "TVX 4.2.1.1810";  // at most 20 characters
    std::array<uint8_t, 8> systemInfo{0x01, 0x34, 0x04, 0x00, 0x10, 0x20, 0x30, 0x40};
    std::array<uint8_t, 4> boardTemperature{0x2A, 0x00, 0x00, 0x00};

    // Friendly names per category; any text is allowed (the library must ignore
    // names outside its tables).
    std::string wdmFriendlyName = "Ombrel WDM";
    std::string tunerFriendlyName = "Talvex BDA Tuner DVBS2";
    std::string receiverFriendlyName = "Talvex BDA Receiver DVBS2";
    bool withReceiver = true;  // BDA: register the receiver component too

    // Raw instance names (the part after "...\" in the display name), to test names
    // that break the usual pattern. Empty: the standard pattern
    // "talvexsim#vid_1d19&pid_<model>#<subunit>#<id>#{category}".
    std::string wdmInstanceName;
    std::string tunerInstanceName;
    std::string receiverInstanceName;

    // Whether the box has a Common Interface slot. Empty: as its model has, by the
    // identification bytes. Fixed when the box is first plugged.
    std::optional<bool> ciSlot;
};

// A preset model by name (see PresetNames()); throws Error for an unknown name.
DeviceProfile Preset(const std::string& name);
std::vector<std::string> PresetNames();

// The boxes that `tunersim demo` plugs (after a reset), with fixed ids: a WDM tuner
// that the updater carries an image for (1/0x34/4), a BDA tuner, a box in both models,
// two tuners of one model, and a model without an image (1/0x14/1).
std::vector<DeviceProfile> DemoSet();

struct DeviceInfo {
    DeviceProfile profile;        // current state (versions follow firmware updates)
    bool plugged = false;
    std::vector<std::string> displayNames;  // "@device:sw:{CAT}\<instance>" per category
};

// Makes sure the filter's COM class is registered (the filter DLL lies beside the
// running program). Plug calls it too.
void EnsureFilterRegistered();

// Plugs a box: registers its filters and broadcasts WM_DEVICECHANGE
// (DBT_DEVNODES_CHANGED) unless broadcast is false. Returns the device id. Plugging
// an id that is known but unplugged plugs it again with its kept state and the
// same display names; plugging an id that is already plugged throws.
std::string Plug(const DeviceProfile& profile, bool broadcast = true);

// Unplugs a box (its filters disappear, its state is kept); throws for an unknown id.
void Unplug(const std::string& id, bool broadcast = true);

// Forgets a box entirely (unplugged first if needed).
void Remove(const std::string& id, bool broadcast = true);

std::vector<DeviceInfo> List();
std::optional<DeviceInfo> Find(const std::string& id);

void SetFirmwareVersion(const std::string& id, uint8_t major, uint8_t minor, uint8_t patch,
                        uint16_t build);
void SetIdentification(const std::string& id, uint8_t productLine, uint8_t modelCode,
                       uint8_t hardwareRevision);
void SetDriverVersion(const std::string& id, const std::string& text);

// Fault injection per device and property number (and direction).
enum class FaultKind {
    None,
    Fail,      // answer E_FAIL
    False,     // answer S_FALSE
    Short,     // answer S_OK but report `bytes` returned, fill only that many
    Delay,     // answer normally after `delayMs`
};
enum class Direction { Get, Set };
struct Fault {
    FaultKind kind = FaultKind::None;
    uint32_t bytes = 0;
    uint32_t delayMs = 0;
};
void InjectFault(const std::string& id, unsigned property, Direction direction, const Fault& fault);
void ClearFaults(const std::string& id);

// Counters of the requests that reached the simulated driver, for tests that must
// show that a call did or did not reach it.
struct RequestCount {
    uint32_t gets = 0;
    uint32_t sets = 0;
    uint32_t getInstanceLength = 0;  // instance buffer length of the last get
    uint32_t setInstanceLength = 0;  // ... and of the last set
};
RequestCount Requests(const std::string& id, unsigned property);

// Broadcasts WM_DEVICECHANGE (DBT_DEVNODES_CHANGED) to all top-level windows.
void BroadcastDeviceChange();

// Unplugs and forgets every simulated box, clears all state; broadcasts once if
// anything was plugged (and broadcast is true).
void Reset(bool broadcast = true);

// Undoes the simulator's installation: unplugs and forgets every box (as Reset does),
// removes the category keys left empty and the registration of the filter's COM class.
// The next Plug registers it again. Throws Error when the registration stays.
void UnregisterFilter(bool broadcast = true);

// ---------------------------------------------------------------------------
// Firmware update (set of property 17, get of property 18)
// ---------------------------------------------------------------------------
// A valid image makes Progress rise from 0 to 100 over `durationMs`; after it has
// reported 100 for `holdMs` the box re-enumerates like a rebooting one (unplugged, then
// plugged again with the same id and display names, each with a broadcast) and carries
// the image's version. Defaults: 4000 ms and 1500 ms. Applies to the next set 17.
void SetUpdateTiming(const std::string& id, uint32_t durationMs, uint32_t holdMs);

// What the next update run does instead of succeeding (kept until changed).
enum class ScriptKind {
    None,    // succeed
    Fail,    // at `percent`: report State `failState` with `errorCode`, stop there
    Stall,   // stop rising at `percent`, for ever
    Vanish,  // unplug the box (with a broadcast) when `percent` is reached
};
struct UpdateScript {
    ScriptKind kind = ScriptKind::None;
    uint8_t percent = 0;     // 0..100
    uint8_t errorCode = 0;   // Fail only
    uint8_t failState = 8;   // Fail only; 8 or 10 are what callers treat as failure
};
void ScriptUpdate(const std::string& id, const UpdateScript& script);

// What the last set 17 received, so that tests can check what the library sent.
struct ImageReceipt {
    uint32_t count = 0;   // sets of 17 accepted since the box was first plugged
    uint32_t length = 0;  // bytes of the last one
    uint32_t crc32 = 0;   // CRC-32 (as zlib computes it) of those bytes
};
ImageReceipt LastImage(const std::string& id);

// The CRC-32 that LastImage reports, for the caller's own bytes.
uint32_t ImageCrc32(const void* data, std::size_t length);

// ---------------------------------------------------------------------------
// Front end: tuning, PID filter and LNB (properties 0, 2, 5, 6, 9, 12 to 16, 25, 30)
// ---------------------------------------------------------------------------
// Time from a tune (or a change of LNB, dish input or power) until the box reports
// lock or no signal. Default 300 ms.
void SetSettleTime(const std::string& id, uint32_t ms);

// What the front end of a box is doing now.
struct TuningState {
    std::string family;          // "satellite", "terrestrial", "ATSC" or "none"
    bool powered = false;
    bool autoTune = false;
    unsigned input = 0;          // dish input chosen by the last LNB command (0 = A)
    uint32_t settleMs = 0;
    uint32_t tunes = 0;          // tune requests accepted since first plug
    unsigned lastTuneProperty = 0;   // 0, 5 or 25; meaningful when tunes > 0
    std::vector<uint8_t> lastTune;   // its 12 bytes; empty before the first tune
    std::vector<uint8_t> lnbParameters;  // 42 bytes, as get 13 reports them
    std::vector<uint16_t> pids;      // the last PID list
    // The reading: what get 9 and get 30 report now.
    int flag = 0;                // 0 busy or idle, 1 locked, -1 no signal
    bool settling = false;
    bool carrier = false;
    bool locked = false;
    std::string multiplex;       // the multiplex found; empty when none
    uint64_t frequencyHz = 0;
    uint32_t strength = 0, quality = 0, bitErrorRate = 0, lostBlocks = 0, snrTenthsDb = 0;
};
TuningState Tuning(const std::string& id);

// What the last set of a property carried: its length and first (up to 64) bytes;
// for a get, the length asked for (no bytes). Zero length before the first request.
struct LastRequest {
    uint32_t length = 0;
    std::vector<uint8_t> bytes;
};
LastRequest LastRequestOf(const std::string& id, unsigned property, Direction direction);

// The simulated sky, one line per multiplex.
std::vector<std::string> Sky();

// ---------------------------------------------------------------------------
// Remote control (get of property 26, set of property 27)
// ---------------------------------------------------------------------------
// A key press reaches a plugged box as a code of two bytes (RemoteKeymap.h names the
// Talvex remote's keys). The box keeps up to 64 keys that no read has taken yet, in order,
// and drops further ones; a read of property 26 takes the oldest or waits until one comes
// or a cancel (set 27) releases it. Throws for an unknown or unplugged box.

// Presses one key; false when the box's queue was full and the key was dropped.
bool PressKey(const std::string& id, uint16_t code);
// Presses the codes in order, `gapMs` apart. Returns how many were dropped.
uint32_t PressKeys(const std::string& id, const std::vector<uint16_t>& codes, uint32_t gapMs = 0);
// A held key, as a remote repeats it: the code at once and then every `intervalMs` (> 0)
// until `durationMs` have passed. Returns how many were dropped.
uint32_t HoldKey(const std::string& id, uint16_t code, uint32_t durationMs, uint32_t intervalMs);

// Faults of the remote control, added to those already set; None clears them all.
enum class KeyFault {
    None,
    FailNextRead,  // the next read of property 26 fails (E_FAIL), once
    IgnoreCancel,  // cancels are answered S_OK and release nothing, until cleared
};
void InjectKeyFault(const std::string& id, KeyFault fault);

struct RemoteStatus {
    uint32_t queued = 0;            // pressed, not yet read
    uint32_t waitingReads = 0;      // reads of property 26 waiting now, in any process
    uint32_t pressed = 0;           // queued since the box was first plugged
    uint32_t read = 0;              // handed to a read
    uint32_t dropped = 0;           // lost to a full queue
    uint32_t cancels = 0;           // cancels that came without buffers, as they must
    uint32_t malformedCancels = 0;  // cancels with a buffer or a length (rejected)
    uint32_t releasedReads = 0;     // reads that a cancel ended
    bool cancelPending = false;     // a cancel that the next read will consume
};
RemoteStatus Remote(const std::string& id);

// ---------------------------------------------------------------------------
// Common Interface slot and conditional-access module (properties 22, 23, 28)
// ---------------------------------------------------------------------------
// Only boxes with a slot answer the CI properties; the calls below throw Error for the
// others. The status word (get 28) follows at once: 0x0001 for the powered slot, 0x0010
// with a module, 0x0002 | 0x0020 once it is ready, and the pending event bits as raised.
void InsertModule(const std::string& id);  // present, starting up; resets a ready module
void ReadyModule(const std::string& id);   // ready; inserted first when the slot is empty
void RemoveModule(const std::string& id);
// Pending event bits: any of 0x0040, 0x0080 and 0x0100 (0 clears them); they stay set,
// reported at every reading of the status word, until changed.
void SetModuleEvents(const std::string& id, uint16_t bits);
// An MMI object (tag, length field, body; at most 1026 bytes) that the module answers
// to MMI queries instead of its menus while it is ready. The payload's other bytes hold
// their own offset (byte i is i mod 256). Empty: the menus again.
void SetRawMmiObject(const std::string& id, const std::vector<uint8_t>& object);

enum class ModuleState { Empty, Starting, Ready };

// The last message of one kind as the simulated driver received it.
struct CiMessageCopy {
    uint32_t count = 0;   // received so far
    uint32_t length = 0;  // property data length of the last one
    std::array<uint8_t, 1036> bytes{};
};

struct ModuleReport {
    bool slot = false;
    ModuleState state = ModuleState::Empty;
    uint16_t statusWord = 0;
    std::string screen;  // the MMI screen that is open, empty when none
    uint8_t rating = 0;  // parental rating chosen in the menus (0: none)
    std::string language;
    // Received: open commands, the last command (set 22) and request (set 23).
    uint32_t opens = 0;
    CiMessageCopy lastCommand;
    CiMessageCopy lastRequest;
    // CA PMTs: how many, the last one's list management, command, PMT length and program.
    uint32_t pmts = 0;
    uint8_t pmtListManagement = 0;
    uint8_t pmtCommand = 0;
    uint16_t pmtLength = 0;
    uint16_t pmtProgram = 0;
    bool descrambling = false;  // after a CA PMT with ok_descrambling (1)
    uint16_t descrambledService = 0;
    uint32_t serviceIds = 0;
    uint16_t serviceId = 0;
    uint32_t dateTimes = 0;
    std::vector<uint8_t> dateTime;  // the last date-time payload (5 or 7 bytes)
    uint32_t menuEntries = 0;       // enter-menu commands
    uint32_t menuAnswers = 0;
    uint8_t lastChoice = 0;
    uint32_t enquiryAnswers = 0;
    uint8_t lastAnswerId = 0;
    std::string lastAnswer;
    uint32_t mmiCloses = 0;
};
ModuleReport CommonInterface(const std::string& id);

// ---------------------------------------------------------------------------
// Transport streams
// ---------------------------------------------------------------------------
// A locked box emits the transport stream of the multiplex it receives (the sky's
// table in Sky.h says what each carries), through its PID filter, with the scrambled
// services scrambled unless its module descrambles them.

// The multiplex a box receives now, empty when it emits nothing, with the reason.
struct Reception {
    std::string multiplex;
    std::string reason;   // why nothing flows: unplugged, powered off, not tuned, ...
};
Reception Receiving(const std::string& id);

// `seconds` (at most an hour) of exactly what the box emits now, made as fast as possible
// from its state at the call (the stream's clock starts at the wall clock's time), handed
// to `write` in pieces of whole 188-byte packets.
struct StreamCapture {
    Reception reception;
    uint64_t bitrate = 0;   // of the multiplex, bits per second
    uint64_t slots = 0;     // packet times covered
    uint64_t packets = 0;   // packets emitted (the rest was filtered or lost)
};
StreamCapture CaptureStream(const std::string& id, double seconds,
                            const std::function<void(const uint8_t* bytes, std::size_t length)>& write);

}  // namespace tunersim
