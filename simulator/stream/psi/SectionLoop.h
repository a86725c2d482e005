// Spreading a table's loop of entries over as many sections as it needs. Each section's
// body is a prefix (the fields before the loop), whole entries, then a suffix; when the
// loop is preceded by a field that counts it, that field ends the prefix and is filled
// in per section.
#pragma once

#include <cstddef>
#include <vector>

#include "Bytes.h"
#include "Section.h"

namespace tunersim::stream::psi {

struct SectionLoop {
    LongHeader header;    // sectionNumber and lastSectionNumber are filled in
    Bytes firstPrefix;    // before the loop in section 0
    Bytes prefix;         // before the loop in the later sections
    Bytes suffix;         // after the loop in every section
    enum class Counter { None, Length12, Count8 } counter = Counter::None;
    std::size_t maxSectionSize = kMaxSectionSize;
};

// The sections, in order: at least one (an empty loop still makes a section), at most
// 256. Entries go in whole and in order; an entry too big for any section, and what a
// 256th section cannot hold, are left out (the table writers size their entries so that
// neither happens).
std::vector<Section> SpreadOverSections(const SectionLoop& loop, const std::vector<Bytes>& entries);

}  // namespace tunersim::stream::psi
