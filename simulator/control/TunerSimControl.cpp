#include "TunerSimControl.h"

#include <windows.h>

#include <cstring>

#include "CaModule.h"
#include "ControlState.h"
#include "Crc32.h"
#include "DeviceNames.h"
#include "FilterClass.h"
#include "FrontEndLogic.h"
#include "KeyWake.h"
#include "Lifecycle.h"
#include "Registration.h"
#include "RemoteKeys.h"
#include "SharedState.h"
#include "Text.h"

namespace tunersim {

namespace {

using layout::DeviceRecord;
using layout::Role;

template <std::size_t N>
void CopyText(char (&out)[N], const std::string& text) {
    std::memset(out, 0, N);
    std::memcpy(out, text.data(), std::min(text.size(), N - 1));
}

void CheckProfile(const DeviceProfile& profile) {
    if (!profile.id.empty() && !names::IsValidId(profile.id))
        throw Error("malformed device id \"" + profile.id + "\": expected 16 hexadecimal digits");
    if (profile.subunit < 0 || profile.subunit > 9)
        throw Error("subunit " + std::to_string(profile.subunit) + " out of range 0..9");
    if (profile.models < kWdm || profile.models > kBoth)
        throw Error("driver models must be WDM, BDA or both");
    if (profile.driverVersion.size() > 20)
        throw Error("driver version \"" + profile.driverVersion +
                    "\" is longer than 20 characters");
    for (const std::string* name :
         {&profile.wdmFriendlyName, &profile.tunerFriendlyName, &profile.receiverFriendlyName}) {
        if (auto problem = names::FriendlyNameProblem(*name)) throw Error(*problem);
    }
    for (const std::string* name :
         {&profile.wdmInstanceName, &profile.tunerInstanceName, &profile.receiverInstanceName}) {
        if (!name->empty()) {
            if (auto problem = names::InstanceNameProblem(*name)) throw Error(*problem);
        }
    }
}

std::string FreshId(StateLock& lock) {
    for (;;) {
        const uint32_t serial = ++lock.State().serial;
        const uint64_t mix = (static_cast<uint64_t>(GetTickCount()) << 16) ^
                             (static_cast<uint64_t>(GetCurrentProcessId()) << 40);
        const uint64_t value = 0x0010000000000000ull | (mix & 0x000FFFFFFFFF0000ull) |
                               (serial & 0xFFFF);
        std::string id = names::IdFromNumber(value);
        if (!lock.Find(id)) return id;
    }
}

void FillRecord(DeviceRecord& d, const DeviceProfile& profile, const std::string& id) {
    d.used = 1;
    d.models = profile.models;
    d.subunit = static_cast<uint32_t>(profile.subunit);
    CopyText(d.id, id);
    d.productLine = profile.productLine;
    d.modelCode = profile.modelCode;
    d.hardwareRevision = profile.hardwareRevision;
    d.versionMajor = profile.versionMajor;
    d.versionMinor = profile.versionMinor;
    d.versionPatch = profile.versionPatch;
    d.build = profile.build;
    d.withReceiver = profile.withReceiver ? 1 : 0;
    CopyText(d.driverVersion, profile.driverVersion);
    std::memcpy(d.systemInfo, profile.systemInfo.data(), 8);
    std::memcpy(d.boardTemperature, profile.boardTemperature.data(), 4);
    CopyText(d.friendlyNames[layout::kRoleWdm], profile.wdmFriendlyName);
    CopyText(d.friendlyNames[layout::kRoleTuner], profile.tunerFriendlyName);
    CopyText(d.friendlyNames[layout::kRoleReceiver], profile.receiverFriendlyName);
    const std::string* raw[] = {&profile.wdmInstanceName, &profile.tunerInstanceName,
                                &profile.receiverInstanceName};
    for (int r = 0; r < layout::kRoleCount; ++r) {
        const auto role = static_cast<Role>(r);
        if (!PresentsRole(d, role)) continue;
        CopyText(d.instanceNames[r], raw[r]->empty() ? names::StandardInstanceName(
                                                           role, profile.modelCode, profile.subunit, id)
                                                     : *raw[r]);
    }
    d.updateDurationMs = layout::kDefaultUpdateDurationMs;
    d.updateHoldMs = layout::kDefaultUpdateHoldMs;
    frontend::Init(d.frontEnd);
    d.ci.slot = profile.ciSlot.value_or(
        ca::ModelHasSlot(profile.productLine, profile.modelCode, profile.hardwareRevision));
}

// Registry names compare without regard to case.
void CheckNamesFree(StateLock& lock, const DeviceRecord& fresh) {
    for (const auto& other : lock.State().devices) {
        if (!other.used || &other == &fresh) continue;
        for (int r = 0; r < layout::kRoleCount; ++r) {
            if (fresh.instanceNames[r][0] != '\0' &&
                lstrcmpiW(Widen(fresh.instanceNames[r]).c_str(),
                          Widen(other.instanceNames[r]).c_str()) == 0) {
                throw Error(std::string("instance name \"") + fresh.instanceNames[r] +
                            "\" is taken by device " + other.id);
            }
        }
    }
}

DeviceInfo Describe(const DeviceRecord& d) {
    DeviceInfo info;
    DeviceProfile& s = info.profile;
    s.id = d.id;
    s.subunit = static_cast<int>(d.subunit);
    s.models = d.models;
    s.productLine = d.productLine;
    s.modelCode = d.modelCode;
    s.hardwareRevision = d.hardwareRevision;
    s.versionMajor = d.versionMajor;
    s.versionMinor = d.versionMinor;
    s.versionPatch = d.versionPatch;
    s.build = d.build;
    s.driverVersion = std::string(d.driverVersion, strnlen(d.driverVersion, 20));
    std::memcpy(s.systemInfo.data(), d.systemInfo, 8);
    std::memcpy(s.boardTemperature.data(), d.boardTemperature, 4);
    s.wdmFriendlyName = d.friendlyNames[layout::kRoleWdm];
    s.tunerFriendlyName = d.friendlyNames[layout::kRoleTuner];
    s.receiverFriendlyName = d.friendlyNames[layout::kRoleReceiver];
    s.withReceiver = d.withReceiver != 0;
    s.wdmInstanceName = d.instanceNames[layout::kRoleWdm];
    s.tunerInstanceName = d.instanceNames[layout::kRoleTuner];
    s.receiverInstanceName = d.instanceNames[layout::kRoleReceiver];
    s.ciSlot = d.ci.slot != 0;
    info.plugged = d.plugged != 0;
    for (int r = 0; r < layout::kRoleCount; ++r) {
        const auto role = static_cast<Role>(r);
        if (PresentsRole(d, role)) info.displayNames.push_back(
            names::DisplayName(role, d.instanceNames[r]));
    }
    return info;
}

}  // namespace

DeviceRecord& Known(StateLock& lock, const std::string& id) {
    if (!names::IsValidId(id))
        throw Error("malformed device id \"" + id + "\": expected 16 hexadecimal digits");
    DeviceRecord* d = lock.Find(id);
    if (!d) throw Error("unknown device " + id);
    return *d;
}

void EnsureFilterRegistered() {
    wchar_t exe[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) throw Error("cannot find the running program's folder");
    std::wstring path(exe, n);
    path = path.substr(0, path.find_last_of(L'\\') + 1) + kFilterDllName;
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        RegisterFilterClass(path);
        return;
    }
    // A program outside the bin folder may still use a registration made earlier.
    wchar_t registered[MAX_PATH] = {};
    DWORD size = sizeof registered - sizeof(wchar_t);
    const std::wstring key = std::wstring(L"CLSID\\") + kFilterClsidText + L"\\InprocServer32";
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr,
                     registered, &size) == ERROR_SUCCESS &&
        GetFileAttributesW(registered) != INVALID_FILE_ATTRIBUTES)
        return;
    throw Error("the filter DLL " + Narrow(path) + " is missing");
}

