// The program's record of the listed tuners and the rule by which a rebuild keeps the
// handle of the tuner under update. Plain C++: the library is reached through
// ITunerSource so that the rule can be exercised without it.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

struct TUNER_ENTRY {
    char DisplayString[512];  // identifies the physical tuner across rebuilds
    char GuidText[17];        // 16 hex digits and the terminator, as the library gives it
    unsigned long Handle;     // open library handle; never 0 in a listed entry
};

// The device functions a rebuild needs. Handles are the library's; 0 means none.
class ITunerSource {
public:
    virtual ~ITunerSource() = default;
    virtual unsigned long CountWdm() = 0;
    virtual unsigned long CountBda() = 0;
    virtual unsigned long OpenWdm(unsigned long index) = 0;
    virtual unsigned long OpenBda(unsigned long index) = 0;
    // Fill a zeroed buffer; a failed query leaves it zeroed.
    virtual void ReadDisplayString(unsigned long handle, char (&buffer)[512]) = 0;
    virtual void ReadGuidText(unsigned long handle, char (&buffer)[17]) = 0;
    virtual void Close(unsigned long handle) = 0;
};

using TunerList = std::vector<std::unique_ptr<TUNER_ENTRY>>;

// A zeroed entry.
std::unique_ptr<TUNER_ENTRY> MakeTunerEntry(unsigned long handle);

// Closes every entry's handle in list order and empties the list.
void ReleaseTunerList(TunerList& list, ITunerSource& source);

// Reopens every tuner and replaces `list`. The entry whose display string equals the
// one of `underUpdate` keeps its old handle while the tuner is still listed (the fresh
// duplicate is closed), and is closed when the tuner has gone. An empty display string
// stands for no tuner under update and matches nothing. Final order: the kept or
// re-appended match first, then the BDA entries from the highest index down, then the
// WDM entries from the highest index down.
void RebuildTunerList(TunerList& list, const TUNER_ENTRY& underUpdate, ITunerSource& source);

// Bounded copy of a library text field (it may lack its terminator).
std::string FieldText(const char* field, std::size_t size);
template <std::size_t N>
std::string FieldText(const char (&field)[N])
{
    return FieldText(field, N);
}

// ASCII upper-casing; other bytes are kept.
std::string ToUpperAscii(std::string text);

// A list-box line: the device string followed by " (" GUID ")", the whole suffix in
// upper case.
std::string FormatTunerLine(const std::string& deviceString, const std::string& guidText);
