// The CA module's reading of CA PMTs from the host: a run of CA PMTs (each: its length,
// list management, command, PMT bytes) sent to a ready module. Beyond no crash: the list
// never outgrows the module, holds each program once, and a program is descrambled
// exactly when it stands there with ok_descrambling and a PMT naming the module's CA
// system; a reading that names the CA system found it in the bytes sent.
#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

#include "CaModule.h"
#include "CaPmtReader.h"
#include "FuzzSupport.h"
#include "Sky.h"

using namespace tunersim;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static layout::CaModuleState module;
    std::memset(&module, 0, sizeof module);
    module.slot = 1;
    ca::Insert(module);
    ca::MakeReady(module);
    std::vector<uint8_t> message(layout::kCiMessageBytes);
    while (size >= 1) {
        const std::size_t n = std::min<std::size_t>(data[0], size - 1);
        const uint8_t* payload = data + 1;
        data += 1 + n;
        size -= 1 + n;

        const auto read = ca::ReadPmtSection({payload + std::min<std::size_t>(2, n), n - std::min<std::size_t>(2, n)});
        if (read && ca::Names(*read, sky::kCaSystemId)) {
            const uint8_t id[2] = {static_cast<uint8_t>(sky::kCaSystemId >> 8), static_cast<uint8_t>(sky::kCaSystemId)};
            FUZZ_REQUIRE(std::search(payload, payload + n, id, id + 2) != payload + n, "a CA system not in the bytes");
            FUZZ_REQUIRE(read->complete, "a CA system named from loops that were not whole");
        }

        std::fill(message.begin(), message.end(), 0);
        message[1] = 2;
        message[8] = static_cast<uint8_t>(n);
        message[9] = static_cast<uint8_t>(n >> 8);
        std::memcpy(message.data() + 10, payload, n);
        ca::Set(module, ca::kCommandProperty, message.data(), static_cast<uint32_t>(message.size()));

        FUZZ_REQUIRE(module.listCount <= layout::kCaListPrograms, "the list outgrew the module");
        std::set<uint16_t> programs;
        for (uint32_t i = 0; i < module.listCount; ++i) {
            const auto& e = module.list[i];
            FUZZ_REQUIRE(programs.insert(e.program).second, "a program twice in the list");
            FUZZ_REQUIRE(e.command != 4 && e.command != 3, "a query or not_selected kept in the list");
            FUZZ_REQUIRE(ca::Descrambles(module, e.program) == (e.command == 1 && e.caSystem),
                         "descrambling disagrees with the list");
        }
        if (read && !programs.count(read->program))
            FUZZ_REQUIRE(!ca::Descrambles(module, read->program), "descrambles a program not in the list");
    }
    ca::Remove(module);
    for (uint32_t program = 0; program < 0x10000; program += 0x101)
        FUZZ_REQUIRE(!ca::Descrambles(module, static_cast<uint16_t>(program)), "descrambles without a module");
    return 0;
}
