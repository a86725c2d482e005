// Firmware images of the tuners: an Intel HEX text of exactly 368754 bytes.
//
// Layout (line numbers from 1, every line ended by CR LF, hex digits upper case):
//   1          hardware identification ":040000EF" 02 <line> <model> <revision> <checksum>
//   2          ":020000021000EC"  section 1, base 0x10000
//   3..4098    4096 data records of 16 bytes, offsets 0x0000..0xFFF0
//   4099       ":00000001FF"
//   4100       ":020000022000DC"  section 2, base 0x20000
//   4101..8196 4096 data records of 16 bytes, offsets 0x0000..0xFFF0
//   8197       ":00000001FF"
//   8198       trailer ":0A0000FF" <integrity b0..b3> 00 12 87 00 00 01 <checksum>
//
// The version record is the data record at offset 0x0800 of section 1 (address 0x10800,
// line 131, first character at offset 5798): bytes 0..2 release numbers, 3 = 00,
// 4 build low, 5 build high, 6..15 content.
//
// Integrity value: the standard CRC-32 (reflected polynomial 0xEDB88320, initial value
// 0xFFFFFFFF, final XOR 0xFFFFFFFF) over the data bytes of every data record in the order
// the records appear in the text: section 1 offsets 0x0000..0xFFF0, then section 2 in the
// same order, 16 bytes per record, 131072 bytes for a complete image. Neither the
// identification record nor the trailer is covered. It is stored in trailer bytes 0..3,
// least significant byte first.
//
// Firmware content: every data byte outside the version record's bytes 0..5 comes from a
// xorshift64* generator seeded with the 64-bit FNV-1a hash of the image's key
// ("FW_013401"), one generator output per byte (its most significant byte), in text order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace firmware {

inline constexpr std::size_t kImageSize = 368754;
inline constexpr std::size_t kLineCount = 8198;
inline constexpr std::size_t kRecordsPerSection = 4096;
inline constexpr std::size_t kDataBytesPerRecord = 16;
inline constexpr std::size_t kVersionRecordLine = 131;
inline constexpr std::size_t kVersionRecordOffset = 5798;
inline constexpr std::uint8_t kIdentificationTag = 0x02;
inline constexpr std::uint8_t kTrailerTail[6] = {0x00, 0x12, 0x87, 0x00, 0x00, 0x01};

// One row of the table of carried images.
struct CatalogueEntry {
    const char* key;              // "FW_%02X%02X%02X" of the three identification bytes
    std::uint16_t resourceId;     // id of the "UPDATES" resource in the update program
    std::uint8_t productLine;
    std::uint8_t modelCode;
    std::uint8_t hardwareRevision;
    std::uint8_t versionBytes[6]; // version record bytes 0..5 as stored in the image
    const char* releaseText;      // "Release %d.%d.%d Build %d"
    const char* versionText;      // "Ver. %d.%d.%d.%d"
    const char* model;            // name under which the About list shows the image

    std::uint16_t Build() const { return static_cast<std::uint16_t>(versionBytes[5] << 8 | versionBytes[4]); }
};

// The thirteen carried images, in the table's order.
std::span<const CatalogueEntry> Catalogue();
// Exact, case-sensitive key lookup; nullptr when the key is not carried.
const CatalogueEntry* FindCatalogueEntry(std::string_view key);
const CatalogueEntry* FindCatalogueEntry(std::uint8_t productLine, std::uint8_t modelCode,
                                         std::uint8_t hardwareRevision);
// "FW_%02X%02X%02X".
std::string ImageKey(std::uint8_t productLine, std::uint8_t modelCode, std::uint8_t hardwareRevision);
// "FW_013401" -> "FW_013401.hex".
std::string ImageFileName(const CatalogueEntry& entry);

// CRC-32 as used for the integrity value; `crc` continues an earlier run.
std::uint32_t Crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc = 0);

// What an image is built from. `seedKey` seeds the content generator.
struct ImageParams {
    std::string seedKey;
    std::uint8_t productLine = 0;
    std::uint8_t modelCode = 0;
    std::uint8_t hardwareRevision = 0;
    std::uint8_t versionBytes[6] = {};
};
ImageParams ParamsFor(const CatalogueEntry& entry);

