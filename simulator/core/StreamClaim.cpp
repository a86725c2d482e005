#include "StreamClaim.h"

#include <cctype>

#include "SharedLayout.h"

namespace tunersim::claim {

std::string StreamObjectName(std::string_view id) {
    std::string name = "TalvexSimStream-";
    for (char c : id) name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

LinkVerdict JudgeTunerLink(const Endpoint& tunerOutput, const Endpoint* peer) {
    if (tunerOutput.input || tunerOutput.role != layout::kRoleTuner) return LinkVerdict::NotTunerOutput;
    if (!peer || !peer->input || peer->role != layout::kRoleReceiver) return LinkVerdict::NotReceiverInput;
    if (StreamObjectName(peer->id) != StreamObjectName(tunerOutput.id)) return LinkVerdict::OtherBox;
    return LinkVerdict::Accept;
}

}  // namespace tunersim::claim
