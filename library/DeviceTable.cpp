#include "DeviceTable.h"

#include "PropertyChannel.h"
#include "SharedSection.h"

#include <algorithm>
#include <optional>

namespace ombrel {

HandleRecord::~HandleRecord() {
    // The property interface first, then the filters: tuner before receiver.
    propertySet.Reset();
    tunerFilter.Reset();
    receiverFilter.Reset();
}

namespace {

// Whether an entry is among those that counting and opening by index see.
bool Listed(const DeviceEntry& entry, KindFilter filter) {
    if (!entry.attached) return false;
    if (filter == KindFilter::Wdm) return entry.kind == OMBREL_TUNER_TYPE_WDM;
    if (filter == KindFilter::Bda) return entry.kind == OMBREL_TUNER_TYPE_BDA;
    return true;
}

bool SameGuidString(const DeviceId& a, const DeviceId& b) {
    return std::string_view(a.guidString.data()) == std::string_view(b.guidString.data());
}

// The receiver of a BDA tuner: the last receiver whose GUID string equals the
// tuner's (the walk does not stop at the first match).
const FoundFilter* FindReceiver(const std::vector<FoundFilter>& receivers, const DeviceId& tunerId) {
    const FoundFilter* match = nullptr;
    for (const FoundFilter& receiver : receivers) {
        if (SameGuidString(ParseDeviceId(receiver.displayName), tunerId)) match = &receiver;
    }
    return match;
}

// A record holding the bound filters and the tuner's property interface, or null
// when a part is missing (what was bound is released with the record).
std::unique_ptr<HandleRecord> MakeRecord(OMBREL_TUNER_TYPE kind, ComPtr<IBaseFilter> tuner,
                                         ComPtr<IBaseFilter> receiver) {
    if (!tuner) return nullptr;
    auto record = std::make_unique<HandleRecord>();
    record->tunerFilter = std::move(tuner);
    if (kind == OMBREL_TUNER_TYPE_BDA) {
        if (!receiver) return nullptr;
        record->receiverFilter = std::move(receiver);
    }
    if (FAILED(record->tunerFilter.As(&record->propertySet)) || !record->propertySet) return nullptr;
    return record;
}

void ApplyModel(DeviceEntry& entry, IKsPropertySet* properties) {
    _OMBREL_FIRMWARE_VERSION version{};
    if (GetProperty(properties, OMBREL_PROP_FIRMWARE_VERSION, &version, sizeof version) != OB_SUCCESS) return;
    const models::Model model = models::Identify(version.ProductLine, version.ModelCode, version.HardwareRevision);
    entry.deviceString = model.deviceString;
    entry.ciCapable = model.commonInterface;
    entry.reception = model.reception;
}

// A new entry; identified, when asked, through a handle opened on the moniker in hand
// (the same filter a bind by display name would find, without enumerating the
// category again).
std::unique_ptr<DeviceEntry> BuildEntry(FoundFilter& filter, OMBREL_TUNER_TYPE kind,
                                        const std::vector<FoundFilter>& receivers, bool identify) {
    auto entry = std::make_unique<DeviceEntry>();
    entry->displayName = filter.displayName;
    entry->monikerName = filter.monikerName;
    entry->friendlyName = filter.friendlyName;
    entry->kind = kind;
    entry->id = ParseDeviceId(entry->displayName);

    ComPtr<IBaseFilter> receiver;
    if (kind == OMBREL_TUNER_TYPE_BDA) {
        if (const FoundFilter* match = FindReceiver(receivers, entry->id)) {
            entry->receiverDisplayName = match->displayName;
            if (identify) receiver = BindMoniker(match->moniker.Get());
        }
    }
    if (identify) {
        if (auto record = MakeRecord(kind, BindMoniker(filter.moniker.Get()), std::move(receiver)))
            ApplyModel(*entry, record->propertySet.Get());
    }

    entry->subunitId = ParseSubunit(entry->displayName);
    return entry;
}

// What an open binds, outside the lock.
struct BoundFilters {
    ComPtr<IBaseFilter> tuner;
    ComPtr<IBaseFilter> receiver;
    std::optional<std::string> receiverName;  // set when a receiver was chosen
};

// Binds a tuner by its display name and, for a BDA tuner, its receiver: the one the
// latest scan chose by the rule, bound by its name. Only when that one has gone since,
// or there was none, is the receiver category listed again and the rule applied to
// what it lists now; so the open neither lists a category nor pays the enumerator's
// cost per filter while the receivers stay as the scan found them.
BoundFilters BindForOpen(OMBREL_TUNER_TYPE kind, const std::wstring& tunerName, const DeviceId& id,
                         const std::optional<ListedReceiver>& scanned) {
    BoundFilters bound;
    DisplayNameBinder binder;
    bound.tuner = binder.Bind(tunerName);
    if (!bound.tuner || kind != OMBREL_TUNER_TYPE_BDA) return bound;
    if (scanned) {
        bound.receiver = binder.Bind(scanned->monikerName);
        if (bound.receiver) {
            bound.receiverName = scanned->displayName;
            return bound;
        }
    }
    std::vector<FoundFilter> receivers = EnumerateCategory(Category::BdaReceiver);
    if (const FoundFilter* match = FindReceiver(receivers, id)) {
        bound.receiverName = match->displayName;
        bound.receiver = BindMoniker(match->moniker.Get());
    }
    return bound;
}

}  // namespace

ScanResult ScanDevices(const std::function<bool(const std::string&)>& known) {
    ScanResult scan;
    std::vector<FoundFilter> wdm = EnumerateCategory(Category::WdmCapture);
    std::vector<FoundFilter> tuners = EnumerateCategory(Category::BdaTuner);
    std::vector<FoundFilter> receivers;
    if (!tuners.empty()) receivers = EnumerateCategory(Category::BdaReceiver);

    scan.entries.reserve(wdm.size() + tuners.size());
    for (FoundFilter& f : wdm)
        scan.entries.push_back(BuildEntry(f, OMBREL_TUNER_TYPE_WDM, receivers, !known(f.displayName)));
    for (FoundFilter& f : tuners)
        scan.entries.push_back(BuildEntry(f, OMBREL_TUNER_TYPE_BDA, receivers, !known(f.displayName)));
    scan.receivers.reserve(receivers.size());
    for (const FoundFilter& r : receivers)
        scan.receivers.push_back({r.displayName, r.monikerName, ParseDeviceId(r.displayName)});
    return scan;
}

DeviceTable::DeviceTable(SharedSection* shared)
    : shared_(shared),
      // Where the numbers start says nothing; it only makes a number from another
      // process or an earlier load unlikely to name a handle of this one.
      firstHandle_((GetCurrentProcessId() << 20) ^ (GetTickCount() << 4)) {}

DeviceTable::~DeviceTable() = default;

void DeviceTable::Abandon() {
    // A thread that the ending process stopped may have held the lock: leave the
    // records as they are then, the process's end takes them all the same.
    std::unique_lock guard(lock_, std::try_to_lock);
    if (!guard.owns_lock()) return;
    for (auto& entry : entries_) {
        for (auto& record : entry->handles) {
            // Deliberately leaked: releasing them would run code of filters that the
            // ending process may have unloaded already.
            (void)record->propertySet.Detach();
            (void)record->tunerFilter.Detach();
            (void)record->receiverFilter.Detach();
        }
    }
}

void DeviceTable::SetAttached(DeviceEntry& entry, int state) {
    if (entry.attached == state) return;
    entry.attached = state;
    const UINT message = state ? OMBREL_MSG_ATTACHED : OMBREL_MSG_DETACHED;
    for (const auto& record : entry.handles) {
        if (record->notifyWindow) PostMessageW(record->notifyWindow, message, record->value, 0);
    }
}

std::uint64_t DeviceTable::BeginScan() {
    std::lock_guard guard(lock_);
    return ++scansBegun_;
}

std::vector<HWND> DeviceTable::Merge(EntryList fresh, std::uint64_t scan, std::vector<ListedReceiver> receivers) {
    std::lock_guard guard(lock_);
    if (scan < newestMerged_) return {};
    newestMerged_ = scan;
    bool changed = false;

    receiverByGuid_.clear();
    for (ListedReceiver& receiver : receivers) {
        std::string guid = receiver.id.guidString.data();
        receiverByGuid_.insert_or_assign(std::move(guid), std::move(receiver));  // the last one counts
    }

    std::unordered_map<std::string_view, bool> present;
    for (const auto& f : fresh) present.emplace(f->displayName, true);
    for (auto& entry : entries_) {
        if (entry->attached && !present.count(entry->displayName)) {
            SetAttached(*entry, 0);
            changed = true;
        }
    }

    for (auto& f : fresh) {
        auto known = byName_.find(f->displayName);
        if (known != byName_.end()) {
            // The identity is the converted name; the enumerator's own spelling, which
            // binds the filter again, is the one it gives now.
            known->second->monikerName = std::move(f->monikerName);
            if (!known->second->attached) {
                SetAttached(*known->second, 1);
                changed = true;
            }
            continue;
        }
        if (shared_) shared_->Register(f->displayName);
        DeviceEntry* added = f.get();
        entries_.push_back(std::move(f));
        byName_.emplace(added->displayName, added);
        SetAttached(*added, 1);
        changed = true;
    }

    if (!changed) return {};
    return generalWindows_;
}

DeviceEntry* DeviceTable::NthLocked(KindFilter filter, unsigned long index) const {
    unsigned long seen = 0;
    for (const auto& entry : entries_) {
        if (Listed(*entry, filter) && seen++ == index) return entry.get();
    }
    return nullptr;
}

unsigned long DeviceTable::Count(KindFilter filter) const {
    std::lock_guard guard(lock_);
    unsigned long count = 0;
    for (const auto& entry : entries_) {
        count += Listed(*entry, filter);
    }
    return count;
}

bool DeviceTable::Knows(const std::string& displayName) const {
    std::lock_guard guard(lock_);
    return byName_.count(displayName) != 0;
}

std::uint32_t DeviceTable::NextHandleValueLocked() {
    // Values count up from a start that differs between processes and loads, skip 0
    // and are never given out twice while the library is loaded.
    while (given_ < UINT32_MAX) {
        const std::uint32_t value = firstHandle_ + ++given_;
        if (value != 0) return value;
    }
    return 0;  // every number has been used: no more opens while loaded
}

unsigned long DeviceTable::OpenByIndex(KindFilter filter, unsigned long index, unsigned long* handle) {
    DeviceEntry* entry;
    std::wstring tunerName;
    OMBREL_TUNER_TYPE kind;
    DeviceId id;
    std::optional<ListedReceiver> scannedReceiver;
    {
        std::lock_guard guard(lock_);
        entry = NthLocked(filter, index);
        if (!entry) return OB_FAILED;
        tunerName = entry->monikerName;
        kind = entry->kind;
        id = entry->id;
        if (kind == OMBREL_TUNER_TYPE_BDA) {
            auto found = receiverByGuid_.find(id.guidString.data());
            if (found != receiverByGuid_.end()) scannedReceiver = found->second;
        }
    }

    // Binding runs without the lock. The entry stays valid, entries are never removed
    // while the library is loaded.
    BoundFilters bound = BindForOpen(kind, tunerName, id, scannedReceiver);
    std::unique_ptr<HandleRecord> record = MakeRecord(kind, std::move(bound.tuner), std::move(bound.receiver));

    std::lock_guard guard(lock_);
    if (bound.receiverName) entry->receiverDisplayName = *bound.receiverName;
    const std::uint32_t value = record ? NextHandleValueLocked() : 0;
    if (!record || value == 0) {
        *handle = 0;
        return OB_FAILED;
    }
    record->value = value;
    byHandle_.emplace(value, HandleLocation{entry, record.get()});
    entry->handles.push_back(std::move(record));
    *handle = value;
    return OB_SUCCESS;
}

unsigned long DeviceTable::Close(unsigned long handle) {
    std::unique_ptr<HandleRecord> released;
    DeviceEntry* entry;  // entries stay until the table goes
    std::optional<PendingStop> readerStop;
    {
        std::lock_guard guard(lock_);
        auto found = byHandle_.find(static_cast<std::uint32_t>(handle));
        if (found == byHandle_.end()) return OB_INVALID_HANDLE;
        entry = found->second.entry;
        // A reader started through this handle is stopped first, as its stop would.
        readerStop = entry->remote.BeginStop(static_cast<std::uint32_t>(handle));
        auto& handles = entry->handles;
        auto it = std::find_if(handles.begin(), handles.end(),
                               [&](const auto& r) { return r.get() == found->second.record; });
        released = std::move(*it);
        handles.erase(it);
        byHandle_.erase(found);
    }
    // Outside the lock, since both wait for their threads: a session or reader that this
    // handle owns must not go on with the handle's interface and window.
    (void)entry->ci.Close(static_cast<std::uint32_t>(handle));
    if (readerStop) readerStop->Finish();
    // The interfaces are released here, outside the lock; calls still running on
    // this handle hold references of their own.
    released.reset();
    return OB_SUCCESS;
}

unsigned long DeviceTable::WithHandle(unsigned long handle,
                                      const std::function<unsigned long(DeviceEntry&, HandleRecord&)>& f) {
    std::lock_guard guard(lock_);
    auto found = byHandle_.find(static_cast<std::uint32_t>(handle));
    if (found == byHandle_.end()) return OB_INVALID_HANDLE;
    return f(*found->second.entry, *found->second.record);
}

unsigned long DeviceTable::SetNotifyWindow(unsigned long handle, HWND window) {
    std::lock_guard guard(lock_);
    auto found = byHandle_.find(static_cast<std::uint32_t>(handle));
    if (found == byHandle_.end()) return OB_INVALID_HANDLE;
    HandleRecord& record = *found->second.record;
    // Both under this lock, so that a reader started meanwhile takes the same window.
    record.notifyWindow = window;
    found->second.entry->remote.WindowChanged(record.value, window);
    return OB_SUCCESS;
}

ComPtr<IKsPropertySet> DeviceTable::PropertySetOf(unsigned long handle) {
    std::lock_guard guard(lock_);
    auto found = byHandle_.find(static_cast<std::uint32_t>(handle));
    if (found == byHandle_.end()) return nullptr;
    return found->second.record->propertySet;
}

void DeviceTable::AddGeneralWindow(HWND window) {
    std::lock_guard guard(lock_);
    generalWindows_.push_back(window);
}

void DeviceTable::EndThreadsForUnload() {
    std::vector<DeviceEntry*> entries;
    {
        std::lock_guard guard(lock_);
        for (auto& entry : entries_) entries.push_back(entry.get());
    }
    for (DeviceEntry* entry : entries) {
        entry->ci.CloseForUnload();
        entry->remote.StopForUnload();
    }
}

}  // namespace ombrel
