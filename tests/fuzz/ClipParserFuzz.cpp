// Content clips as any file in the content folder may hold them: the first byte chooses
// the parser (its value mod 4: MPEG-2 video, H.264, MPEG-1 Layer II, AC-3), the rest is
// the stream. Properties: bad input is refused only with std::runtime_error (anything
// else escaping would end the filter without its message); an accepted clip has units,
// each non-empty, inside the bytes, in order and apart, of a positive duration; the
// clip made of the same bytes agrees, and its PES and TS packets carry every unit whole.
#include "FuzzSupport.h"
#include "es/ClipParsers.h"
#include "es/ElementaryStreams.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace {

using namespace tunersim;

constexpr sky::StreamType kTypes[] = {sky::StreamType::Mpeg2Video, sky::StreamType::H264Video,
                                      sky::StreamType::Mpeg1Layer2Audio, sky::StreamType::Ac3Audio};

stream::ParsedClip Parse(sky::StreamType type, std::span<const uint8_t> bytes) {
    switch (type) {
    case sky::StreamType::Mpeg2Video: return stream::ParseMpeg2Video(bytes);
    case sky::StreamType::H264Video: return stream::ParseH264(bytes);
    case sky::StreamType::Mpeg1Layer2Audio: return stream::ParseMpegAudioLayer2(bytes);
    case sky::StreamType::Ac3Audio: return stream::ParseAc3(bytes);
    }
    return {};
}

void CheckPackets(const stream::Clip& clip) {
    stream::ElementaryPlayer player(clip, (uint64_t{1} << 33) - 1);
    std::vector<uint8_t> pes;
    std::vector<stream::Packet> packets;
    const std::size_t rounds = std::min<std::size_t>(clip.Count() + 1, 8);
    for (std::size_t n = 0; n < rounds; ++n) {
        const auto unit = clip.Unit(n % clip.Count());
        player.NextPes(pes);
        FUZZ_REQUIRE(pes.size() == stream::kPesHeaderSize + unit.size(), "a PES packet holds its unit whole");
        FUZZ_REQUIRE(std::equal(unit.begin(), unit.end(), pes.begin() + stream::kPesHeaderSize), "and unchanged");
        packets.clear();
        stream::PacketizePes(0x0100, pes, packets);
        FUZZ_REQUIRE(packets.size() == stream::PacketsForPes(pes.size()), "as many TS packets as said");
        std::size_t carried = 0;
        for (const auto& p : packets) {
            const std::size_t offset = (p[3] & 0x20) ? 5u + p[4] : 4u;
            FUZZ_REQUIRE(p[0] == stream::kSyncByte && offset <= stream::kPacketSize, "a packet's payload lies in it");
            FUZZ_REQUIRE(std::equal(p.begin() + static_cast<std::ptrdiff_t>(offset), p.end(),
                                    pes.begin() + static_cast<std::ptrdiff_t>(carried)),
                         "the TS payloads are the PES packet in order");
            carried += stream::kPacketSize - offset;
        }
        FUZZ_REQUIRE(carried == pes.size(), "and nothing else");
    }
    FUZZ_REQUIRE(player.NextPts() == (uint64_t{1} << 33) - 1 + rounds * clip.UnitDuration90k(), "timestamps run on");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const sky::StreamType type = kTypes[data[0] % 4];
    const std::span<const uint8_t> bytes(data + 1, size - 1);
    stream::ParsedClip parsed;
    try {
        parsed = Parse(type, bytes);
    } catch (const std::runtime_error&) {
        try {
            stream::Clip clip(type, {bytes.begin(), bytes.end()});
        } catch (const std::runtime_error&) {
            return 0;
        }
        FUZZ_REQUIRE(false, "the clip refuses what its parser refuses");
    }
    FUZZ_REQUIRE(!parsed.units.empty(), "an accepted clip has units");
    FUZZ_REQUIRE(parsed.unitDuration90k > 0, "of a positive duration");
    std::size_t end = 0;
    for (const auto& u : parsed.units) {
        FUZZ_REQUIRE(u.size > 0, "no unit is empty");
        FUZZ_REQUIRE(u.offset >= end, "units are in order and do not overlap");
        FUZZ_REQUIRE(u.offset <= bytes.size() && u.size <= bytes.size() - u.offset, "every unit lies within the bytes");
        end = u.offset + u.size;
    }
    const stream::Clip clip(type, {bytes.begin(), bytes.end()});
    FUZZ_REQUIRE(clip.Count() == parsed.units.size() && clip.UnitDuration90k() == parsed.unitDuration90k,
                 "the clip splits alike");
    FUZZ_REQUIRE(clip.LoopDuration90k() == clip.Count() * uint64_t{clip.UnitDuration90k()}, "a loop of whole units");
    FUZZ_REQUIRE(clip.Bitrate() <= uint64_t{bytes.size()} * 8 * 90000, "the bitrate follows from the bytes");
    CheckPackets(clip);
    return 0;
}
