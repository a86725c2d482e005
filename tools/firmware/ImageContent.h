// The decoded content of an image, from which the builder renders the text. Not part of
// the public interface.
#pragma once

#include "FirmwareImage.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace firmware::detail {

using DataRecord = std::array<std::uint8_t, kDataBytesPerRecord>;

struct ImageContent {
    std::array<std::uint8_t, 4> identification{};
    // One entry per section, in order; section i has segment 0x1000 * (i + 1).
    std::vector<std::vector<DataRecord>> sections;
};

ImageContent GenerateContent(const ImageParams& params);
// CRC-32 over the data records in text order.
std::uint32_t IntegrityOf(const ImageContent& content);
// The text of the image; pads with NUL bytes to kImageSize when shorter.
std::string Render(const ImageContent& content, std::uint32_t integrity);

}  // namespace firmware::detail
