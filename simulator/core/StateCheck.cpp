#include "StateCheck.h"

#include <cstring>
#include <string_view>

#include "DeviceNames.h"

namespace tunersim::layout {
namespace {

template <std::size_t N>
bool Terminated(const char (&field)[N]) {
    return std::memchr(field, 0, N) != nullptr;
}

bool NamesTerminated(const DeviceRecord& d) {
    for (int role = 0; role < kRoleCount; ++role) {
        if (!Terminated(d.friendlyNames[role]) || !Terminated(d.instanceNames[role])) return false;
    }
    return true;
}

std::optional<std::string> RecordProblem(const DeviceRecord& d) {
    if (d.used != 1 || d.plugged > 1 || d.withReceiver > 1) return "a flag is neither 0 nor 1";
    if (!Terminated(d.id) || !names::IsValidId(d.id)) return "a device id is not 16 hex digits";
    if (d.models < 1 || d.models > 3) return "a device has no driver model";
    if (d.subunit > 9) return "a subunit is not a digit";
    if (!Terminated(d.driverVersion) || !NamesTerminated(d)) return "a text runs past its field";
    if (d.update.phase > UpdatePhase::Finished || d.update.script.action > ScriptAction::Vanish ||
        d.script.action > ScriptAction::Vanish) {
        return "an update is in no known state";
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> StateProblem(const SharedState& state) {
    if (state.magic != kMagic || state.layoutVersion != kLayoutVersion || state.size != sizeof(SharedState)) {
        return "not a state of this simulator";
    }
    for (std::size_t i = 0; i < kMaxDevices; ++i) {
        const DeviceRecord& d = state.devices[i];
        if (!d.used) continue;
        if (auto problem = RecordProblem(d)) return "record " + std::to_string(i) + ": " + *problem;
        for (std::size_t j = 0; j < i; ++j) {
            if (state.devices[j].used && names::SameId(state.devices[j].id, d.id)) {
                return "record " + std::to_string(i) + ": two records have the id " + std::string(d.id);
            }
        }
    }
    return std::nullopt;
}

}  // namespace tunersim::layout
