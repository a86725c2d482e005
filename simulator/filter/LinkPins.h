// The link between a BDA box's network tuner and its receiver component: the tuner's
// output pin and the receiver's input pin. They connect only to each other, within one
// box; the stream between them is the driver's business (it never passes through user
// mode), so neither has an allocator.
#pragma once

#include "PinBase.h"

namespace tunersim {

class TunerOutputPin final : public PinBase {
public:
    explicit TunerOutputPin(PinOwner& owner);

protected:
    HRESULT CheckPeer(IPin* peer) override;
};

class ReceiverInputPin final : public PinBase {
public:
    explicit ReceiverInputPin(PinOwner& owner);

protected:
    HRESULT CheckPeer(IPin* peer) override;
};

}  // namespace tunersim
