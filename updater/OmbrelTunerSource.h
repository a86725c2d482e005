// The tuner list's view of OmbrelApi.
#pragma once

#include "TunerList.h"

class COmbrelTunerSource final : public ITunerSource {
public:
    unsigned long CountWdm() override;
    unsigned long CountBda() override;
    unsigned long OpenWdm(unsigned long index) override;
    unsigned long OpenBda(unsigned long index) override;
    void ReadDisplayString(unsigned long handle, char (&buffer)[512]) override;
    void ReadGuidText(unsigned long handle, char (&buffer)[17]) override;
    void Close(unsigned long handle) override;
};
