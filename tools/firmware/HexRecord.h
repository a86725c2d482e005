// Intel HEX record encoding and decoding shared by the builder, the validator and the
// tuner-side check. Not part of the public interface.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace firmware::detail {

inline constexpr std::uint8_t kTypeData = 0x00;
inline constexpr std::uint8_t kTypeEndOfFile = 0x01;
inline constexpr std::uint8_t kTypeSegment = 0x02;
inline constexpr std::uint8_t kTypeIdentification = 0xEF;
inline constexpr std::uint8_t kTypeTrailer = 0xFF;

struct Record {
    std::uint8_t count = 0;
    std::uint16_t address = 0;
    std::uint8_t type = 0;
    std::array<std::uint8_t, 255> data{};
    std::uint8_t checksum = 0;          // as stored
    std::uint8_t expectedChecksum = 0;  // as computed from the other bytes

    bool ChecksumOk() const { return checksum == expectedChecksum; }
    std::span<const std::uint8_t> Data() const { return {data.data(), count}; }
};

std::uint8_t RecordChecksum(std::uint8_t count, std::uint16_t address, std::uint8_t type,
                            std::span<const std::uint8_t> data);

// Appends ":" count address type data checksum CR LF, upper case.
void AppendRecord(std::string& out, std::uint8_t type, std::uint16_t address, std::span<const std::uint8_t> data);

enum class DecodeError {
    None,
    NoStartCode,     // first character is not ':'
    TooShort,        // fewer than the 11 characters of an empty record
    NotHex,          // a character that is no hexadecimal digit
    LowerCase,       // a lower-case digit where upper case is required
    LengthMismatch,  // byte count disagrees with the number of digits
};

struct DecodeResult {
    DecodeError error = DecodeError::None;
    std::size_t column = 0;  // 0-based position of the offending character (NotHex, LowerCase)
    Record record;
};

// Decodes one line without its line ending. The checksum is not judged here: compare
// record.checksum with record.expectedChecksum.
DecodeResult DecodeRecord(std::string_view line, bool requireUpperCase);

// Splits a text into lines. `next` is the line without its terminator; `crlf` tells whether
// it was ended by CR LF, `lf` whether by a bare LF (the CR, if any, is not part of `next`).
class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}
    bool AtEnd() const { return pos_ >= text_.size(); }
    std::size_t Position() const { return pos_; }

    struct Line {
        std::string_view text;
        bool crlf = false;
        bool lf = false;
    };
    Line Next();

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

std::string HexByte(std::uint8_t value);
std::string HexBytes(std::span<const std::uint8_t> bytes);  // "02 01 34 01"

}  // namespace firmware::detail
