#include "DeliveryTune.h"

namespace ombrel_cli {

TuneArguments TuneArgumentsFor(const Delivery& d, std::chrono::milliseconds timeout) {
    TuneArguments a;
    a.frequencyKHz = d.frequencyKHz;
    a.modulation = d.modulation;
    a.fec = d.fec;
    a.timeout = timeout;
    switch (d.system) {
    case DeliverySystem::DvbS:
    case DeliverySystem::DvbS2:
        a.family = Reception::Satellite;
        a.polarisation = d.polarisation;
        a.symbolRate = d.symbolRate;
        a.diseqcPort = d.satelliteNumber;
        break;
    case DeliverySystem::DvbT:
    case DeliverySystem::Atsc:
        a.family = d.system == DeliverySystem::Atsc ? Reception::Atsc : Reception::Terrestrial;
        if (d.bandwidthMHz != 0) a.bandwidthMHz = d.bandwidthMHz;
        a.guard = d.guard;
        a.mode = d.mode;
        break;
    }
    return a;
}

}  // namespace ombrel_cli
