#include "FirmwareImage.h"

#include "HexRecord.h"
#include "ImageContent.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace firmware {
namespace detail {
namespace {

std::uint64_t Fnv1a64(std::string_view text) {
    std::uint64_t hash = 0xCBF29CE484222325ull;
    for (char c : text) {
        hash ^= static_cast<std::uint8_t>(c);
        hash *= 0x100000001B3ull;
    }
    return hash;
}

// xorshift64*: cheap, deterministic across compilers, good enough for filler content.
class ContentGenerator {
public:
    explicit ContentGenerator(std::uint64_t seed) : state_(seed ? seed : 0x9E3779B97F4A7C15ull) {}
    std::uint8_t NextByte() {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return static_cast<std::uint8_t>((state_ * 0x2545F4914F6CDD1Dull) >> 56);
    }

private:
    std::uint64_t state_;
};

constexpr std::size_t kVersionRecordIndex = 0x0800 / kDataBytesPerRecord;
constexpr std::uint16_t kSegmentStep = 0x1000;

}  // namespace

ImageContent GenerateContent(const ImageParams& params) {
    ImageContent content;
    content.identification = {kIdentificationTag, params.productLine, params.modelCode, params.hardwareRevision};
    ContentGenerator generator(Fnv1a64(params.seedKey));
    content.sections.resize(2);
    for (std::size_t s = 0; s < content.sections.size(); ++s) {
        auto& records = content.sections[s];
        records.resize(kRecordsPerSection);
        for (std::size_t r = 0; r < kRecordsPerSection; ++r) {
            for (std::size_t b = 0; b < kDataBytesPerRecord; ++b) {
                const bool versionField = s == 0 && r == kVersionRecordIndex && b < 6;
                records[r][b] = versionField ? params.versionBytes[b] : generator.NextByte();
            }
        }
    }
    return content;
}

std::uint32_t IntegrityOf(const ImageContent& content) {
    std::uint32_t crc = 0;
    for (const auto& records : content.sections) {
        for (const DataRecord& record : records) crc = Crc32(record, crc);
    }
    return crc;
}

std::string Render(const ImageContent& content, std::uint32_t integrity) {
    std::string text;
    text.reserve(kImageSize);
    AppendRecord(text, kTypeIdentification, 0, content.identification);
    for (std::size_t s = 0; s < content.sections.size(); ++s) {
        const auto segment = static_cast<std::uint16_t>(kSegmentStep * (s + 1));
        const std::array<std::uint8_t, 2> segmentBytes = {static_cast<std::uint8_t>(segment >> 8),
                                                          static_cast<std::uint8_t>(segment & 0xFF)};
        AppendRecord(text, kTypeSegment, 0, segmentBytes);
        for (std::size_t r = 0; r < content.sections[s].size(); ++r) {
            AppendRecord(text, kTypeData, static_cast<std::uint16_t>(r * kDataBytesPerRecord), content.sections[s][r]);
        }
        AppendRecord(text, kTypeEndOfFile, 0, {});
    }
    std::array<std::uint8_t, 10> trailer{};
    for (int i = 0; i < 4; ++i) trailer[i] = static_cast<std::uint8_t>(integrity >> (8 * i));
    std::copy(std::begin(kTrailerTail), std::end(kTrailerTail), trailer.begin() + 4);
    AppendRecord(text, kTypeTrailer, 0, trailer);
    if (text.size() < kImageSize) text.append(kImageSize - text.size(), '\0');
    return text;
}

}  // namespace detail

ImageParams ParamsFor(const CatalogueEntry& entry) {
    ImageParams params;
    params.seedKey = entry.key;
    params.productLine = entry.productLine;
    params.modelCode = entry.modelCode;
    params.hardwareRevision = entry.hardwareRevision;
    std::copy(std::begin(entry.versionBytes), std::end(entry.versionBytes), params.versionBytes);
    return params;
}

std::string BuildImage(const ImageParams& params) {
    const detail::ImageContent content = detail::GenerateContent(params);
    return detail::Render(content, detail::IntegrityOf(content));
}

std::string BuildImage(const CatalogueEntry& entry) { return BuildImage(ParamsFor(entry)); }

namespace {

constexpr DamagedVariant kVariants[] = {
    {Damage::BadChecksum, "damaged_bad_checksum.hex", kBadChecksumLine, kTunerBadCrc},
    {Damage::MissingSection, "damaged_missing_section.hex", 4100, kTunerBadSectionCount},
    {Damage::ShortSection, "damaged_short_section.hex", 8196, kTunerBadRecordCount},
    {Damage::WrongIntegrity, "damaged_wrong_integrity.hex", kLineCount, kTunerBadCrc},
    {Damage::ForeignIdentification, "damaged_foreign_identification.hex", 1, kTunerBadHardware},
};

// Offset of a data line of section 1 (1-based line number) in a complete image: the
// identification line (21 characters), the segment line (17), then 45 per data line.
constexpr std::size_t Section1DataLineStart(std::size_t line) { return 21 + 17 + (line - 3) * 45; }
static_assert(kBadChecksumLine >= 3 && kBadChecksumLine < 3 + kRecordsPerSection, "must be a data line of section 1");
static_assert(Section1DataLineStart(kVersionRecordLine) == kVersionRecordOffset);

}  // namespace

std::span<const DamagedVariant> DamagedVariants() { return kVariants; }

const CatalogueEntry& DamageBase() { return *FindCatalogueEntry("FW_013401"); }

std::string BuildDamagedImage(Damage damage, const CatalogueEntry& base) {
    detail::ImageContent content = detail::GenerateContent(ParamsFor(base));
    switch (damage) {
    case Damage::BadChecksum: {
        std::string text = detail::Render(content, detail::IntegrityOf(content));
        // The checksum is the last two digits before CR LF of the 45-character data line.
        const std::size_t at = Section1DataLineStart(kBadChecksumLine) + 41;
        const auto stored = static_cast<std::uint8_t>(std::stoi(text.substr(at, 2), nullptr, 16));
        const std::string wrong = detail::HexByte(static_cast<std::uint8_t>(stored + 1));
        text.replace(at, 2, wrong);
        return text;
    }
    case Damage::MissingSection:
        content.sections.pop_back();
        return detail::Render(content, detail::IntegrityOf(content));
    case Damage::ShortSection:
        content.sections.back().pop_back();
        return detail::Render(content, detail::IntegrityOf(content));
    case Damage::WrongIntegrity:
        return detail::Render(content, detail::IntegrityOf(content) ^ 0x00010000u);
    case Damage::ForeignIdentification:
        content.identification[2] = kForeignModelCode;
        return detail::Render(content, detail::IntegrityOf(content));
    }
    throw std::invalid_argument("unknown damage");
}

}  // namespace firmware
