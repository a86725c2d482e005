// The table reader and the one-service filter on arbitrary packets: any headers, pointer
// fields, section lengths, loops and texts. Properties: no read outside the input (the
// sanitizers watch), Complete() exactly when nothing is named missing, services sorted
// and each once with its CA systems sorted and scrambled when it names one; once complete
// every PMT kept verifies by its CRC. The filter keeps only its PIDs, writes at most one
// packet per packet read, and each PAT it writes verifies and names only its program.
#include "FuzzSupport.h"
#include "ServiceFilter.h"
#include "TableReader.h"

#include <algorithm>
#include <vector>

namespace {

namespace tt = talvex::tables;

uint32_t ReferenceCrc(const uint8_t* bytes, std::size_t size) {
    uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i)
        for (int bit = 7; bit >= 0; --bit) {
            const bool in = ((bytes[i] >> bit) & 1) != ((crc >> 31) & 1);
            crc = (crc << 1) ^ (in ? 0x04C11DB7u : 0);
        }
    return crc;
}

void CheckFilter(const tt::Multiplex& m, const tt::Service& s, const std::vector<uint8_t>& packets) {
    tt::ServiceFilter filter(m, s.id);
    const auto& pids = filter.Pids();
    FUZZ_REQUIRE(std::is_sorted(pids.begin(), pids.end()) && std::adjacent_find(pids.begin(), pids.end()) == pids.end(),
                 "the PIDs sorted, each once");
    FUZZ_REQUIRE(filter.Keeps(0) && filter.Keeps(s.pmtPid), "the PAT and the PMT kept");
    const std::size_t count = packets.size() / 188;
    std::vector<uint8_t> out(packets.size());
    const std::size_t written = filter.Filter(packets.data(), count, out.data());
    FUZZ_REQUIRE(written <= count, "at most one packet per packet");
    for (std::size_t i = 0; i < written; ++i) {
        const uint8_t* p = out.data() + i * 188;
        const uint16_t pid = static_cast<uint16_t>((p[1] & 0x1F) << 8 | p[2]);
        FUZZ_REQUIRE(filter.Keeps(pid), "only the service's PIDs");
        if (pid != 0) continue;
        FUZZ_REQUIRE(p[0] == 0x47 && p[1] == 0x40 && p[4] == 0, "a PAT packet of its own");
        const uint8_t* section = p + 5;
        FUZZ_REQUIRE(section[0] == 0 && section[2] == 13, "a PAT of one program");
        FUZZ_REQUIRE(ReferenceCrc(section, 16) == 0, "the PAT verifies");
        FUZZ_REQUIRE((section[8] << 8 | section[9]) == s.id && ((section[10] & 0x1F) << 8 | section[11]) == s.pmtPid,
                     "the PAT names the service");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const uint8_t mode = data[0];
    ++data, --size;
    const std::size_t count = size / 188;
    const std::vector<uint8_t> packets(data, data + count * 188);

    tt::TableReader reader(tt::Needs{(mode & 1) != 0, (mode & 2) != 0});
    // Fed in batches, a discontinuity between some of them.
    const std::size_t batch = 1 + (mode >> 4);
    for (std::size_t at = 0; at < count; at += batch) {
        const std::size_t n = std::min(batch, count - at);
        reader.Feed(packets.data() + at * 188, n, (mode & 4) != 0 && at > 0);
        FUZZ_REQUIRE(reader.Complete() == reader.MissingText().empty(), "complete exactly when nothing is missing");
    }
    FUZZ_REQUIRE(reader.Counts().packets == count, "every packet counted");
    const tt::Multiplex m = reader.Result();
    for (std::size_t i = 0; i < m.services.size(); ++i) {
        const tt::Service& s = m.services[i];
        FUZZ_REQUIRE(i == 0 || m.services[i - 1].id < s.id, "services sorted by id, each once");
        const auto& ids = s.caSystemIds;
        FUZZ_REQUIRE(std::is_sorted(ids.begin(), ids.end()) && std::adjacent_find(ids.begin(), ids.end()) == ids.end(),
                     "CA systems sorted, each once");
        FUZZ_REQUIRE(ids.empty() || s.scrambled, "a service naming a CA system is scrambled");
        if (reader.Complete())
            FUZZ_REQUIRE(!s.pmtSection.empty() && ReferenceCrc(s.pmtSection.data(), s.pmtSection.size()) == 0,
                         "a complete multiplex has every PMT, verified");
        if (i < 4) CheckFilter(m, s, packets);
    }
    return 0;
}
