#include "FirmwareImage.h"

#include "HexRecord.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace firmware {
namespace {

using detail::DecodeError;
using detail::HexByte;
using detail::HexBytes;
using detail::Record;

constexpr std::size_t kSection1First = 3;
constexpr std::size_t kSection1End = kSection1First + kRecordsPerSection;  // 4099
constexpr std::size_t kSection2Segment = kSection1End + 1;                // 4100
constexpr std::size_t kSection2First = kSection2Segment + 1;              // 4101
constexpr std::size_t kSection2End = kSection2First + kRecordsPerSection;  // 8197

ValidationResult Fault(std::size_t line, std::string message) { return {false, line, std::move(message)}; }

const char* TypeName(std::uint8_t type) {
    switch (type) {
    case detail::kTypeData: return "a data record";
    case detail::kTypeEndOfFile: return "an end-of-file record";
    case detail::kTypeSegment: return "an extended segment address record";
    case detail::kTypeIdentification: return "an identification record";
    case detail::kTypeTrailer: return "a trailer record";
    default: return "a record of unknown type";
    }
}

std::string Found(const Record& r) { return std::string(", found ") + TypeName(r.type) + " (type " + HexByte(r.type) + ")"; }

std::string DecodeFault(const detail::DecodeResult& d) {
    switch (d.error) {
    case DecodeError::NoStartCode: return "line does not begin with ':'";
    case DecodeError::TooShort: return "line is too short for a record";
    case DecodeError::NotHex: return "character " + std::to_string(d.column) + " is not a hexadecimal digit";
    case DecodeError::LowerCase: return "character " + std::to_string(d.column) + " is a lower-case hexadecimal digit";
    case DecodeError::LengthMismatch: return "byte count " + HexByte(d.record.count) + " does not match the line's length";
    case DecodeError::None: break;
    }
    return "unreadable record";
}

// Walks the lines of an image against the fixed layout.
class Validator {
public:
    Validator(std::string_view image, CatalogueBinding binding) : reader_(image), binding_(binding) {}

    ValidationResult Run() {
        for (std::size_t line = 1; line <= kLineCount; ++line) {
            if (reader_.AtEnd()) {
                return Fault(line, "image ends after line " + std::to_string(line - 1) + "; it must have " +
                                       std::to_string(kLineCount) + " lines");
            }
            const auto text = reader_.Next();
            if (!text.crlf) return Fault(line, "line is not ended by CR LF");
            const detail::DecodeResult decoded = detail::DecodeRecord(text.text, true);
            if (decoded.error != DecodeError::None) return Fault(line, DecodeFault(decoded));
            const Record& r = decoded.record;
            if (!r.ChecksumOk()) {
                return Fault(line, "record checksum is " + HexByte(r.checksum) + ", expected " + HexByte(r.expectedChecksum));
            }
            if (ValidationResult fault = CheckLine(line, r); !fault.ok) return fault;
        }
        if (!reader_.AtEnd()) {
            return Fault(kLineCount + 1, std::to_string(reader_.Remaining()) + " bytes follow the trailer record");
        }
        return {true, 0, "ok"};
    }

private:
    ValidationResult CheckLine(std::size_t line, const Record& r) {
        if (line == 1) return CheckIdentification(r);
        if (line == 2) return CheckSegment(line, r, 1);
        if (line == kSection2Segment) return CheckSegment(line, r, 2);
        if (line == kSection1End) return CheckEndOfFile(line, r, 1);
        if (line == kSection2End) return CheckEndOfFile(line, r, 2);
        if (line == kLineCount) return CheckTrailer(line, r);
        const bool first = line < kSection1End;
        return CheckData(line, r, first ? 1 : 2, line - (first ? kSection1First : kSection2First));
    }

    ValidationResult CheckIdentification(const Record& r) {
        if (r.type != detail::kTypeIdentification) return Fault(1, "expected the identification record (type EF)" + Found(r));
        if (r.count != 4 || r.address != 0) return Fault(1, "identification record must hold 4 bytes at address 0000");
        if (r.data[0] != kIdentificationTag) {
            return Fault(1, "identification byte 0 is " + HexByte(r.data[0]) + ", expected " + HexByte(kIdentificationTag));
        }
        if (binding_ == CatalogueBinding::None) return {true, 0, {}};
        entry_ = FindCatalogueEntry(r.data[1], r.data[2], r.data[3]);
        if (!entry_) {
            return Fault(1, "identification " + HexBytes(r.Data().subspan(1)) + " is no carried tuner (no image " +
                                ImageKey(r.data[1], r.data[2], r.data[3]) + ")");
        }
        return {true, 0, {}};
    }

