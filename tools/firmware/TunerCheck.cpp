#include "FirmwareImage.h"

#include "HexRecord.h"

#include <algorithm>

namespace firmware {
namespace {

using detail::Record;

// What one pass over the received records finds; the codes are decided afterwards so
// that their order of precedence does not depend on where in the image a fault lies.
struct Findings {
    bool sectionFault = false;
    bool countFault = false;
    bool crcFault = false;
    bool identificationSeen = false;
    bool identificationMatches = false;
    bool trailerSeen = false;
    bool versionSeen = false;
    std::uint8_t version[6] = {};
};

class TunerParser {
public:
    TunerParser(std::uint8_t productLine, std::uint8_t modelCode, std::uint8_t hardwareRevision)
        : device_{kIdentificationTag, productLine, modelCode, hardwareRevision} {}

    Findings Parse(std::string_view image) {
        detail::LineReader reader(image);
        bool first = true;
        while (!reader.AtEnd() && !found_.trailerSeen) {
            const auto line = reader.Next();
            // Tuners accept either case and a bare LF; the layout is the validator's business.
            const detail::DecodeResult decoded = detail::DecodeRecord(line.text, false);
            if (decoded.error != detail::DecodeError::None) {
                Unreadable();
            } else {
                if (!decoded.record.ChecksumOk()) found_.crcFault = true;
                Accept(decoded.record, first);
            }
            first = false;
        }
        if (inSection_) found_.sectionFault = true;
        if (!found_.trailerSeen) found_.crcFault = true;
        if (segmentCount_ != 2 || segments_[0] != 0x1000 || segments_[1] != 0x2000) found_.sectionFault = true;
        return found_;
    }

private:
    // An unreadable line takes the place of a record; inside a section it counts as one
    // of its data records (a flash writer counts slots, not contents).
    void Unreadable() {
        found_.crcFault = true;
        if (inSection_) ++count_;
    }

    void Accept(const Record& r, bool first) {
        switch (r.type) {
        case detail::kTypeIdentification:
            if (first) {
                found_.identificationSeen = true;
                found_.identificationMatches =
                    r.count == 4 && r.address == 0 && std::equal(device_, device_ + 4, r.data.begin());
            } else {
                found_.crcFault = true;
            }
            break;
        case detail::kTypeSegment:
            if (inSection_) found_.sectionFault = true;  // previous section never closed
            if (r.count != 2) found_.crcFault = true;
            if (segmentCount_ < 2) {
                segments_[segmentCount_] = r.count == 2 ? static_cast<std::uint16_t>(r.data[0] << 8 | r.data[1]) : 0;
            }
            ++segmentCount_;
            inSection_ = true;
            count_ = 0;
            break;
        case detail::kTypeData:
            if (!inSection_) {
                found_.sectionFault = true;
                break;
            }
            if (r.count != kDataBytesPerRecord || r.address != count_ * kDataBytesPerRecord) found_.countFault = true;
            ++count_;
            if (count_ > kRecordsPerSection) found_.countFault = true;
            integrity_ = Crc32(r.Data(), integrity_);
            if (segmentCount_ == 1 && segments_[0] == 0x1000 && r.address == 0x0800 && r.count >= 6 &&
                !found_.versionSeen) {
                found_.versionSeen = true;
                std::copy(r.data.begin(), r.data.begin() + 6, found_.version);
            }
            break;
        case detail::kTypeEndOfFile:
            if (!inSection_) {
                found_.sectionFault = true;
                break;
            }
            if (count_ != kRecordsPerSection) found_.countFault = true;
            inSection_ = false;
            break;
        case detail::kTypeTrailer:
            found_.trailerSeen = true;
            if (inSection_) found_.sectionFault = true;
            CheckTrailer(r);
            break;
        default:
            found_.crcFault = true;
            break;
        }
    }

    void CheckTrailer(const Record& r) {
        if (r.count != 10 || !std::equal(std::begin(kTrailerTail), std::end(kTrailerTail), r.data.begin() + 4)) {
            found_.crcFault = true;
            return;
        }
        const std::uint32_t stored = static_cast<std::uint32_t>(r.data[0]) | static_cast<std::uint32_t>(r.data[1]) << 8 |
                                     static_cast<std::uint32_t>(r.data[2]) << 16 | static_cast<std::uint32_t>(r.data[3]) << 24;
        if (stored != integrity_) found_.crcFault = true;
    }

    std::uint8_t device_[4];
    Findings found_;
    std::uint16_t segments_[2] = {};  // bases of the first two sections
    std::size_t segmentCount_ = 0;
    bool inSection_ = false;
    std::size_t count_ = 0;
    std::uint32_t integrity_ = 0;
};

}  // namespace

TunerCheckResult CheckForTuner(std::string_view image, std::uint8_t productLine, std::uint8_t modelCode,
                               std::uint8_t hardwareRevision) noexcept {
    TunerCheckResult result;
    const Findings found = TunerParser(productLine, modelCode, hardwareRevision).Parse(image.substr(0, kImageSize));
    if (found.sectionFault) {
        result.code = kTunerBadSectionCount;
    } else if (found.countFault) {
        result.code = kTunerBadRecordCount;
    } else if (found.crcFault || !found.versionSeen) {
        result.code = kTunerBadCrc;
    } else if (!found.identificationSeen || !found.identificationMatches) {
        result.code = kTunerBadHardware;
    } else {
        result.code = kTunerOk;
        result.major = found.version[0];
        result.minor = found.version[1];
        result.patch = found.version[2];
        result.build = static_cast<std::uint16_t>(found.version[5] << 8 | found.version[4]);
    }
    return result;
}

}  // namespace firmware
