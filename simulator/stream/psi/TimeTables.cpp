// DVB's time tables (EN 300 468 5.2.5 and 5.2.6) and ATSC's system time (A/65 6.1).
#include "BroadcastTime.h"
#include "Descriptors.h"
#include "Tables.h"

namespace tunersim::stream::psi {
namespace {

constexpr uint8_t kTdtTableId = 0x70;
constexpr uint8_t kTotTableId = 0x73;
constexpr uint8_t kSttTableId = 0xCD;

}  // namespace

Section Tdt(int64_t unixSeconds) {
    Bytes body;
    PutUtcTime(body, unixSeconds);
    return ShortSection(kTdtTableId, body, false);
}

Section Tot(int64_t unixSeconds) {
    Bytes body;
    PutUtcTime(body, unixSeconds);
    const auto loopLength = PutLength12(body);
    PutLocalTimeOffsetDescriptor(body, unixSeconds);
    PatchLength12(body, loopLength, body.size() - loopLength - 2);
    return ShortSection(kTotTableId, body, true);
}

Section AtscStt(int64_t unixSeconds) {
    Bytes body;
    Put8(body, 0);  // protocol_version
    Put32(body, GpsSeconds(unixSeconds));
    Put8(body, GpsUtcOffset(unixSeconds));
    // daylight_saving: DS_status 0 with reserved bits set, no change announced.
    Put16(body, 0x6000);
    LongHeader header{kSttTableId, 0x0000};
    header.privateIndicator = true;
    return LongSection(header, body);
}

}  // namespace tunersim::stream::psi
