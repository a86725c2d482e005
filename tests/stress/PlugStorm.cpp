#include "PlugStorm.h"

#include <cstdio>

namespace stress {
namespace {

// Several models, so that entries differ in more than their ids.
const char* const kPresets[] = {"talvex-s2", "talvex-sci-r1", "nubrik-tci",  "talvex-cci-r2",
                                "ombrel-dvbs", "holtrim",      "talvex-atsc", "nubrik-s2"};

}  // namespace

std::vector<tunersim::DeviceProfile> StormTuners(int tuners) {
    std::vector<tunersim::DeviceProfile> boxes;
    for (int i = 0; i < tuners; ++i) {
        tunersim::DeviceProfile box = tunersim::Preset(kPresets[i % std::size(kPresets)]);
        char id[17];
        std::snprintf(id, sizeof id, "000000005e%06x", i + 1);
        box.id = id;
        box.subunit = i % 10;
        box.models = i % 3 == 0 ? tunersim::kWdm : i % 3 == 1 ? tunersim::kBda : tunersim::kBoth;
        boxes.push_back(box);
    }
    return boxes;
}

std::set<std::string> GuidStringsOf(const std::vector<tunersim::DeviceProfile>& tuners) {
    std::set<std::string> texts;
    for (const auto& box : tuners) {
        std::string text;
        for (size_t pair = box.id.size(); pair >= 2; pair -= 2) text += box.id.substr(pair - 2, 2);
        texts.insert(text);
    }
    return texts;
}

PlugStorm::PlugStorm(int tuners, bool broadcastEach) : PlugStorm(StormTuners(tuners), broadcastEach) {}

PlugStorm::PlugStorm(std::vector<tunersim::DeviceProfile> tuners, bool broadcastEach)
    : boxes_(std::move(tuners)), broadcastEach_(broadcastEach) {}

PlugStorm::~PlugStorm() {
    try {
        tunersim::Reset(true);
    } catch (const tunersim::Error& e) {
        std::printf("stress: the simulator could not be reset: %s\n", e.what());
    }
}

void PlugStorm::PlugAll() {
    tunersim::Reset(false);
    for (const auto& box : boxes_) tunersim::Plug(box, false);
    tunersim::BroadcastDeviceChange();
}

void PlugStorm::Broadcast(Heartbeat& heart) {
    heart.Beat("broadcasting a device change");
    tunersim::BroadcastDeviceChange();
}

void PlugStorm::Cycle(Heartbeat& heart, const std::function<void(bool plugged)>& settle) {
    for (const auto& box : boxes_) {
        heart.Beat("unplugging a tuner");
        tunersim::Unplug(box.id, broadcastEach_);
    }
    if (!broadcastEach_) Broadcast(heart);
    if (settle) settle(false);
    for (const auto& box : boxes_) {
        heart.Beat("plugging a tuner");
        tunersim::Plug(box, broadcastEach_);
    }
    if (!broadcastEach_) Broadcast(heart);
    if (settle) settle(true);
}

void PlugStorm::StallFirmwareRequests() {
    constexpr unsigned kFirmwareVersion = 11;
    const tunersim::Fault stall{tunersim::FaultKind::Delay, 0, 600000};
    for (const auto& box : boxes_) tunersim::InjectFault(box.id, kFirmwareVersion, tunersim::Direction::Get, stall);
}

void PlugStorm::ForgetAfterHang(DWORD timeoutMs) {
    const auto forget = [](void*) -> DWORD {
        try {
            tunersim::Reset(false);
        } catch (const tunersim::Error&) {
        }
        return 0;
    };
    HANDLE thread = CreateThread(nullptr, 0, forget, nullptr, 0, nullptr);
    if (!thread) return;
    WaitForSingleObject(thread, timeoutMs);
    CloseHandle(thread);
}

unsigned long EntriesOf(const std::vector<tunersim::DeviceProfile>& tuners) {
    unsigned long entries = 0;
    for (const auto& box : tuners) entries += box.models == tunersim::kBoth ? 2 : 1;
    return entries;
}

}  // namespace stress
