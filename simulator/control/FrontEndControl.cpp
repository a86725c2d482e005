// Control of the simulated front end: settle time, the tuning state view, the record of
// the last requests and the sky.
#include <algorithm>
#include <string>

#include "ControlState.h"
#include "FrontEndLogic.h"
#include "TunerSimControl.h"

namespace tunersim {

namespace {

// The longest a settle time may be: anything beyond a minute is a typo.
constexpr uint32_t kMaxSettleMs = 60000;

unsigned TuneProperty(layout::TuneKind kind) {
    switch (kind) {
    case layout::TuneKind::Terrestrial: return 5;
    case layout::TuneKind::Qpsk: return 25;
    default: return 0;
    }
}

void CheckProperty(unsigned property) {
    if (property >= layout::kPropertySlots)
        throw Error("property number " + std::to_string(property) + " out of range 0..63");
}

}  // namespace

void SetSettleTime(const std::string& id, uint32_t ms) {
    if (ms > kMaxSettleMs)
        throw Error("settle time " + std::to_string(ms) + " ms out of range 0..60000");
    StateLock lock = LockState();
    Known(lock, id).frontEnd.settleMs = ms;
}

TuningState Tuning(const std::string& id) {
    StateLock lock = LockState();
    const layout::DeviceRecord& d = Known(lock, id);
    const layout::FrontEndState& f = d.frontEnd;
    TuningState t;
    t.family = frontend::FamilyName(frontend::FamilyOf(d.productLine, d.modelCode));
    t.powered = f.power != 0;
    t.autoTune = f.autoTune != 0;
    t.input = f.input;
    t.settleMs = f.settleMs;
    t.tunes = f.tunes;
    if (f.tuneKind != layout::TuneKind::None) {
        t.lastTuneProperty = TuneProperty(f.tuneKind);
        t.lastTune.assign(f.tune, f.tune + sizeof f.tune);
    }
    t.lnbParameters.assign(f.lnbParameters, f.lnbParameters + sizeof f.lnbParameters);
    t.pids.assign(f.pids, f.pids + std::min<std::size_t>(f.pidCount, layout::kMaxPids));

    const frontend::Reading r = frontend::Read(d, NowMs());
    t.flag = r.flag;
    t.settling = r.settling;
    t.carrier = r.reception.carrier;
    t.locked = r.reception.locked;
    if (r.reception.name) t.multiplex = r.reception.name;
    t.frequencyHz = r.reception.frequencyHz;
    t.strength = r.strength;
    t.quality = r.quality;
    t.bitErrorRate = r.bitErrorRate;
    t.lostBlocks = r.lostBlocks;
    t.snrTenthsDb = r.snrTenthsDb;
    return t;
}

LastRequest LastRequestOf(const std::string& id, unsigned property, Direction direction) {
    CheckProperty(property);
    StateLock lock = LockState();
    const layout::DeviceRecord& d = Known(lock, id);
    LastRequest last;
    if (direction == Direction::Get) {
        last.length = d.lastGetLengths[property];
        return last;
    }
    const layout::NotedSet& noted = d.lastSets[property];
    last.length = noted.length;
    last.bytes.assign(noted.bytes, noted.bytes + std::min<std::size_t>(noted.length, layout::kNotedBytes));
    return last;
}

std::vector<std::string> Sky() { return frontend::DescribeSky(); }

}  // namespace tunersim
