// Whole sections back into packets of one PID, packed as tightly as the source's (several
// sections in a packet, a pointer_field where one starts) with a continuity counter of
// its own. The one-service filter replaces a PID's packets one for one with these, so
// that it never writes more packets than it reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace talvex::tables {

class SectionRepacker {
public:
    explicit SectionRepacker(std::uint16_t pid) : pid_(pid) {}

    // Queues a whole section. Sections beyond kMaxQueued bytes waiting are dropped (a
    // source that carries more than it sends can only be a broken one).
    void Push(const std::vector<std::uint8_t>& section);
    // Writes the next packet (188 bytes) and returns true, or false with nothing queued.
    bool Pop(std::uint8_t* packet);

    static constexpr std::size_t kMaxQueued = 16384;

private:
    std::uint16_t pid_;
    std::uint8_t continuity_ = 0;
    std::vector<std::uint8_t> queued_;  // bytes not yet sent
    std::vector<std::size_t> starts_;   // offsets in queued_ where sections not yet begun start
};

}  // namespace talvex::tables
