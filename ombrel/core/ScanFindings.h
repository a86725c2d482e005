// From a multiplex's tables to what a scan keeps of it: its services for the channel
// file and the output, and the transports its NIT lists as deliveries to try.
#pragma once

#include "ScanOutput.h"

#include <MultiplexTables.h>

#include <optional>
#include <string>
#include <vector>

namespace ombrel_cli {

// The NIT's transports as deliveries, in the tuning records' numbering; transports
// without a delivery descriptor a Talvex tuner takes are left out.
std::vector<Delivery> NetworkDeliveries(const talvex::tables::Multiplex& tables);

// What was found on `tuned`: its services, and its delivery as its own NIT describes it
// when the NIT was read and lists it (the exact parameters rather than the candidate's).
ScannedMultiplex ScannedFrom(const talvex::tables::Multiplex& tables, const Delivery& tuned, std::string label,
                             std::string missing);

}  // namespace ombrel_cli
