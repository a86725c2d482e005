#include <windows.h>

#include <algorithm>
#include <cstring>
#include <strings.h>
#include <vector>

namespace {

std::vector<unsigned char> g_block;
LANGID g_language = 0x0409;
// The buffer that GetFileVersionInfoA last filled, and its size: walks stay inside it.
const unsigned char* g_buffer = nullptr;
std::size_t g_bufferSize = 0;

constexpr std::size_t Align4(std::size_t offset) { return (offset + 3) & ~std::size_t{3}; }

// One node of a 16-bit block: length, value length, NUL-terminated key, value at the
// next 4-byte boundary, children after the value.
struct Node {
    std::size_t at = 0;  // offset in the buffer
    std::uint16_t length = 0;
    std::uint16_t valueLength = 0;
    const char* key = nullptr;
    std::size_t keyLength = 0;

    std::size_t ValueOffset() const { return at + Align4(4 + keyLength + 1); }
    std::size_t ChildrenOffset() const { return ValueOffset() + Align4(valueLength); }
};

// A node whose header and key lie in the buffer; false otherwise (the walk ends there).
bool ReadNode(std::size_t at, Node& node) {
    if (at + 4 > g_bufferSize) return false;
    node.at = at;
    std::memcpy(&node.length, g_buffer + at, 2);
    std::memcpy(&node.valueLength, g_buffer + at + 2, 2);
    node.key = reinterpret_cast<const char*>(g_buffer + at + 4);
    const void* end = std::memchr(node.key, 0, g_bufferSize - at - 4);
    if (!end) return false;
    node.keyLength = static_cast<std::size_t>(static_cast<const char*>(end) - node.key);
    return true;
}

bool FindChild(const Node& parent, const char* key, std::size_t length, Node& child) {
    for (std::size_t at = parent.ChildrenOffset(); at < parent.at + parent.length;) {
        if (!ReadNode(at, child)) return false;
        if (child.keyLength == length && strncasecmp(child.key, key, length) == 0) return true;
        if (child.length == 0) return false;
        at += Align4(child.length);
    }
    return false;
}

}  // namespace

namespace versionshim {

void UseBlock(const unsigned char* data, std::size_t size) { g_block.assign(data, data + size); }
void UseUserLanguage(LANGID language) { g_language = language; }

}  // namespace versionshim

DWORD GetModuleFileNameA(HMODULE, char*, DWORD) { return 0; }

LANGID GetUserDefaultLangID() { return g_language; }

DWORD GetFileVersionInfoSizeA(const char*, DWORD* handle) {
    if (handle) *handle = 0;
    return static_cast<DWORD>(g_block.size());
}

BOOL GetFileVersionInfoA(const char*, DWORD, DWORD size, void* data) {
    if (g_block.empty() || !data) return 0;
    std::memcpy(data, g_block.data(), std::min<std::size_t>(size, g_block.size()));
    g_buffer = static_cast<const unsigned char*>(data);
    g_bufferSize = std::min<std::size_t>(size, g_block.size());
    return 1;
}

BOOL VerQueryValueA(const void* block, const char* subBlock, void** buffer, UINT* length) {
    if (block != g_buffer || !subBlock || !buffer || !length) return 0;
    Node node;
    if (!ReadNode(0, node)) return 0;
    for (const char* path = subBlock; *path;) {
        while (*path == '\\') ++path;
        const char* end = path;
        while (*end && *end != '\\') ++end;
        if (end == path) break;
        Node child;
        if (!FindChild(node, path, static_cast<std::size_t>(end - path), child)) return 0;
        node = child;
        path = end;
    }
    // Like the platform: the value where the node says, as long as the node says.
    *buffer = const_cast<unsigned char*>(g_buffer) + node.ValueOffset();
    *length = node.valueLength;
    return 1;
}
