// The programme guide's present and following events (EN 300 468 5.2.4).
#include "BroadcastTime.h"
#include "Descriptors.h"
#include "Tables.h"

namespace tunersim::stream::psi {
namespace {

constexpr uint8_t kEitPresentFollowingActual = 0x4E;
constexpr uint8_t kNotRunning = 1;
constexpr uint8_t kRunning = 4;

// The events are in the language of the service's (first) audio.
std::string_view AudioLanguage(const sky::Service& s) {
    for (const auto& es : s.streams)
        if (!sky::IsVideo(es.type) && !es.language.empty()) return es.language;
    return {};
}

Bytes EventEntry(const sky::Service& s, const Event& event, uint8_t runningStatus) {
    Bytes entry;
    Put16(entry, event.id);
    PutUtcTime(entry, event.startUnix);
    Put24(entry, BcdDuration(event.durationSeconds));
    Bytes descriptors;
    PutShortEventDescriptor(descriptors, AudioLanguage(s), *event.title);
    Put16(entry, runningStatus << 13 | (s.scrambled ? 1 : 0) << 12 | (descriptors.size() & 0x0FFF));
    Append(entry, descriptors);
    return entry;
}

}  // namespace

Event EventAt(const sky::Service& s, int64_t unixSeconds) {
    const int64_t slot = ClampClock(unixSeconds) / kEventSlotSeconds;
    Event event;
    event.id = static_cast<uint16_t>(slot & 0xFFFF);
    event.startUnix = slot * kEventSlotSeconds;
    event.durationSeconds = kEventSlotSeconds;
    event.title = s.events.empty() ? nullptr : &s.events[static_cast<std::size_t>(slot) % s.events.size()];
    return event;
}

std::vector<Section> EitPresentFollowing(const sky::Multiplex& m, const sky::Service& s, int64_t unixSeconds) {
    if (sky::IsAtsc(m)) return {};
    const Event present = EventAt(s, unixSeconds);
    const Event following = EventAt(s, present.startUnix + kEventSlotSeconds);
    Bytes prefix;
    Put16(prefix, m.transportStreamId);
    Put16(prefix, m.originalNetworkId);
    Put8(prefix, 1);  // segment_last_section_number
    Put8(prefix, kEitPresentFollowingActual);  // last_table_id
    LongHeader header{kEitPresentFollowingActual, s.id};
    header.privateIndicator = true;
    header.version = static_cast<uint8_t>(present.startUnix / kEventSlotSeconds % 32);
    header.lastSectionNumber = 1;
    std::vector<Section> sections;
    for (const auto& [event, status] : {std::pair{present, kRunning}, std::pair{following, kNotRunning}}) {
        Bytes body = prefix;
        // A service without titles has no events: both sections stay empty.
        if (event.title != nullptr) Append(body, EventEntry(s, event, status));
        sections.push_back(LongSection(header, body));
        ++header.sectionNumber;
    }
    return sections;
}

}  // namespace tunersim::stream::psi
