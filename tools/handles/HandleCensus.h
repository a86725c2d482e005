// Counts the calling process's open handles by object type ("Key", "File", "Event",
// ...), for finding and guarding against handle leaks. Uses the system's handle list
// (NtQuerySystemInformation, extended handle information) and the object type names
// (NtQueryObject), both of which Wine implements.
#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <string>

namespace handles {

struct Census {
    std::map<std::string, long> byType;

    long Of(const std::string& type) const;
    long Total() const;
};

// The calling process's handles right now; nothing when the system cannot list them.
std::optional<Census> TakeCensus();
// Another process's handles (or this one's): `process` must have been opened with
// query and handle-duplication rights, as a type is named through a copy of one of
// its handles. A type that could not be named counts as "?"; one that has no name as
// "type<its index>".
std::optional<Census> TakeCensus(HANDLE process);

// after - before, type by type; types whose count did not change are left out.
Census Difference(const Census& after, const Census& before);

// "Key +3, Event -1" (or "none"); each count divided by `per` when it is above 1.
std::string Describe(const Census& delta, long per = 1);

}  // namespace handles
