#include "ModuleStorm.h"

#include <cstdio>

namespace stress {
namespace {

const char* const kCiPresets[] = {"talvex-sci-r1", "nubrik-tci", "talvex-cci-r2", "ombrel-dvbs-ci",
                                  "nubrik-sci-r2", "ombrel-dvbt-ci"};
const char* const kAnyPresets[] = {"talvex-s2", "nubrik-tci", "ombrel-dvbs", "talvex-atsc", "holtrim", "talvex-cci-r1"};

// Long enough for a few polls at the sessions' 50 ms.
constexpr DWORD kStepMs = 150;
// How long a burst of keys may wait for its readers.
constexpr DWORD kKeyWaitMs = 300;

constexpr std::uint16_t kEventBits[] = {0x0040, 0x0080, 0x0100, 0x01C0};

}  // namespace

std::vector<tunersim::DeviceProfile> SessionTuners(Run run, int tuners) {
    std::vector<tunersim::DeviceProfile> boxes;
    for (int i = 0; i < tuners; ++i) {
        const bool ci = run == Run::Ci;
        tunersim::DeviceProfile box =
            tunersim::Preset(ci ? kCiPresets[i % std::size(kCiPresets)] : kAnyPresets[i % std::size(kAnyPresets)]);
        char id[17];
        std::snprintf(id, sizeof id, "00000000%s%06x", ci ? "5c" : "5d", i + 1);
        box.id = id;
        box.subunit = i % 10;
        box.models = i % 2 == 0 ? tunersim::kWdm : tunersim::kBda;
        if (ci) box.ciSlot = true;
        boxes.push_back(box);
    }
    return boxes;
}

ModuleStorm::ModuleStorm(std::vector<tunersim::DeviceProfile> tuners) : boxes_(std::move(tuners)) {}

ModuleStorm::~ModuleStorm() {
    for (const auto& box : boxes_) {
        try {
            tunersim::RemoveModule(box.id);
        } catch (const tunersim::Error&) {
        }
    }
}

void ModuleStorm::Hold(Heartbeat& heart) {
    heart.Beat("holding a module step");
    Sleep(kStepMs);
}

void ModuleStorm::Cycle(Heartbeat& heart, unsigned cycle) {
    heart.Beat("inserting modules");
    for (const auto& box : boxes_) tunersim::InsertModule(box.id);
    Hold(heart);
    heart.Beat("making modules ready");
    for (const auto& box : boxes_) {
        tunersim::ReadyModule(box.id);
        tunersim::SetModuleEvents(box.id, kEventBits[cycle % std::size(kEventBits)]);
    }
    Hold(heart);
    heart.Beat("removing modules");
    for (const auto& box : boxes_) {
        tunersim::SetModuleEvents(box.id, 0);
        tunersim::RemoveModule(box.id);
    }
    Hold(heart);
    steps_ += 3;
}

KeyStream::KeyStream(std::vector<tunersim::DeviceProfile> tuners)
    : boxes_(std::move(tuners)), next_(boxes_.size(), 1) {}

void KeyStream::Cycle(Heartbeat& heart) {
    for (std::size_t i = 0; i < boxes_.size(); ++i) {
        heart.Beat("pressing keys");
        std::vector<std::uint16_t> codes;
        // Codes rise without wrapping: a tuner whose codes are spent gets no more.
        while (codes.size() < kBurst && next_[i] <= 0xFFFF) codes.push_back(static_cast<std::uint16_t>(next_[i]++));
        if (codes.empty()) continue;
        dropped_ += tunersim::PressKeys(boxes_[i].id, codes, 1);
        pressed_ += static_cast<long long>(codes.size());
    }
    const ULONGLONG end = GetTickCount64() + kKeyWaitMs;
    for (const auto& box : boxes_) {
        while (tunersim::Remote(box.id).queued > 0 && GetTickCount64() < end) {
            heart.Beat("waiting for the readers to take the keys");
            Sleep(5);
        }
    }
}

}  // namespace stress
