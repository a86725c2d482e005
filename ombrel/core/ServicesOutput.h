// What 'ombrel services' prints of a multiplex's tables, as text and as JSON, and the
// names of the codes it shows. Service and event texts come from the tables as UTF-8;
// the text output keeps them so (the program converts for the console).
#pragma once

#include "JsonOutput.h"
#include "TunerRecord.h"

#include <MultiplexTables.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ombrel_cli {

// "TV", "radio", "HD TV", ...; "type 0x0C" for the rest.
std::string ServiceTypeText(talvex::tables::Standard standard, std::uint8_t type);
// "clear", or "scrambled (CA system 0x4B45, ECM PID 0x1F02)"; "scrambled (free_CA_mode)"
// when the SDT says so without naming a system.
std::string AccessText(const talvex::tables::Service& service);
// "18:00-18:30 UTC  Cooking"; the times left out when the table leaves them open.
std::string EventText(const talvex::tables::Event& event);
// "2026-12-09T18:00:00Z".
std::string UtcText(std::int64_t unixSeconds);
// "0x3011 (Lumen 2)".
std::string ServiceLabel(const talvex::tables::Service& service);

// 'ombrel services': the tuner, the multiplex, then a block per service.
std::string ServicesText(unsigned long index, const TunerLine& tuner, const talvex::tables::Multiplex& multiplex);
std::string ServicesJson(const TunerLine& tuner, const talvex::tables::Multiplex& multiplex, const TextDecoder& decode);

}  // namespace ombrel_cli
