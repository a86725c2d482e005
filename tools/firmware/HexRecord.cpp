#include "HexRecord.h"

namespace firmware::detail {
namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

// -1 for a character that is no hexadecimal digit.
int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

void AppendHex(std::string& out, std::uint8_t value) {
    out.push_back(kDigits[value >> 4]);
    out.push_back(kDigits[value & 0x0F]);
}

}  // namespace

std::uint8_t RecordChecksum(std::uint8_t count, std::uint16_t address, std::uint8_t type,
                            std::span<const std::uint8_t> data) {
    unsigned sum = count + (address >> 8) + (address & 0xFF) + type;
    for (std::uint8_t b : data) sum += b;
    return static_cast<std::uint8_t>(0x100 - (sum & 0xFF));
}

void AppendRecord(std::string& out, std::uint8_t type, std::uint16_t address, std::span<const std::uint8_t> data) {
    const auto count = static_cast<std::uint8_t>(data.size());
    out.push_back(':');
    AppendHex(out, count);
    AppendHex(out, static_cast<std::uint8_t>(address >> 8));
    AppendHex(out, static_cast<std::uint8_t>(address & 0xFF));
    AppendHex(out, type);
    for (std::uint8_t b : data) AppendHex(out, b);
    AppendHex(out, RecordChecksum(count, address, type, data));
    out += "\r\n";
}

DecodeResult DecodeRecord(std::string_view line, bool requireUpperCase) {
    DecodeResult result;
    if (line.empty() || line[0] != ':') {
        result.error = DecodeError::NoStartCode;
        return result;
    }
    for (std::size_t i = 1; i < line.size(); ++i) {
        const char c = line[i];
        if (DigitValue(c) < 0) {
            result.error = DecodeError::NotHex;
            result.column = i;
            return result;
        }
        if (requireUpperCase && c >= 'a' && c <= 'f') {
            result.error = DecodeError::LowerCase;
            result.column = i;
            return result;
        }
    }
    if (line.size() < 11) {
        result.error = DecodeError::TooShort;
        return result;
    }
    auto byteAt = [&](std::size_t index) {
        const std::size_t at = 1 + 2 * index;
        return static_cast<std::uint8_t>(DigitValue(line[at]) << 4 | DigitValue(line[at + 1]));
    };
    Record& r = result.record;
    r.count = byteAt(0);
    if (line.size() != 11 + 2 * static_cast<std::size_t>(r.count)) {
        result.error = DecodeError::LengthMismatch;
        return result;
    }
    r.address = static_cast<std::uint16_t>(byteAt(1) << 8 | byteAt(2));
    r.type = byteAt(3);
    for (std::size_t i = 0; i < r.count; ++i) r.data[i] = byteAt(4 + i);
    r.checksum = byteAt(4 + r.count);
    r.expectedChecksum = RecordChecksum(r.count, r.address, r.type, r.Data());
    return result;
}

LineReader::Line LineReader::Next() {
    Line line;
    const std::size_t start = pos_;
    const std::size_t nl = text_.find('\n', start);
    std::size_t end = text_.size();
    if (nl == std::string_view::npos) {
        pos_ = text_.size();
    } else {
        end = nl;
        pos_ = nl + 1;
        line.lf = true;
        if (end > start && text_[end - 1] == '\r') {
            --end;
            line.crlf = true;
            line.lf = false;
        }
    }
    line.text = text_.substr(start, end - start);
    return line;
}

std::string HexByte(std::uint8_t value) {
    std::string s;
    AppendHex(s, value);
    return s;
}

std::string HexBytes(std::span<const std::uint8_t> bytes) {
    std::string s;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i) s.push_back(' ');
        AppendHex(s, bytes[i]);
    }
    return s;
}

}  // namespace firmware::detail
