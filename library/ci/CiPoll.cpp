#include "CiPoll.h"

namespace ombrel::ci {

PollResult Poll(CiState state, std::uint16_t status) {
    PollResult result;
    if (status & kStatusEvent40) result.Add(CiEvent::Flag40);
    if (status & kStatusEvent80) result.Add(CiEvent::Flag80);
    if (status & kStatusEvent100) result.Add(CiEvent::Flag100);

    if (status & kStatusPresent) {
        if (state == CiState::NoModule) {
            state = CiState::ModulePresent;
            result.Add(CiEvent::ModulePresent);
        }
        const bool ready = (status & kStatusReadyLow) && (status & kStatusReadyHigh);
        if (ready && state == CiState::ModulePresent) {
            state = CiState::ModuleReady;
            result.Add(CiEvent::ModuleReady);
        }
    } else if (state != CiState::NoModule) {
        state = CiState::NoModule;
        result.Add(CiEvent::ModuleGone);
    }
    result.state = state;
    return result;
}

}  // namespace ombrel::ci
