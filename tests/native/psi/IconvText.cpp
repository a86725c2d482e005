#include "IconvText.h"

#include <iconv.h>

#include <cerrno>
#include <memory>
#include <stdexcept>

namespace psitest {

std::string IconvToUtf8(const std::string& charset, const uint8_t* bytes, std::size_t size) {
    iconv_t cd = iconv_open("UTF-8", charset.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv cannot open " + charset);
    const std::unique_ptr<void, int (*)(iconv_t)> closer(cd, iconv_close);
    std::string in(reinterpret_cast<const char*>(bytes), size);
    std::string out(size * 4 + 16, '\0');
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1))
        throw std::runtime_error("iconv cannot read the bytes as " + charset + " (errno " + std::to_string(errno) + ")");
    out.resize(out.size() - outLeft);
    return out;
}

std::string DvbTextToUtf8(const uint8_t* bytes, std::size_t size) {
    if (size == 0) return {};
    const char* charset = nullptr;
    switch (bytes[0]) {
    case 0x01: charset = "ISO-8859-5"; break;
    case 0x03: charset = "ISO-8859-7"; break;
    case 0x05: charset = "ISO-8859-9"; break;
    case 0x0B: charset = "ISO-8859-15"; break;
    case 0x15: charset = "UTF-8"; break;
    default:
        if (bytes[0] < 0x20) throw std::runtime_error("unexpected selector " + std::to_string(bytes[0]));
        return IconvToUtf8("ISO_6937", bytes, size);
    }
    return IconvToUtf8(charset, bytes + 1, size - 1);
}

std::string AsCoded(const tunersim::sky::Text& text) {
    if (text.table != tunersim::sky::TextTable::Default) return text.utf8;
    std::string out;
    for (const unsigned char c : text.utf8) {
        if (c < 0x80)
            out += static_cast<char>(c);
        else if (c >= 0xC0)
            out += '?';  // the lead byte of a multi-byte character
    }
    return out;
}

}  // namespace psitest
