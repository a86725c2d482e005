#include "LinkPins.h"

#include "StreamFormat.h"

namespace tunersim {
namespace {

HRESULT Verdict(claim::LinkVerdict verdict) { return verdict == claim::LinkVerdict::Accept ? S_OK : kNotTheBoxReceiver; }

}  // namespace

TunerOutputPin::TunerOutputPin(PinOwner& owner) : PinBase(owner, kTunerOutputPinId, PINDIR_OUTPUT) {}

HRESULT TunerOutputPin::CheckPeer(IPin* peer) {
    claim::Endpoint theirs;
    const bool ours = DescribePeer(peer, theirs);
    return Verdict(claim::JudgeTunerLink(Describe(), ours ? &theirs : nullptr));
}

ReceiverInputPin::ReceiverInputPin(PinOwner& owner) : PinBase(owner, kReceiverInputPinId, PINDIR_INPUT) {}

HRESULT ReceiverInputPin::CheckPeer(IPin* peer) {
    claim::Endpoint theirs;
    if (!DescribePeer(peer, theirs)) return kNotTheBoxReceiver;
    const claim::Endpoint mine = Describe();
    return Verdict(claim::JudgeTunerLink(theirs, &mine));
}

}  // namespace tunersim
