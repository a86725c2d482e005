// Splits MPEG-1 Layer II and AC-3 audio into frames (see ClipParsers.h).
#include <array>
#include <string>

#include "ClipParsers.h"
#include "ParseSupport.h"

namespace tunersim::stream {
namespace {

using detail::Reject;

// What a frame header says.
struct AudioFrame {
    std::size_t size = 0;
    uint32_t sampleRate = 0;
};

// Frames back to back from the first byte to the last, at one sampling rate of `samples`
// per frame; `readHeader` reads the frame at an offset or throws.
template <typename ReadHeader>
ParsedClip SplitFrames(std::span<const uint8_t> bytes, std::string_view stream, uint32_t samples, ReadHeader readHeader) {
    ParsedClip parsed;
    uint32_t rate = 0;
    for (std::size_t pos = 0; pos < bytes.size();) {
        const AudioFrame frame = readHeader(bytes.subspan(pos), pos);
        if (frame.size > bytes.size() - pos) Reject(stream, "a truncated frame", pos);
        if (rate != 0 && frame.sampleRate != rate) Reject(stream, "the sampling rate changes", pos);
        rate = frame.sampleRate;
        parsed.units.push_back({pos, frame.size});
        pos += frame.size;
    }
    if (parsed.units.empty()) Reject(stream, "no frame");
    parsed.unitDuration90k = detail::WholeTicks(samples, rate);
    if (parsed.unitDuration90k == 0) {
        Reject(stream, "at " + std::to_string(rate) + " Hz a frame lasts no whole number of 90 kHz ticks");
    }
    return parsed;
}

constexpr std::string_view kLayer2 = "not an MPEG-1 Layer II audio stream";
constexpr std::string_view kAc3 = "not an AC-3 stream";

// Layer II bitrates in kbit/s by bitrate_index (11172-3 table 2.4.2.3); 0 is free format.
constexpr std::array<uint32_t, 15> kLayer2Kbps{0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
constexpr std::array<uint32_t, 3> kLayer2Rates{44100, 48000, 32000};

AudioFrame ReadLayer2Header(std::span<const uint8_t> at, std::size_t pos) {
    if (at.size() < 4) Reject(kLayer2, "a truncated frame header", pos);
    if (at[0] != 0xFF || (at[1] & 0xE0) != 0xE0) Reject(kLayer2, "no frame sync", pos);
    const unsigned version = (at[1] >> 3) & 0x03;
    const unsigned layer = (at[1] >> 1) & 0x03;
    if (version != 3) Reject(kLayer2, "not MPEG-1 audio (ID or version bits)", pos);
    if (layer != 2) Reject(kLayer2, "not Layer II", pos);
    const unsigned bitrateIndex = at[2] >> 4;
    const unsigned rateIndex = (at[2] >> 2) & 0x03;
    const unsigned padding = (at[2] >> 1) & 0x01;
    if (bitrateIndex == 0) Reject(kLayer2, "a free-format frame", pos);
    if (bitrateIndex >= kLayer2Kbps.size()) Reject(kLayer2, "bitrate_index 15", pos);
    if (rateIndex >= kLayer2Rates.size()) Reject(kLayer2, "sampling_frequency 3", pos);
    const uint32_t rate = kLayer2Rates[rateIndex];
    return {144000 * kLayer2Kbps[bitrateIndex] / rate + padding, rate};
}

// AC-3 bitrates in kbit/s by frmsizecod / 2 (A/52 table 5.18).
constexpr std::array<uint32_t, 19> kAc3Kbps{32, 40, 48, 56, 64, 80, 96, 112, 128, 160,
                                            192, 224, 256, 320, 384, 448, 512, 576, 640};
constexpr std::array<uint32_t, 3> kAc3Rates{48000, 44100, 32000};

AudioFrame ReadAc3Header(std::span<const uint8_t> at, std::size_t pos) {
    if (at.size() < 6) Reject(kAc3, "a truncated sync frame header", pos);
    if (at[0] != 0x0B || at[1] != 0x77) Reject(kAc3, "no sync word", pos);
    const unsigned fscod = at[4] >> 6;
    const unsigned frmsizecod = at[4] & 0x3F;
    const unsigned bsid = at[5] >> 3;
    if (bsid > 8) Reject(kAc3, "bsid " + std::to_string(bsid) + (bsid > 10 ? " (E-AC-3)" : ""), pos);
    if (fscod == 3) Reject(kAc3, "fscod 3", pos);
    if (frmsizecod / 2 >= kAc3Kbps.size()) Reject(kAc3, "frmsizecod " + std::to_string(frmsizecod), pos);
    const uint32_t rate = kAc3Rates[fscod];
    // 1536 samples at the bitrate, in 16-bit words; at 44.1 kHz the odd codes add one word.
    const uint32_t words = kAc3Kbps[frmsizecod / 2] * 1000 * 1536 / (rate * 16) + (fscod == 1 ? (frmsizecod & 1) : 0);
    return {2 * std::size_t{words}, rate};
}

}  // namespace

ParsedClip ParseMpegAudioLayer2(std::span<const uint8_t> bytes) {
    return SplitFrames(bytes, kLayer2, 1152, ReadLayer2Header);
}

ParsedClip ParseAc3(std::span<const uint8_t> bytes) { return SplitFrames(bytes, kAc3, 1536, ReadAc3Header); }

}  // namespace tunersim::stream