    ValidationResult CheckSegment(std::size_t line, const Record& r, int section) {
        const std::uint16_t segment = static_cast<std::uint16_t>(0x1000 * section);
        const std::string expected = section == 1 ? ":020000021000EC" : ":020000022000DC";
        if (r.type != detail::kTypeSegment || r.count != 2 || r.address != 0 || r.data[0] != (segment >> 8) ||
            r.data[1] != (segment & 0xFF)) {
            std::string message = "expected " + expected + " opening section " + std::to_string(section);
            if (r.type != detail::kTypeSegment) message += Found(r);
            return Fault(line, message);
        }
        return {true, 0, {}};
    }

    ValidationResult CheckEndOfFile(std::size_t line, const Record& r, int section) {
        if (r.type == detail::kTypeData) {
            return Fault(line, "section " + std::to_string(section) + " has more than " +
                                   std::to_string(kRecordsPerSection) + " data records");
        }
        if (r.type != detail::kTypeEndOfFile || r.count != 0 || r.address != 0) {
            return Fault(line, "expected :00000001FF closing section " + std::to_string(section) + Found(r));
        }
        return {true, 0, {}};
    }

    ValidationResult CheckData(std::size_t line, const Record& r, int section, std::size_t index) {
        if (r.type == detail::kTypeEndOfFile) {
            return Fault(line, "section " + std::to_string(section) + " ends after " + std::to_string(index) +
                                   " data records; it must have " + std::to_string(kRecordsPerSection));
        }
        if (r.type != detail::kTypeData) return Fault(line, "expected a data record" + Found(r));
        const auto offset = static_cast<std::uint16_t>(index * kDataBytesPerRecord);
        if (r.address != offset) {
            char message[96];
            std::snprintf(message, sizeof message, "data record has offset %04X, expected %04X", r.address, offset);
            return Fault(line, message);
        }
        if (r.count != kDataBytesPerRecord) {
            return Fault(line, "data record holds " + std::to_string(r.count) + " bytes, expected 16");
        }
        integrity_ = Crc32(r.Data(), integrity_);
        if (line == kVersionRecordLine && entry_ && !std::equal(r.data.begin(), r.data.begin() + 6, std::begin(entry_->versionBytes))) {
            return Fault(line, "version record bytes 0..5 are " + HexBytes(r.Data().first(6)) + "; image " + entry_->key +
                                   " must carry " + HexBytes(entry_->versionBytes));
        }
        return {true, 0, {}};
    }

    ValidationResult CheckTrailer(std::size_t line, const Record& r) {
        if (r.type != detail::kTypeTrailer) return Fault(line, "expected the trailer record (type FF)" + Found(r));
        if (r.count != 10 || r.address != 0) return Fault(line, "trailer record must hold 10 bytes at address 0000");
        if (!std::equal(std::begin(kTrailerTail), std::end(kTrailerTail), r.data.begin() + 4)) {
            return Fault(line, "trailer bytes 4..9 are " + HexBytes(r.Data().subspan(4)) + ", expected " + HexBytes(kTrailerTail));
        }
        const std::uint32_t stored = static_cast<std::uint32_t>(r.data[0]) | static_cast<std::uint32_t>(r.data[1]) << 8 |
                                     static_cast<std::uint32_t>(r.data[2]) << 16 | static_cast<std::uint32_t>(r.data[3]) << 24;
        if (stored != integrity_) {
            char message[96];
            std::snprintf(message, sizeof message, "integrity value is %08X, the data give %08X",
                          static_cast<unsigned>(stored), static_cast<unsigned>(integrity_));
            return Fault(line, message);
        }
        return {true, 0, {}};
    }

    detail::LineReader reader_;
    CatalogueBinding binding_;
    const CatalogueEntry* entry_ = nullptr;  // the identified carried image, when bound
    std::uint32_t integrity_ = 0;
};

}  // namespace

ValidationResult ValidateImage(std::string_view image, CatalogueBinding binding) {
    return Validator(image, binding).Run();
}

}  // namespace firmware
