// Intel-HEX text as any file may hold it. Properties: the line reader gives back every
// byte of the text exactly once, with the terminators it reports; a line that decodes
// is as long as its byte count says, decodes alike when lower case is allowed, and
// encoding its record again gives the line itself (in upper case) when its checksum
// holds.
#include "FuzzSupport.h"
#include "HexRecord.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace {

using firmware::detail::DecodeError;
using firmware::detail::DecodeRecord;

std::string Upper(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return out;
}

void CheckLine(std::string_view line) {
    const auto strict = DecodeRecord(line, true);
    const auto lenient = DecodeRecord(line, false);
    if (strict.error == DecodeError::None) {
        FUZZ_REQUIRE(lenient.error == DecodeError::None, "what upper case allows, either case allows");
        FUZZ_REQUIRE(lenient.record.Data().size() == strict.record.Data().size() &&
                         std::equal(lenient.record.Data().begin(), lenient.record.Data().end(), strict.record.Data().begin()),
                     "and it decodes alike");
    }
    if (lenient.error != DecodeError::None) {
        if (lenient.error == DecodeError::NotHex) {
            FUZZ_REQUIRE(lenient.column > 0 && lenient.column < line.size() && !std::isxdigit(static_cast<unsigned char>(line[lenient.column])),
                         "the column names a character that is no digit");
        }
        return;
    }
    const auto& record = lenient.record;
    FUZZ_REQUIRE(line.size() == 11 + 2 * std::size_t{record.count}, "a decoded line is as long as its count says");
    std::string encoded;
    firmware::detail::AppendRecord(encoded, record.type, record.address, record.Data());
    FUZZ_REQUIRE(encoded.size() == line.size() + 2 && encoded.substr(line.size()) == "\r\n", "one line with CR LF");
    if (record.ChecksumOk()) {
        FUZZ_REQUIRE(encoded.substr(0, line.size()) == Upper(line), "a record with a good checksum encodes to its line");
    } else {
        FUZZ_REQUIRE(encoded.substr(0, line.size() - 2) == Upper(line.substr(0, line.size() - 2)),
                     "only the checksum differs");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = fuzz::Text(data, size);
    firmware::detail::LineReader reader(text);
    std::string rebuilt;
    while (!reader.AtEnd()) {
        const std::size_t before = reader.Position();
        const auto line = reader.Next();
        FUZZ_REQUIRE(reader.Position() > before, "every line consumes text");
        FUZZ_REQUIRE(!(line.crlf && line.lf), "one kind of terminator");
        rebuilt.append(line.text);
        rebuilt.append(line.crlf ? "\r\n" : line.lf ? "\n" : "");
        CheckLine(line.text);
    }
    FUZZ_REQUIRE(rebuilt == text, "the lines and their terminators make up the text");
    return 0;
}
