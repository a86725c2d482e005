// What 'ombrel record' works out from the multiplex's tables before it records: the
// service that --service names, the PIDs for the tuner's filter, and the texts that
// name services.
#pragma once

#include "RecordArguments.h"

#include <MultiplexTables.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ombrel_cli {

// The service `choice` names: by id when the text is a number and a service has that id,
// otherwise by name (exactly, else ignoring the case of ASCII letters; only when one
// service fits). Null when none does.
const talvex::tables::Service* FindService(const talvex::tables::Multiplex& multiplex, const ServiceChoice& choice);

// The services one per line, "  0x3011  Lumen 2 (TV, clear)", for the message that names
// no service.
std::string ServiceListText(const talvex::tables::Multiplex& multiplex);

// The services that come scrambled.
std::vector<const talvex::tables::Service*> ScrambledServices(const talvex::tables::Multiplex& multiplex);

// The list for the tuner's PID filter: `pids` when the filter holds them (`room` entries),
// none when it does not (the filter is then left open and the packets filtered here).
std::optional<std::vector<std::uint16_t>> PidFilterFor(const std::vector<std::uint16_t>& pids, std::size_t room);

// "0x0000, 0x0011, 0x0100".
std::string PidListText(const std::vector<std::uint16_t>& pids);

}  // namespace ombrel_cli
