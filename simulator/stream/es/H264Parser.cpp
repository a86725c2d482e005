// Splits an H.264 Annex B byte stream into access units (see ClipParsers.h).
#include <string>

#include "BitReader.h"
#include "ClipParsers.h"
#include "ParseSupport.h"

namespace tunersim::stream {
namespace {

using detail::BitReader;
using detail::BitsExhausted;
using detail::FindStartCode;
using detail::Reject;

constexpr std::string_view kStream = "not a loopable H.264 stream";

enum : uint8_t {
    kSlice = 1,
    kIdrSlice = 5,
    kSei = 6,
    kSps = 7,
    kPps = 8,
    kDelimiter = 9,
    kEndOfSequence = 10,
    kEndOfStream = 11,
    kFiller = 12,
    kSpsExtension = 13,
    kAuxiliarySlice = 19,
};

// Profiles whose SPS carries chroma format, bit depths and scaling matrices (7.3.2.1.1).
bool HasChromaFields(uint32_t profile) {
    switch (profile) {
    case 100: case 110: case 122: case 244: case 44: case 83: case 86: case 118: case 128: case 138: case 139:
    case 134: case 135: return true;
    default: return false;
    }
}

void SkipScalingList(BitReader& r, int size) {
    int64_t last = 8, next = 8;
    for (int j = 0; j < size; ++j) {
        if (next != 0) {
            const int64_t delta = r.Se();
            if (delta < -128 || delta > 127) throw BitsExhausted();
            next = (last + delta + 256) % 256;
        }
        last = next == 0 ? last : next;
    }
}

// One frame's duration from the SPS's VUI timing, in 90 kHz ticks (0: not whole ticks).
// Throws std::runtime_error for what the clips cannot be.
uint32_t FrameDurationFromSps(std::span<const uint8_t> rbsp) {
    BitReader r(rbsp);
    const uint32_t profile = r.Bits(8);
    r.Bits(16);  // constraint flags, level
    r.Ue();      // seq_parameter_set_id
    if (HasChromaFields(profile)) {
        const uint32_t chroma = r.Ue();
        if (chroma > 3) throw BitsExhausted();
        if (chroma == 3) r.Flag();  // separate_colour_plane_flag
        r.Ue();                      // bit depths
        r.Ue();
        r.Flag();  // qpprime_y_zero_transform_bypass_flag
        if (r.Flag()) {
            for (int i = 0; i < (chroma == 3 ? 12 : 8); ++i) {
                if (r.Flag()) SkipScalingList(r, i < 6 ? 16 : 64);
            }
        }
    }
    r.Ue();  // log2_max_frame_num_minus4
    const uint32_t pocType = r.Ue();
    if (pocType == 0) {
        r.Ue();
    } else if (pocType == 1) {
        r.Flag();
        r.Se();
        r.Se();
        const uint32_t cycle = r.Ue();
        if (cycle > 255) throw BitsExhausted();
        for (uint32_t i = 0; i < cycle; ++i) r.Se();
    } else if (pocType != 2) {
        throw BitsExhausted();
    }
    r.Ue();    // max_num_ref_frames
    r.Flag();  // gaps_in_frame_num_value_allowed_flag
    r.Ue();    // pic_width_in_mbs_minus1
    r.Ue();    // pic_height_in_map_units_minus1
    if (!r.Flag()) throw std::runtime_error("interlaced coding (frame_mbs_only_flag 0)");
    r.Flag();  // direct_8x8_inference_flag
    if (r.Flag()) {
        for (int i = 0; i < 4; ++i) r.Ue();  // frame cropping
    }
    if (!r.Flag()) throw std::runtime_error("no VUI in the SPS (the frame rate is unknown)");
    if (r.Flag()) {  // aspect_ratio_info_present_flag
        if (r.Bits(8) == 255) r.Bits(32);
    }
    if (r.Flag()) r.Flag();  // overscan
    if (r.Flag()) {          // video_signal_type_present_flag
        r.Bits(4);
        if (r.Flag()) r.Bits(24);
    }
    if (r.Flag()) {  // chroma_loc_info_present_flag
        r.Ue();
        r.Ue();
    }
    if (!r.Flag()) throw std::runtime_error("no timing information in the SPS's VUI (the frame rate is unknown)");
    const uint32_t unitsInTick = r.Bits(32);
    const uint32_t timeScale = r.Bits(32);
    // A frame is two field periods of num_units_in_tick / time_scale each.
    return detail::WholeTicks(2 * uint64_t{unitsInTick}, timeScale);
}

class H264Splitter {
public:
    explicit H264Splitter(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    ParsedClip Split() {
        std::size_t pos = detail::FirstStartCode(bytes_, kStream);
        std::size_t prefixBegin = 0;
        while (pos < bytes_.size()) {
            const std::size_t header = pos + 3;
            const std::size_t next = FindStartCode(bytes_, header);
            // Zero bytes before a start code belong to it (zero_byte, trailing_zero_8bits);
            // a NAL unit never ends in one.
            std::size_t end = next;
            while (end > header && bytes_[end - 1] == 0) --end;
            if (end == header) Reject(kStream, "an empty NAL unit", pos);
            OnNalUnit(prefixBegin, header, end);
            prefixBegin = end;
            pos = next;
        }
        if (au_.hasPicture) {
            CloseUnit(bytes_.size());
        } else if (auStart_ < bytes_.size()) {
            Reject(kStream, "NAL units without a picture at the end", auStart_);
        }
        if (parsed_.units.empty()) Reject(kStream, "no picture");
        parsed_.unitDuration90k = duration_;
        return std::move(parsed_);
    }

private:
    struct AccessUnit {
        bool hasPicture = false;
        bool hasIdr = false;
        bool hasSps = false;
        bool hasPps = false;
    };

    // A NAL unit: its start code prefix from `begin`, its header byte at `header`, its
    // last byte before `end`.
    void OnNalUnit(std::size_t begin, std::size_t header, std::size_t end) {
        const uint8_t first = bytes_[header];
        if (first & 0x80) Reject(kStream, "forbidden_zero_bit set", header);
        const uint8_t type = first & 0x1F;
        const auto payload = bytes_.subspan(header + 1, end - header - 1);
        switch (type) {
        case kSlice:
        case kIdrSlice: OnSlice(begin, header, type, payload); break;
        case kSei:
        case kSps:
        case kPps:
        case kDelimiter:
        case kSpsExtension:
        case 16: case 17: case 18:  // reserved: they, too, begin an access unit (7.4.1.2.3)
            if (au_.hasPicture) {
                CloseUnit(begin);
                auStart_ = begin;
            }
            if (type == kSps) OnSps(header, payload);
            if (type == kPps) au_.hasPps = true;
            break;
        case kEndOfSequence:
        case kEndOfStream:
            // The loop goes on: the end stays out of the units.
            if (au_.hasPicture) CloseUnit(begin);
            else if (auStart_ < begin) Reject(kStream, "NAL units without a picture before an end of sequence", auStart_);
            auStart_ = end;
            break;
        case kFiller:
        case kAuxiliarySlice: break;
        default: Reject(kStream, "NAL unit type " + std::to_string(type) + " is not supported", header);
        }
    }

    void OnSlice(std::size_t begin, std::size_t header, uint8_t type, std::span<const uint8_t> payload) {
        uint32_t firstMb = 0, sliceType = 0;
        try {
            detail::Unescape(payload, rbsp_, 16);
            BitReader r(rbsp_);
            firstMb = r.Ue();
            sliceType = r.Ue();
        } catch (const BitsExhausted&) {
            Reject(kStream, "truncated slice header", header);
        }
        if (sliceType > 9) Reject(kStream, "slice_type " + std::to_string(sliceType), header);
        if (sliceType % 5 == 1) Reject(kStream, "a B-slice (decode order would differ from display order)", header);
        if (firstMb == 0 && au_.hasPicture) {
            CloseUnit(begin);
            auStart_ = begin;
        }
        if (duration_ == 0) Reject(kStream, "a slice before the first SPS", header);
        au_.hasPicture = true;
        au_.hasIdr = au_.hasIdr || type == kIdrSlice;
    }

    void OnSps(std::size_t header, std::span<const uint8_t> payload) {
        uint32_t duration = 0;
        try {
            detail::Unescape(payload, rbsp_, payload.size());
            duration = FrameDurationFromSps(rbsp_);
        } catch (const BitsExhausted&) {
            Reject(kStream, "a malformed SPS", header);
        } catch (const std::runtime_error& e) {
            Reject(kStream, e.what(), header);
        }
        if (duration == 0) Reject(kStream, "its frame rate gives no whole number of 90 kHz ticks per frame", header);
        if (duration_ != 0 && duration != duration_) Reject(kStream, "the frame rate changes", header);
        duration_ = duration;
        au_.hasSps = true;
    }

    void CloseUnit(std::size_t end) {
        if (parsed_.units.empty() && !(au_.hasSps && au_.hasPps && au_.hasIdr)) {
            Reject(kStream, "the first access unit lacks an SPS, a PPS or an IDR picture (the loop's start would not decode)",
                   auStart_);
        }
        parsed_.units.push_back({auStart_, end - auStart_});
        au_ = {};
    }

    std::span<const uint8_t> bytes_;
    ParsedClip parsed_;
    std::vector<uint8_t> rbsp_;
    AccessUnit au_;
    std::size_t auStart_ = 0;
    uint32_t duration_ = 0;
};

}  // namespace

ParsedClip ParseH264(std::span<const uint8_t> bytes) { return H264Splitter(bytes).Split(); }

}  // namespace tunersim::stream
