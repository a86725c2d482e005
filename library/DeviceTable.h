// The process-wide table of discovered tuners and the handles opened on them.
//
// One lock serialises every rescan merge, open, close and lookup. Slow work
// (enumerating categories, binding filters, driver requests) runs outside it:
// enumeration and identification before a merge, binding before a new handle is
// added, and driver requests on a COM reference taken under the lock so that a
// concurrent close cannot free the interface a call is using. An entry's remote-control
// state has a lock of its own, taken after this one (RemoteControl.h); its CI session's
// lock is taken before this one, never after (CiSession.h).
#pragma once

#include "CiSession.h"
#include "Discovery.h"
#include "DisplayName.h"
#include "RemoteControl.h"
#include "TunerModels.h"

#include <OmbrelApi.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace ombrel {

class SharedSection;

struct HandleRecord {
    std::uint32_t value = 0;
    ComPtr<IBaseFilter> tunerFilter;
    ComPtr<IBaseFilter> receiverFilter;
    ComPtr<IKsPropertySet> propertySet;
    // Set only through DeviceTable::SetNotifyWindow, which also passes it on to the
    // device's remote-control reader; the CI poll thread reads it where it stands.
    std::atomic<HWND> notifyWindow{nullptr};

    HandleRecord() = default;
    HandleRecord(const HandleRecord&) = delete;
    HandleRecord& operator=(const HandleRecord&) = delete;
    ~HandleRecord();
};

struct DeviceEntry {
    std::string displayName;
    std::wstring monikerName;         // the display name as the enumerator spelled it
    std::string receiverDisplayName;  // BDA: found again at every open
    std::string friendlyName;
    DeviceId id;
    std::string deviceString = "Error";
    int attached = 0;
    OMBREL_TUNER_TYPE kind = OMBREL_TUNER_TYPE_WDM;
    int subunitId = kNoSubunit;
    bool ciCapable = false;
    models::Reception reception = models::Reception::None;  // none until identified
    std::vector<std::unique_ptr<HandleRecord>> handles;  // in opening order
    // After the handles: a session or a running reader ends before the handles go.
    CiSession ci;
    RemoteControl remote;
};

using EntryList = std::vector<std::unique_ptr<DeviceEntry>>;

enum class KindFilter { Any, Wdm, Bda };

// A receiver component that a scan listed: what the open of a BDA tuner needs to
// bind it again without listing the category.
struct ListedReceiver {
    std::string displayName;
    std::wstring monikerName;
    DeviceId id;
};

struct ScanResult {
    EntryList entries;
    std::vector<ListedReceiver> receivers;  // in enumeration order
};

// Builds the entries that one scan finds right now: WDM filters, then BDA tuners;
// and the receivers it listed. Runs without any lock. A device that `known` names
// is not identified again: the merge keeps the table's entry and drops the fresh one,
// so a handle, a bind and a driver request for it would be spent for nothing. Every
// other device is identified by one firmware-version request.
ScanResult ScanDevices(const std::function<bool(const std::string&)>& known);

class DeviceTable {
public:
    explicit DeviceTable(SharedSection* shared);
    DeviceTable(const DeviceTable&) = delete;
    DeviceTable& operator=(const DeviceTable&) = delete;
    ~DeviceTable();

    // Numbers a scan before it enumerates; Merge takes the number back.
    std::uint64_t BeginScan();

    // Merges a scan: detaches what is gone, re-attaches what is back, appends what
    // is new, and keeps the receivers it listed for the opens that follow. Returns
    // the general windows to tell when anything changed (the caller sends to them
    // after the lock is released). Scans enumerate outside the lock, so two can
    // finish out of order: a scan that began before the last merged one saw an older
    // state and is dropped, lest it undo what the newer one found.
    std::vector<HWND> Merge(EntryList fresh, std::uint64_t scan, std::vector<ListedReceiver> receivers);

    unsigned long Count(KindFilter filter) const;
    // Whether an entry with this display name is in the table (attached or not).
    bool Knows(const std::string& displayName) const;
    unsigned long OpenByIndex(KindFilter filter, unsigned long index, unsigned long* handle);
    // Closes the handle's CI session and stops its remote-control reader first when it
    // owns them.
    unsigned long Close(unsigned long handle);

    // The window for the handle's messages (null: none), for every thread that posts them.
    unsigned long SetNotifyWindow(unsigned long handle, HWND window);

    // Runs f(entry, record) under the lock when the handle is known; else OB_INVALID_HANDLE.
    unsigned long WithHandle(unsigned long handle,
                             const std::function<unsigned long(DeviceEntry&, HandleRecord&)>& f);

    // The handle's property interface with a reference of its own, or null when the
    // handle is unknown.
    ComPtr<IKsPropertySet> PropertySetOf(unsigned long handle);

    void AddGeneralWindow(HWND window);

    // Unload while the process goes on: every open CI session is closed and every
    // remote-control reader stopped.
    void EndThreadsForUnload();

    // Forgets every entry and record without releasing them: for process exit, when
    // the filters' own code may be gone already.
    void Abandon();

private:
    void SetAttached(DeviceEntry& entry, int state);
    DeviceEntry* NthLocked(KindFilter filter, unsigned long index) const;
    std::uint32_t NextHandleValueLocked();

    mutable std::mutex lock_;
    SharedSection* shared_;
    EntryList entries_;
    std::unordered_map<std::string, DeviceEntry*> byName_;
    struct HandleLocation {
        DeviceEntry* entry;
        HandleRecord* record;
    };
    std::unordered_map<std::uint32_t, HandleLocation> byHandle_;
    std::vector<HWND> generalWindows_;
    // Per GUID string, the receiver that the latest merged scan would give a tuner:
    // the last listed one with that GUID string.
    std::unordered_map<std::string, ListedReceiver> receiverByGuid_;
    std::uint32_t firstHandle_;
    std::uint32_t given_ = 0;  // numbers handed out so far
    std::uint64_t scansBegun_ = 0;
    std::uint64_t newestMerged_ = 0;
};

}  // namespace ombrel
