#include "PidFilter.h"

#include "TuneArguments.h"

#include <OmbrelApi.h>

#include <algorithm>

namespace ombrel_cli {
namespace {

static_assert(tuning::kMaxPidsSatellite == OMBREL_MAX_PIDS_DVBS && tuning::kMaxPidsTerrestrial == OMBREL_MAX_PIDS_DVBT &&
              tuning::kPidAll == OMBREL_PID_ALL);

template <class List>
List MakeList(const std::optional<std::vector<std::uint16_t>>& pids, std::size_t room) {
    List list{};
    if (!pids) {
        list.PidCount = 1;
        list.Pids[0] = OMBREL_PID_ALL;
        return list;
    }
    const std::size_t count = std::min(pids->size(), room);
    list.PidCount = static_cast<unsigned short>(count);
    std::copy_n(pids->begin(), count, list.Pids);
    return list;
}

bool SetSatellite(unsigned long handle, const std::optional<std::vector<std::uint16_t>>& pids) {
    auto list = MakeList<OMBREL_SELECT_PIDS_S>(pids, OMBREL_MAX_PIDS_DVBS);
    return OB_SelectPids_DVBS(handle, &list) == OB_SUCCESS;
}

bool SetTerrestrial(unsigned long handle, const std::optional<std::vector<std::uint16_t>>& pids) {
    auto list = MakeList<OMBREL_SELECT_PIDS_DVBT>(pids, OMBREL_MAX_PIDS_DVBT);
    return OB_SelectPids_DVBT(handle, &list) == OB_SUCCESS;
}

}  // namespace

std::size_t PidFilterRoom(Reception family) {
    switch (family) {
    case Reception::Satellite: return OMBREL_MAX_PIDS_DVBS;
    case Reception::Terrestrial:
    case Reception::Atsc: return OMBREL_MAX_PIDS_DVBT;
    default: return 0;
    }
}

bool SetPidFilter(unsigned long handle, Reception family, const std::optional<std::vector<std::uint16_t>>& pids) {
    switch (family) {
    case Reception::Satellite: return SetSatellite(handle, pids);
    case Reception::Terrestrial:
    case Reception::Atsc: return SetTerrestrial(handle, pids);
    default: return SetSatellite(handle, pids) || SetTerrestrial(handle, pids);
    }
}

bool PidFilterNarrowing::Narrow(const std::vector<std::uint16_t>& pids) {
    // A refused list may still have reached the driver in part: open it again at the end.
    narrowed_ = true;
    return SetPidFilter(handle_, family_, pids);
}

bool PidFilterNarrowing::Open() {
    if (!narrowed_) return true;
    narrowed_ = false;
    return SetPidFilter(handle_, family_, std::nullopt);
}

}  // namespace ombrel_cli
