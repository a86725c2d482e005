#include "TunerList.h"

#include <algorithm>
#include <cstring>
#include <iterator>

std::unique_ptr<TUNER_ENTRY> MakeTunerEntry(unsigned long handle)
{
    auto entry = std::make_unique<TUNER_ENTRY>();
    std::memset(entry.get(), 0, sizeof(TUNER_ENTRY));
    entry->Handle = handle;
    return entry;
}

void ReleaseTunerList(TunerList& list, ITunerSource& source)
{
    for (auto& entry : list) {
        if (entry) source.Close(entry->Handle);
    }
    list.clear();
}

std::string FieldText(const char* field, std::size_t size)
{
    const auto* end = static_cast<const char*>(std::memchr(field, '\0', size));
    return std::string(field, end ? static_cast<std::size_t>(end - field) : size);
}

namespace {

void OpenFamily(TunerList& into, ITunerSource& source, unsigned long count, bool bda)
{
    for (unsigned long index = 0; index < count; ++index) {
        const unsigned long handle = bda ? source.OpenBda(index) : source.OpenWdm(index);
        if (handle == 0) continue;
        auto entry = MakeTunerEntry(handle);
        source.ReadDisplayString(handle, entry->DisplayString);
        source.ReadGuidText(handle, entry->GuidText);
        // A library that fills a field to the brim must not leave it unterminated.
        entry->DisplayString[sizeof(entry->DisplayString) - 1] = '\0';
        entry->GuidText[sizeof(entry->GuidText) - 1] = '\0';
        into.push_back(std::move(entry));
    }
}

std::unique_ptr<TUNER_ENTRY> TakeFirstMatch(TunerList& list, const std::string& displayString)
{
    auto found = std::find_if(list.begin(), list.end(), [&](const std::unique_ptr<TUNER_ENTRY>& entry) {
        return entry && FieldText(entry->DisplayString) == displayString;
    });
    if (found == list.end()) return nullptr;
    auto taken = std::move(*found);
    list.erase(found);
    return taken;
}

}  // namespace

void RebuildTunerList(TunerList& list, const TUNER_ENTRY& underUpdate, ITunerSource& source)
{
    const unsigned long wdmCount = source.CountWdm();
    const unsigned long bdaCount = source.CountBda();

    TunerList fresh;
    OpenFamily(fresh, source, wdmCount, false);
    OpenFamily(fresh, source, bdaCount, true);

    const std::string kept = FieldText(underUpdate.DisplayString);
    if (!kept.empty()) {
        auto oldMatch = TakeFirstMatch(list, kept);
        auto newMatch = TakeFirstMatch(fresh, kept);
        if (oldMatch && newMatch) {
            source.Close(newMatch->Handle);
            fresh.push_back(std::move(oldMatch));
        } else if (oldMatch) {
            source.Close(oldMatch->Handle);
        } else if (newMatch) {
            fresh.push_back(std::move(newMatch));
        }
    }

    ReleaseTunerList(list, source);
    list.reserve(fresh.size());
    std::move(fresh.rbegin(), fresh.rend(), std::back_inserter(list));
}

std::string ToUpperAscii(std::string text)
{
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

std::string FormatTunerLine(const std::string& deviceString, const std::string& guidText)
{
    return deviceString + ToUpperAscii(" (" + guidText + ")");
}
