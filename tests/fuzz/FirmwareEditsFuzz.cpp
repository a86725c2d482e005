// Images a few edits away from a carried one: bytes changed, lines dropped, doubled or
// ended by a bare LF, the text cut or lengthened, and on request a record's checksum or
// the trailer's integrity value made to fit again, so that the checks behind the
// checksum tests are reached as well. The input describes the edits; properties in
// ImageProperties.h.
#include "CarriedImages.h"
#include "FirmwareImage.h"
#include "FuzzSupport.h"
#include "HexRecord.h"
#include "ImageProperties.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using firmware::detail::DecodeError;
using firmware::detail::DecodeRecord;
using firmware::detail::LineReader;

struct Line {
    std::size_t begin;  // first character
    std::size_t end;    // one past the terminator
    std::size_t textEnd;  // one past the text, before the terminator
};

std::vector<Line> Lines(const std::string& image) {
    std::vector<Line> lines;
    LineReader reader(image);
    while (!reader.AtEnd()) {
        const std::size_t begin = reader.Position();
        const auto line = reader.Next();
        lines.push_back({begin, reader.Position(), begin + line.text.size()});
    }
    return lines;
}

// Rewrites a decodable line with the checksum that fits its bytes.
void FitChecksum(std::string& image, const Line& line) {
    const auto decoded = DecodeRecord(std::string_view(image).substr(line.begin, line.textEnd - line.begin), false);
    if (decoded.error != DecodeError::None) return;
    std::string encoded;
    firmware::detail::AppendRecord(encoded, decoded.record.type, decoded.record.address, decoded.record.Data());
    encoded.resize(encoded.size() - 2);  // keep the line's own terminator
    image.replace(line.begin, line.textEnd - line.begin, encoded);
}

// Stores the integrity value of the data records in the last trailer record.
void FitIntegrity(std::string& image) {
    std::uint32_t crc = 0;
    const Line* trailer = nullptr;
    const std::vector<Line> lines = Lines(image);
    for (const Line& line : lines) {
        const auto decoded = DecodeRecord(std::string_view(image).substr(line.begin, line.textEnd - line.begin), false);
        if (decoded.error != DecodeError::None) continue;
        if (decoded.record.type == firmware::detail::kTypeData) crc = firmware::Crc32(decoded.record.Data(), crc);
        if (decoded.record.type == firmware::detail::kTypeTrailer && decoded.record.count == 10) trailer = &line;
    }
    if (!trailer) return;
    auto record = DecodeRecord(std::string_view(image).substr(trailer->begin, trailer->textEnd - trailer->begin), false).record;
    for (int i = 0; i < 4; ++i) record.data[i] = static_cast<std::uint8_t>(crc >> (8 * i));
    std::string encoded;
    firmware::detail::AppendRecord(encoded, record.type, record.address, record.Data());
    encoded.resize(encoded.size() - 2);
    image.replace(trailer->begin, trailer->textEnd - trailer->begin, encoded);
}

void Edit(std::string& image, FuzzedDataProvider& input) {
    const std::vector<Line> lines = Lines(image);
    if (lines.empty()) {
        image += input.ConsumeRandomLengthString(64);
        return;
    }
    const Line& line = lines[input.ConsumeIntegralInRange<std::size_t>(0, lines.size() - 1)];
    switch (input.ConsumeIntegralInRange(0, 7)) {
    case 0: {  // one character of a line, often a digit
        const std::size_t at = line.begin + input.ConsumeIntegralInRange<std::size_t>(0, line.end - line.begin - 1);
        image[at] = input.ConsumeBool() ? "0123456789ABCDEFabcdef:"[input.ConsumeIntegralInRange(0, 22)] : input.ConsumeIntegral<char>();
        break;
    }
    case 1: {  // drop some lines
        const Line& last = lines[std::min(lines.size() - 1, static_cast<std::size_t>(&line - lines.data()) +
                                                                 input.ConsumeIntegralInRange<std::size_t>(0, 4))];
        image.erase(line.begin, last.end - line.begin);
        break;
    }
    case 2: {  // a line doubled, or moved elsewhere
        const std::string copy = image.substr(line.begin, line.end - line.begin);
        const Line& where = lines[input.ConsumeIntegralInRange<std::size_t>(0, lines.size() - 1)];
        image.insert(where.begin, copy);
        break;
    }
    case 3: image.resize(input.ConsumeIntegralInRange<std::size_t>(0, image.size())); break;
    case 4: image += input.ConsumeRandomLengthString(64); break;
    case 5: FitChecksum(image, line); break;
    case 6: FitIntegrity(image); break;
    case 7:  // a bare LF
        if (line.end - line.textEnd == 2) image.erase(line.textEnd, 1);
        break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const auto& images = fuzz::CarriedImages();
    std::string image = images[input.ConsumeIntegralInRange<std::size_t>(0, images.size() - 1)];
    const int edits = input.ConsumeIntegralInRange(0, 6);
    for (int i = 0; i < edits; ++i) Edit(image, input);
    fuzz::CheckImage(image);
    return 0;
}
