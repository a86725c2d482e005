#include "LibraryWorker.h"

#include <OmbrelApi.h>

#include <cstring>
#include <random>

#include "ComScope.h"

namespace stress {
namespace {

class Session {
public:
    Session(Heartbeat& heart, const WorkerShared& shared) : heart_(heart), shared_(shared) {}

    void Once(std::minstd_rand& random) {
        heart_.Beat("counting devices");
        unsigned long all = 0, wdm = 0, bda = 0;
        Expect("OB_GetNumberOfDevices", OB_GetNumberOfDevices(&all), OB_SUCCESS);
        Expect("OB_GetNumberOfWDMDevices", OB_GetNumberOfWDMDevices(&wdm), OB_SUCCESS);
        Expect("OB_GetNumberOfBDADevices", OB_GetNumberOfBDADevices(&bda), OB_SUCCESS);

        const unsigned family = random() % 3;
        const unsigned long count = family == 0 ? all : family == 1 ? wdm : bda;
        const unsigned long index = random() % (count + 1);  // one past the end now and then
        heart_.Beat("opening a device");
        constexpr unsigned long kUntouched = 0xDEADBEEF;
        unsigned long handle = kUntouched;
        const unsigned long opened = family == 0   ? OB_OpenDeviceHandle(index, &handle)
                                     : family == 1 ? OB_OpenWDMDeviceHandle(index, &handle)
                                                   : OB_OpenBDADeviceHandle(index, &handle);
        ++shared_.tally.operations;
        if (opened == OB_FAILED) {
            ++shared_.tally.refusedOpens;
            if (handle != 0 && handle != kUntouched) shared_.tally.Fault("a refused open wrote handle " + std::to_string(handle));
            Sleep(1);  // nothing to open now: leave the processor to the rescans
            return;
        }
        if (opened != OB_SUCCESS || handle == 0 || handle == kUntouched) {
            shared_.tally.Fault("open answered " + std::to_string(opened) + " with handle " + std::to_string(handle));
            return;
        }
        ++shared_.tally.opens;
        Query(handle);
        heart_.Beat("closing a handle");
        Expect("OB_CloseDeviceHandle", OB_CloseDeviceHandle(handle), OB_SUCCESS);
    }

private:
    // Every code a query may answer on a handle that is open: 0, or 1 when the device
    // has gone meanwhile. 2 means the library lost the handle.
    void Answered(const char* call, unsigned long code) {
        ++shared_.tally.operations;
        if (code == OB_SUCCESS || code == OB_FAILED) return;
        if (code == OB_INVALID_HANDLE) {
            shared_.tally.Fault(std::string("a handle from a successful open answered 2 to ") + call);
        } else {
            shared_.tally.Fault(std::string(call) + " answered " + std::to_string(code));
        }
    }

    void Expect(const char* call, unsigned long code, unsigned long expected) {
        ++shared_.tally.operations;
        if (code != expected) shared_.tally.Fault(std::string(call) + " answered " + std::to_string(code));
    }

    void Query(unsigned long handle) {
        heart_.Beat("reading strings");
        char guid[OMBREL_GUID_STRING_SIZE] = {};
        const unsigned long guidCode = OB_GetGUIDString(handle, guid);
        Answered("OB_GetGUIDString", guidCode);
        if (guidCode == OB_SUCCESS && !shared_.guidStrings.count(guid)) shared_.tally.Fault(std::string("unknown GUID text ") + guid);
        char display[OMBREL_DISPLAY_STRING_SIZE] = {};
        Answered("OB_GetDisplayString", OB_GetDisplayString(handle, display));
        char device[OMBREL_DEVICE_STRING_SIZE] = {};
        Answered("OB_GetDeviceString", OB_GetDeviceString(handle, device));
        char* friendly = nullptr;
        Answered("OB_GetFriendlyString", OB_GetFriendlyString(handle, &friendly));
        OMBREL_TUNER_TYPE type{};
        Answered("OB_GetTunerType", OB_GetTunerType(handle, &type));
        unsigned int subunit = 0;
        Answered("OB_GetSubunitID", OB_GetSubunitID(handle, &subunit));
        _OMBREL_GUID id{};
        Answered("OB_GetGUID", OB_GetGUID(handle, &id));

        heart_.Beat("reading versions");
        _OMBREL_FIRMWARE_VERSION firmware{};
        Answered("OB_GetFirmwareVersion", OB_GetFirmwareVersion(handle, &firmware));
        _OMBREL_DRIVER_VERSION driver{};
        Answered("OB_GetDriverVersion", OB_GetDriverVersion(handle, &driver));
        _OMBREL_SYSTEM_INFO system{};
        Answered("OB_GetSystemInfo", OB_GetSystemInfo(handle, &system));
        heart_.Beat("reading the temperature");
        _OMBREL_BOARD_TEMPERATURE temperature{};
        Answered("OB_GetBoardTemperature", OB_GetBoardTemperature(handle, &temperature));

        heart_.Beat("reading the attached state");
        const int attached = OB_IsDeviceAttached(handle);
        ++shared_.tally.operations;
        if (attached != 0 && attached != 1) shared_.tally.Fault("OB_IsDeviceAttached answered " + std::to_string(attached));
    }

    Heartbeat& heart_;
    const WorkerShared& shared_;
};

}  // namespace

void RunLibraryWorker(unsigned seed, const std::atomic<bool>& stop, Heartbeat& heart, const WorkerShared& shared) {
    ComScope com;
    std::minstd_rand random(seed);
    Session session(heart, shared);
    while (!stop.load()) session.Once(random);
    heart.Rest();
}

WorkerPool::WorkerPool(int threads, const WorkerShared& shared)
    : WorkerPool(threads, [&shared](unsigned seed, const std::atomic<bool>& stop, Heartbeat& heart) {
          RunLibraryWorker(seed, stop, heart, shared);
      }) {}

WorkerPool::WorkerPool(int threads, WorkerBody body) : body_(std::move(body)) {
    for (int i = 0; i < threads; ++i) {
        hearts_.push_back(std::make_unique<Heartbeat>("worker thread " + std::to_string(i + 1)));
        hearts_.back()->Rest();
    }
}

WorkerPool::~WorkerPool() { Stop(); }

std::vector<const Heartbeat*> WorkerPool::Hearts() const {
    std::vector<const Heartbeat*> hearts;
    for (const auto& heart : hearts_) hearts.push_back(heart.get());
    return hearts;
}

void WorkerPool::Start() {
    stop_ = false;
    for (size_t i = 0; i < hearts_.size(); ++i) {
        Heartbeat& heart = *hearts_[i];
        heart.Wake();
        const auto seed = static_cast<unsigned>(GetCurrentProcessId() * 131 + i);
        threads_.emplace_back([this, &heart, seed] { body_(seed, stop_, heart); });
    }
}

void WorkerPool::Stop() {
    stop_ = true;
    for (auto& thread : threads_) thread.join();
    threads_.clear();
}

}  // namespace stress
