#include "SectionLoop.h"

namespace tunersim::stream::psi {
namespace {

struct Body {
    Bytes bytes;
    std::size_t loopStart;
    std::size_t entries = 0;
};

Body Open(const SectionLoop& loop, bool first) {
    Body body;
    body.bytes = first ? loop.firstPrefix : loop.prefix;
    body.loopStart = body.bytes.size();
    return body;
}

void Close(const SectionLoop& loop, Body& body) {
    const std::size_t loopLength = body.bytes.size() - body.loopStart;
    if (loop.counter == SectionLoop::Counter::Length12 && body.loopStart >= 2)
        PatchLength12(body.bytes, body.loopStart - 2, loopLength);
    if (loop.counter == SectionLoop::Counter::Count8 && body.loopStart >= 1)
        body.bytes[body.loopStart - 1] = static_cast<uint8_t>(body.entries);
    Append(body.bytes, loop.suffix);
}

}  // namespace

std::vector<Section> SpreadOverSections(const SectionLoop& loop, const std::vector<Bytes>& entries) {
    constexpr std::size_t kMaxSections = 256;
    const std::size_t maxBody = loop.maxSectionSize - kLongSectionOverhead;
    std::vector<Body> bodies;
    bodies.push_back(Open(loop, true));
    for (const auto& entry : entries) {
        const auto fits = [&](const Body& body) {
            return body.bytes.size() + entry.size() + loop.suffix.size() <= maxBody &&
                   (loop.counter != SectionLoop::Counter::Count8 || body.entries < 255);
        };
        if (!fits(bodies.back())) {
            if (bodies.size() == kMaxSections) break;
            Body next = Open(loop, false);
            if (!fits(next)) continue;
            bodies.push_back(std::move(next));
        }
        Append(bodies.back().bytes, entry);
        ++bodies.back().entries;
    }
    std::vector<Section> sections;
    LongHeader header = loop.header;
    header.lastSectionNumber = static_cast<uint8_t>(bodies.size() - 1);
    for (std::size_t i = 0; i < bodies.size(); ++i) {
        Close(loop, bodies[i]);
        header.sectionNumber = static_cast<uint8_t>(i);
        sections.push_back(LongSection(header, bodies[i].bytes));
    }
    return sections;
}

}  // namespace tunersim::stream::psi
