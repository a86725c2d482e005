#include "KeyWake.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "Text.h"

namespace tunersim {
namespace {

// More than any number of reads that can wait at once; releases beyond it fail harmlessly.
constexpr LONG kMostWaiting = 1024;

std::wstring SemaphoreName(std::string_view id) {
    std::string lower(id);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return L"TunerSimKeys_" + Widen(lower);
}

}  // namespace

KeyWake::KeyWake(std::string_view id)
    : semaphore_(CreateSemaphoreW(nullptr, 0, kMostWaiting, SemaphoreName(id).c_str())) {}

KeyWake::~KeyWake() {
    if (semaphore_) CloseHandle(semaphore_);
}

void KeyWake::Wait(DWORD boundMs) const {
    if (semaphore_) {
        WaitForSingleObject(semaphore_, boundMs);
    } else {
        Sleep(boundMs);
    }
}

void KeyWake::Wake(uint32_t reads) const {
    if (!semaphore_ || reads == 0) return;
    const LONG count = static_cast<LONG>(std::min<uint32_t>(reads, kMostWaiting));
    ReleaseSemaphore(semaphore_, count, nullptr);
}

}  // namespace tunersim