std::string Plug(const DeviceProfile& profile, bool broadcast) {
    CheckProfile(profile);
    EnsureFilterRegistered();
    std::string id;
    {
        StateLock lock = LockState();
        if (!profile.id.empty()) {
            if (DeviceRecord* known = lock.Find(profile.id)) {
                if (known->plugged) throw Error("device " + profile.id + " is already plugged");
                PlugRecord(*known);
                id = known->id;
            }
        }
        if (id.empty()) {
            id = profile.id.empty() ? FreshId(lock) : profile.id;
            DeviceRecord* d = lock.Allocate();
            if (!d) throw Error("the simulator holds no more than 32 devices");
            FillRecord(*d, profile, id);
            try {
                CheckNamesFree(lock, *d);
                PlugRecord(*d);
            } catch (...) {
                std::memset(d, 0, sizeof *d);
                throw;
            }
        }
    }
    if (broadcast) BroadcastDevNodesChanged();
    return id;
}

void Unplug(const std::string& id, bool broadcast) {
    bool changed = false;
    {
        StateLock lock = LockState();
        DeviceRecord& d = Known(lock, id);
        changed = d.plugged != 0;
        UnplugRecord(d);
    }
    if (changed && broadcast) BroadcastDevNodesChanged();
}

void Remove(const std::string& id, bool broadcast) {
    bool changed = false;
    {
        StateLock lock = LockState();
        DeviceRecord& d = Known(lock, id);
        changed = d.plugged != 0;
        UnplugRecord(d);
        RemoveDeviceKeys(d);
        std::memset(&d, 0, sizeof d);
    }
    if (changed && broadcast) BroadcastDevNodesChanged();
}

