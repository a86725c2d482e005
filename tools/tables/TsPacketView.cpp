#include "TsPacketView.h"

namespace talvex::tables {

PacketView ReadPacket(const std::uint8_t* p) {
    PacketView v;
    if (p[0] != kSyncByte) return v;
    v.transportError = (p[1] & 0x80) != 0;
    v.unitStart = (p[1] & 0x40) != 0;
    v.pid = static_cast<std::uint16_t>((p[1] & 0x1F) << 8 | p[2]);
    v.continuity = p[3] & 0x0F;
    const unsigned control = p[3] >> 4 & 0x03;
    if (control == 0) return v;  // reserved: nothing in the packet can be read
    std::size_t offset = 4;
    if (control & 0x02) {
        const std::size_t length = p[4];
        // With a payload the field leaves room for at least one byte of it (<= 182),
        // without one it fills the packet (183).
        if (length > (control == 3 ? 182u : 183u)) return v;
        if (length > 0) v.discontinuity = (p[5] & 0x80) != 0;
        offset = 5 + length;
    }
    v.valid = true;
    v.hasPayload = (control & 0x01) != 0;
    if (v.hasPayload) {
        v.payload = p + offset;
        v.payloadSize = kPacketSize - offset;
    }
    return v;
}

}  // namespace talvex::tables
