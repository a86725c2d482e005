#include "TsPacketizer.h"

#include <cstring>

namespace tunersim::stream {

void PacketizePes(uint16_t pid, std::span<const uint8_t> pes, std::vector<Packet>& out) {
    std::size_t index = out.size();
    out.resize(index + PacketsForPes(pes.size()));
    for (std::size_t pos = 0; pos < pes.size(); pos += kPacketPayload, ++index) {
        uint8_t* p = out[index].data();
        const std::size_t left = pes.size() - pos;
        if (left >= kPacketPayload) {
            WriteHeader(p, pid, pos == 0, kPayloadOnly);
            std::memcpy(p + 4, pes.data() + pos, kPacketPayload);
            continue;
        }
        // The last, short piece: an adaptation field takes up the rest of the packet,
        // its length byte alone when one byte is missing, else flags 0 and 0xFF stuffing.
        WriteHeader(p, pid, pos == 0, kAdaptationAndPayload);
        const std::size_t fieldLength = kPacketPayload - 1 - left;
        p[4] = static_cast<uint8_t>(fieldLength);
        if (fieldLength > 0) {
            p[5] = 0x00;
            std::memset(p + 6, 0xFF, fieldLength - 1);
        }
        std::memcpy(p + 5 + fieldLength, pes.data() + pos, left);
    }
}

}  // namespace tunersim::stream