std::vector<DeviceInfo> List() {
    std::vector<DeviceInfo> all;
    StateLock lock = LockState();
    for (const auto& d : lock.State().devices) {
        if (d.used) all.push_back(Describe(d));
    }
    return all;
}

std::optional<DeviceInfo> Find(const std::string& id) {
    StateLock lock = LockState();
    if (const DeviceRecord* d = lock.Find(id)) return Describe(*d);
    return std::nullopt;
}

void SetFirmwareVersion(const std::string& id, uint8_t major, uint8_t minor, uint8_t patch,
                        uint16_t build) {
    StateLock lock = LockState();
    DeviceRecord& d = Known(lock, id);
    d.versionMajor = major;
    d.versionMinor = minor;
    d.versionPatch = patch;
    d.build = build;
}

void SetIdentification(const std::string& id, uint8_t productLine, uint8_t modelCode,
                       uint8_t hardwareRevision) {
    StateLock lock = LockState();
    DeviceRecord& d = Known(lock, id);
    d.productLine = productLine;
    d.modelCode = modelCode;
    d.hardwareRevision = hardwareRevision;
}

void SetDriverVersion(const std::string& id, const std::string& text) {
    if (text.size() > 20)
        throw Error("driver version \"" + text + "\" is longer than 20 characters");
    StateLock lock = LockState();
    CopyText(Known(lock, id).driverVersion, text);
}

void InjectFault(const std::string& id, unsigned property, Direction direction,
                 const Fault& fault) {
    if (property >= layout::kPropertySlots)
        throw Error("property number " + std::to_string(property) + " out of range 0..63");
    StateLock lock = LockState();
    layout::FaultSlot& slot = Known(lock, id).faults[property][direction == Direction::Set];
    slot.kind = static_cast<uint32_t>(fault.kind);
    slot.bytes = fault.bytes;
    slot.delayMs = fault.delayMs;
}

void ClearFaults(const std::string& id) {
    StateLock lock = LockState();
    DeviceRecord& d = Known(lock, id);
    std::memset(d.faults, 0, sizeof d.faults);
}

RequestCount Requests(const std::string& id, unsigned property) {
    StateLock lock = LockState();
    DeviceRecord& d = Known(lock, id);
    if (property >= layout::kPropertySlots) return {};
    return {d.requests[property][0], d.requests[property][1], d.instanceLengths[property][0],
            d.instanceLengths[property][1]};
}

void BroadcastDeviceChange() { BroadcastDevNodesChanged(); }

