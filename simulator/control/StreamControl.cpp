// Control of the transport streams: what a box receives and what it emits.
#include <algorithm>
#include <cmath>

#include "BoxStream.h"
#include "ContentFolder.h"
#include "ControlState.h"
#include "FrontEndLogic.h"
#include "TunerSimControl.h"
#include "es/ClipLibrary.h"

namespace tunersim {
namespace {

// A capture is made in pieces of this many packets.
constexpr std::size_t kPiece = 4096;

std::string WhyNothingFlows(const layout::DeviceRecord& d, int64_t nowMs) {
    if (!d.plugged) return "unplugged";
    if (!d.frontEnd.power) return "powered off";
    if (d.frontEnd.tuneKind == layout::TuneKind::None) return "not tuned";
    const frontend::Reading r = frontend::Read(d, nowMs);
    if (r.settling) return "still settling on its last tune";
    if (r.reception.carrier) return "a carrier, but the tune's parameters do not fit it: no lock";
    return "no signal at its last tune";
}

Reception ReceptionOf(const layout::DeviceRecord& d, const stream::BoxView& view, int64_t nowMs) {
    Reception r;
    if (view.multiplex >= 0)
        r.multiplex = sky::Multiplexes()[view.multiplex].name;
    else
        r.reason = WhyNothingFlows(d, nowMs);
    return r;
}

}  // namespace

Reception Receiving(const std::string& id) {
    StateLock lock = LockState();
    const layout::DeviceRecord& d = Known(lock, id);
    const int64_t now = NowMs();
    return ReceptionOf(d, stream::ViewOf(d, now), now);
}

StreamCapture CaptureStream(const std::string& id, double seconds,
                            const std::function<void(const uint8_t*, std::size_t)>& write) {
    if (!(seconds > 0) || seconds > 3600) throw Error("seconds must be above 0 and at most 3600");
    stream::BoxView view;
    StreamCapture capture;
    const int64_t now = NowMs();
    {
        StateLock lock = LockState();
        const layout::DeviceRecord& d = Known(lock, id);
        view = stream::ViewOf(d, now);
        capture.reception = ReceptionOf(d, view, now);
    }
    if (view.multiplex < 0) return capture;
    stream::ClipLibrary clips(ContentFolder());
    stream::BoxStream box(clips);
    try {
        box.Follow(view, now - kUnixEpochMs);
    } catch (const std::exception& e) {
        throw Error(e.what());
    }
    capture.bitrate = box.Bitrate();
    capture.slots = static_cast<uint64_t>(std::llround(seconds * capture.bitrate / (stream::kPacketSize * 8)));
    std::vector<uint8_t> piece;
    piece.reserve(kPiece * stream::kPacketSize);
    for (uint64_t made = 0; made < capture.slots;) {
        const std::size_t n = static_cast<std::size_t>(std::min<uint64_t>(kPiece, capture.slots - made));
        piece.clear();
        capture.packets += box.Make(n, piece);
        if (!piece.empty()) write(piece.data(), piece.size());
        made += n;
    }
    return capture;
}

}  // namespace tunersim
