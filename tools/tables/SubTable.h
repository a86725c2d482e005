// The sections of one table (one table_id and table_id_extension) as they arrive: which
// section_numbers of the current version are in, and the last complete set, which stays
// readable while a newer version is being collected.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "SectionBytes.h"

namespace talvex::tables {

template <class Content>
class SubTable {
public:
    // Has this very section (same version, extension and section count) been taken?
    // Lets the caller skip parsing the repetitions of a table it has.
    bool Has(const LongSection& h) const {
        return Matches(h) && h.number < parts_.size() && parts_[h.number].has_value();
    }

    // Takes a parsed section; a new version, extension or section count starts over.
    // Returns true when this section completed the table.
    bool Put(const LongSection& h, Content content) {
        if (!Matches(h)) {
            version_ = h.version;
            extension_ = h.extension;
            parts_.assign(std::size_t{h.last} + 1, std::nullopt);
            have_ = 0;
        }
        if (h.number >= parts_.size()) return false;
        if (!parts_[h.number]) ++have_;
        parts_[h.number] = std::move(content);
        if (!Complete()) return false;
        done_.clear();
        for (auto& part : parts_) done_.push_back(*part);
        doneExtension_ = extension_;
        return true;
    }

    // All sections of the version now on air are in.
    bool Complete() const { return version_ >= 0 && have_ == parts_.size(); }
    // The last complete table, in section_number order; empty before the first.
    const std::vector<Content>& Done() const { return done_; }
    std::uint16_t DoneExtension() const { return doneExtension_; }
    void Clear() { *this = SubTable(); }

private:
    bool Matches(const LongSection& h) const {
        return version_ == h.version && extension_ == h.extension && parts_.size() == std::size_t{h.last} + 1;
    }

    int version_ = -1;
    std::uint16_t extension_ = 0;
    std::vector<std::optional<Content>> parts_;
    std::size_t have_ = 0;
    std::vector<Content> done_;
    std::uint16_t doneExtension_ = 0;
};

}  // namespace talvex::tables