// A well-formed image of exactly kImageSize bytes.
std::string BuildImage(const ImageParams& params);
std::string BuildImage(const CatalogueEntry& entry);

// Damaged variants for tests. Each is exactly kImageSize bytes: a variant whose text is
// shorter than a complete image is padded after its last CR LF with NUL bytes, which no
// record contains, so the padding can never be read as a record.
enum class Damage {
    BadChecksum,            // checksum of the data record on line kBadChecksumLine is off by one
    MissingSection,         // section 2 (lines 4100..8197) left out; the trailer follows line 4099
    ShortSection,           // last data record of section 2 left out: 4095 records
    WrongIntegrity,         // trailer bytes 0..3 do not match the data (record checksum correct)
    ForeignIdentification,  // identification of a tuner that has no image (01 37 01)
};
inline constexpr std::size_t kBadChecksumLine = 2050;
inline constexpr std::uint8_t kForeignModelCode = 0x37;

struct DamagedVariant {
    Damage damage;
    const char* fileName;    // "damaged_bad_checksum.hex", ...
    std::size_t faultLine;   // the line at which ValidateImage reports the fault
    std::uint8_t tunerCode;  // what CheckForTuner reports for the base entry's tuner
};
std::span<const DamagedVariant> DamagedVariants();
// The catalogue entry the damaged variants are derived from ("FW_013401").
const CatalogueEntry& DamageBase();
std::string BuildDamagedImage(Damage damage, const CatalogueEntry& base = DamageBase());

// First fault found in an image, in line order. `line` is 0 when ok is true.
struct ValidationResult {
    bool ok = false;
    std::size_t line = 0;
    std::string message;
};
// Whether an image must be one of the carried ones.
enum class CatalogueBinding {
    Required,  // the identification is a catalogue tuner whose version bytes the image carries
    None,      // any identification and release (an image from elsewhere, checked for its form)
};
// Checks the exact layout above, every record checksum, the trailer's constant bytes and
// integrity value, and, when bound to the catalogue, that the identification is a
// catalogue tuner whose version record bytes 0..5 the image carries.
ValidationResult ValidateImage(std::string_view image, CatalogueBinding binding = CatalogueBinding::Required);

// Failure codes as a tuner reports them in the update status.
enum TunerCode : std::uint8_t {
    kTunerOk = 0,
    kTunerBadSectionCount = 2,   // not exactly two sections 0x1000 and 0x2000, each closed
    kTunerBadRecordCount = 4,    // a section without 4096 consecutive 16-byte records
    kTunerBadCrc = 5,            // a record checksum, an unreadable record, the trailer or integrity value
    kTunerBadHardware = 9,       // identification record missing or not this device's
};

struct TunerCheckResult {
    std::uint8_t code = kTunerBadCrc;
    // Version record values; set only when code is kTunerOk.
    std::uint8_t major = 0;
    std::uint8_t minor = 0;
    std::uint8_t patch = 0;
    std::uint16_t build = 0;
};

// The check a tuner makes on a received image before programming it. It reads at most
// kImageSize bytes; anything after the trailer record is ignored. The checks run in this
// order and the first failing one decides the code:
//   1. sections (2): every data record lies inside a section opened by an extended segment
//      address record and closed by an end-of-file record; exactly two sections, bases
//      0x1000 then 0x2000;
//   2. counts (4): each section holds exactly 4096 data records of 16 bytes at offsets
//      0x0000, 0x0010, ... 0xFFF0;
//   3. integrity (5): every line is a readable record with a correct checksum, the trailer
//      is present with 10 bytes and its constant bytes 4..9, and its integrity value matches;
//   4. identification (9): the first record is the identification record 02 <line> <model>
//      <revision> of this device.
// Never throws, so that a driver can call it directly.
TunerCheckResult CheckForTuner(std::string_view image, std::uint8_t productLine, std::uint8_t modelCode,
                               std::uint8_t hardwareRevision) noexcept;

}  // namespace firmware
