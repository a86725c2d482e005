// Splits MPEG-2 video into pictures (see ClipParsers.h).
#include <array>

#include "ClipParsers.h"
#include "ParseSupport.h"

namespace tunersim::stream {
namespace {

using detail::FindStartCode;
using detail::Reject;

constexpr std::string_view kStream = "not a loopable MPEG-2 video stream";

enum : uint8_t {
    kPictureStart = 0x00,
    kLastSliceStart = 0xAF,
    kUserData = 0xB2,
    kSequenceHeader = 0xB3,
    kExtension = 0xB5,
    kSequenceEnd = 0xB7,
    kGroupStart = 0xB8,
};
enum : uint8_t { kSequenceExtension = 1, kPictureCodingExtension = 8 };
enum : uint8_t { kIntraCoded = 1, kPredictiveCoded = 2 };

// frame_rate_code 1..8 (13818-2 table 6-4) as numerator / denominator in frames per second.
constexpr std::array<std::array<uint32_t, 2>, 9> kFrameRates{{
    {0, 0}, {24000, 1001}, {24, 1}, {25, 1}, {30000, 1001}, {30, 1}, {50, 1}, {60000, 1001}, {60, 1}}};

class Mpeg2Splitter {
public:
    explicit Mpeg2Splitter(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    ParsedClip Split() {
        std::size_t pos = detail::FirstStartCode(bytes_, kStream);
        unitStart_ = pos;
        while (pos < bytes_.size()) {
            const std::size_t next = FindStartCode(bytes_, pos + 3);
            OnStartCode(pos, next);
            pos = next;
        }
        if (havePicture_) {
            CloseUnit(bytes_.size());
        } else if (unitStart_ < bytes_.size()) {
            Reject(kStream, "headers without a picture at the end", unitStart_);
        }
        if (parsed_.units.empty()) Reject(kStream, "no picture");
        const auto& rate = kFrameRates[frameRateCode_];
        parsed_.unitDuration90k = detail::WholeTicks(uint64_t{rate[1]} * (rateExtensionD_ + 1),
                                                     uint64_t{rate[0]} * (rateExtensionN_ + 1));
        if (parsed_.unitDuration90k == 0) {
            Reject(kStream, "its frame rate gives no whole number of 90 kHz ticks per frame");
        }
        return std::move(parsed_);
    }

private:
    // The start code at `pos`, its data up to `end`.
    void OnStartCode(std::size_t pos, std::size_t end) {
        if (pos + 4 > end) Reject(kStream, "truncated start code", pos);
        const uint8_t code = bytes_[pos + 3];
        const std::span<const uint8_t> data = bytes_.subspan(pos + 4, end - pos - 4);
        if (expectSequenceExtension_ && !(code == kExtension && !data.empty() && data[0] >> 4 == kSequenceExtension)) {
            Reject(kStream, "a sequence header without a sequence extension (MPEG-1 video?)", pos);
        }
        if ((code == kSequenceHeader || code == kGroupStart || code == kPictureStart) && havePicture_) {
            CloseUnit(pos);
            unitStart_ = pos;
        }
        switch (code) {
        case kPictureStart: OnPicture(pos, data); break;
        case kSequenceHeader: OnSequenceHeader(pos, data); break;
        case kExtension: OnExtension(pos, data); break;
        case kSequenceEnd:
            // The loop goes on: the end code stays out of the units, whatever follows it
            // begins the next one.
            if (havePicture_) CloseUnit(pos);
            else if (unitStart_ < pos) Reject(kStream, "headers without a picture before a sequence end", unitStart_);
            for (std::size_t i = 0; i < data.size(); ++i) {
                if (data[i] != 0) Reject(kStream, "data after a sequence end code", pos + 4 + i);
            }
            unitStart_ = end;
            break;
        case kGroupStart:
        case kUserData: break;
        default:
            if (code > kPictureStart && code <= kLastSliceStart) {
                if (!havePicture_) Reject(kStream, "a slice outside a picture", pos);
                break;
            }
            Reject(kStream, "start code " + Hex(code) + " has no place in video", pos);
        }
    }

    void OnSequenceHeader(std::size_t pos, std::span<const uint8_t> data) {
        if (data.size() < 8) Reject(kStream, "truncated sequence header", pos);
        const uint8_t code = data[3] & 0x0F;
        if (code == 0 || code >= kFrameRates.size()) Reject(kStream, "frame_rate_code " + std::to_string(code), pos);
        if (frameRateCode_ != 0 && code != frameRateCode_) Reject(kStream, "the frame rate changes", pos);
        frameRateCode_ = code;
        expectSequenceExtension_ = true;
        if (parsed_.units.empty() && !havePicture_) sequenceFirst_ = unitStart_ == pos;
    }

    void OnExtension(std::size_t pos, std::span<const uint8_t> data) {
        if (data.empty()) Reject(kStream, "truncated extension", pos);
        const uint8_t id = data[0] >> 4;
        if (id == kSequenceExtension) {
            if (!expectSequenceExtension_) Reject(kStream, "a sequence extension without a sequence header", pos);
            if (data.size() < 6) Reject(kStream, "truncated sequence extension", pos);
            const uint8_t n = (data[5] >> 5) & 0x03;
            const uint8_t d = data[5] & 0x1F;
            if (haveRateExtension_ && (n != rateExtensionN_ || d != rateExtensionD_)) {
                Reject(kStream, "the frame rate changes", pos);
            }
            rateExtensionN_ = n;
            rateExtensionD_ = d;
            haveRateExtension_ = true;
            expectSequenceExtension_ = false;
        } else if (id == kPictureCodingExtension) {
            if (!havePicture_) Reject(kStream, "a picture coding extension outside a picture", pos);
            if (data.size() < 4) Reject(kStream, "truncated picture coding extension", pos);
            const uint8_t structure = data[2] & 0x03;
            const bool repeatFirstField = (data[3] & 0x02) != 0;
            if (structure != 3) Reject(kStream, "field pictures (units would last half a frame)", pos);
            if (repeatFirstField) Reject(kStream, "repeat_first_field (units of unequal duration)", pos);
        }
    }

    void OnPicture(std::size_t pos, std::span<const uint8_t> data) {
        if (frameRateCode_ == 0) Reject(kStream, "a picture before the first sequence header", pos);
        if (data.size() < 2) Reject(kStream, "truncated picture header", pos);
        const uint8_t codingType = (data[1] >> 3) & 0x07;
        if (codingType != kIntraCoded && codingType != kPredictiveCoded) {
            Reject(kStream,
                   codingType == 3 ? "a B-picture (decode order would differ from display order)"
                                   : "picture_coding_type " + std::to_string(codingType),
                   pos);
        }
        if (parsed_.units.empty() && (!sequenceFirst_ || codingType != kIntraCoded)) {
            Reject(kStream, "the first picture is no I-picture behind a sequence header (the loop's start would not decode)",
                   pos);
        }
        havePicture_ = true;
    }

    void CloseUnit(std::size_t end) {
        parsed_.units.push_back({unitStart_, end - unitStart_});
        havePicture_ = false;
    }

    static std::string Hex(uint8_t code) {
        static constexpr char kDigits[] = "0123456789ABCDEF";
        return std::string("0x") + kDigits[code >> 4] + kDigits[code & 0x0F];
    }

    std::span<const uint8_t> bytes_;
    ParsedClip parsed_;
    std::size_t unitStart_ = 0;
    bool havePicture_ = false;
    bool sequenceFirst_ = false;
    bool expectSequenceExtension_ = false;
    uint8_t frameRateCode_ = 0;
    bool haveRateExtension_ = false;
    uint8_t rateExtensionN_ = 0;
    uint8_t rateExtensionD_ = 0;
};

}  // namespace

ParsedClip ParseMpeg2Video(std::span<const uint8_t> bytes) { return Mpeg2Splitter(bytes).Split(); }

}  // namespace tunersim::stream