void Reset(bool broadcast) {
    bool anyPlugged = false;
    {
        StateLock lock = LockState();
        for (auto& d : lock.State().devices) {
            if (!d.used) continue;
            anyPlugged = anyPlugged || d.plugged;
            RemoveDeviceKeys(d);
        }
        std::memset(lock.State().devices, 0, sizeof lock.State().devices);
        RemoveStrayFilterKeys();
    }
    if (anyPlugged && broadcast) BroadcastDevNodesChanged();
}

void UnregisterFilter(bool broadcast) {
    Reset(broadcast);
    RemoveEmptyCategoryKeys();
    UnregisterFilterClass();
}

void SetUpdateTiming(const std::string& id, uint32_t durationMs, uint32_t holdMs) {
    StateLock lock = LockState();
    DeviceRecord& d = Known(lock, id);
    d.updateDurationMs = durationMs;
    d.updateHoldMs = holdMs;
}

void ScriptUpdate(const std::string& id, const UpdateScript& script) {
    if (script.percent > 100) throw Error("a scripted percentage must lie in 0..100");
    StateLock lock = LockState();
    DeviceRecord& d = Known(lock, id);
    d.script.action = static_cast<layout::ScriptAction>(script.kind);
    d.script.percent = script.percent;
    d.script.errorCode = script.errorCode;
    d.script.failState = script.failState;
}

ImageReceipt LastImage(const std::string& id) {
    StateLock lock = LockState();
    const DeviceRecord& d = Known(lock, id);
    return {d.update.imagesReceived, d.update.lastImageLength, d.update.lastImageCrc};
}

uint32_t ImageCrc32(const void* data, std::size_t length) {
    return Crc32(std::string_view(static_cast<const char*>(data), length));
}

bool PressKey(const std::string& id, uint16_t code) {
    bool queued = false;
    uint32_t waiting = 0;
    {
        StateLock lock = LockState();
        DeviceRecord& d = Known(lock, id);
        if (!d.plugged) throw Error("device " + id + " is not plugged");
        queued = remote::Press(d.remote, code);
        waiting = d.remote.waitingReads;
    }
    KeyWake(id).Wake(waiting);
    return queued;
}

uint32_t PressKeys(const std::string& id, const std::vector<uint16_t>& codes, uint32_t gapMs) {
    uint32_t dropped = 0;
    for (std::size_t i = 0; i < codes.size(); ++i) {
        if (i > 0 && gapMs > 0) Sleep(gapMs);
        dropped += PressKey(id, codes[i]) ? 0 : 1;
    }
    return dropped;
}

uint32_t HoldKey(const std::string& id, uint16_t code, uint32_t durationMs, uint32_t intervalMs) {
    if (intervalMs == 0) throw Error("a held key repeats at an interval of at least 1 ms");
    // Repeats follow the clock, not the sum of the sleeps, so a slow press does not stretch
    // the hold.
    const ULONGLONG start = GetTickCount64();
    uint32_t dropped = 0;
    for (ULONGLONG next = start;; next += intervalMs) {
        const ULONGLONG now = GetTickCount64();
        if (next > now) Sleep(static_cast<DWORD>(next - now));
        dropped += PressKey(id, code) ? 0 : 1;
        if (next + intervalMs > start + durationMs) return dropped;
    }
}

void InjectKeyFault(const std::string& id, KeyFault fault) {
    StateLock lock = LockState();
    layout::RemoteState& r = Known(lock, id).remote;
    switch (fault) {
    case KeyFault::None:
        r.failNextRead = 0;
        r.ignoreCancel = 0;
        break;
    case KeyFault::FailNextRead: r.failNextRead = 1; break;
    case KeyFault::IgnoreCancel: r.ignoreCancel = 1; break;
    }
}

RemoteStatus Remote(const std::string& id) {
    StateLock lock = LockState();
    const layout::RemoteState& r = Known(lock, id).remote;
    RemoteStatus status;
    status.queued = r.queued;
    status.waitingReads = r.waitingReads;
    status.pressed = r.pressed;
    status.read = r.read;
    status.dropped = r.dropped;
    status.cancels = r.cancels;
    status.malformedCancels = r.malformedCancels;
    status.releasedReads = r.releasedReads;
    status.cancelPending = r.cancelPending != 0;
    return status;
}

}  // namespace tunersim
