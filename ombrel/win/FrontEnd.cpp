#include "FrontEnd.h"

#include "Console.h"
#include "ExitCodes.h"
#include "Tuners.h"

#include <windows.h>

#include <OmbrelApi.h>

#include <cstring>

namespace ombrel_cli {
namespace {

// The plain units keep the header's numbering.
static_assert(tuning::kHorizontal == OMBREL_POLARISATION_HORIZONTAL && tuning::kVertical == OMBREL_POLARISATION_VERTICAL &&
              tuning::kCircularLeft == OMBREL_POLARISATION_LEFT && tuning::kCircularRight == OMBREL_POLARISATION_RIGHT);
static_assert(tuning::kModulationAuto == OMBREL_MODULATION_AUTO && tuning::kQpsk == OMBREL_MODULATION_QPSK &&
              tuning::k8psk == OMBREL_MODULATION_8PSK && tuning::kQam16 == OMBREL_MODULATION_QAM16 &&
              tuning::kQam64 == OMBREL_MODULATION_QAM64 && tuning::k8vsb == OMBREL_MODULATION_8VSB);
static_assert(tuning::kFecAuto == OMBREL_FEC_AUTO && tuning::kFec7_8 == OMBREL_FEC_7_8 &&
              tuning::kFec9_10 == OMBREL_FEC_9_10 && tuning::kGuardAuto == OMBREL_GUARD_AUTO &&
              tuning::kModeAuto == OMBREL_TRANSMISSION_AUTO);
static_assert(tuning::kPidAll == OMBREL_PID_ALL && tuning::kMaxPidsSatellite == OMBREL_MAX_PIDS_DVBS &&
              tuning::kMaxPidsTerrestrial == OMBREL_MAX_PIDS_DVBT);
static_assert(tuning::kIfMinKHz == OMBREL_QPSK_MIN_FREQUENCY && tuning::kIfMaxKHz == OMBREL_QPSK_MAX_FREQUENCY);
static_assert(tuning::kFlagBusy == OMBREL_TUNING_BUSY && tuning::kFlagLocked == OMBREL_TUNING_LOCKED &&
              tuning::kFlagNoSignal == OMBREL_TUNING_NO_SIGNAL);

// How long a failed request waits for the library to notice that the tuner has gone:
// the driver fails at once, the library learns of it when its rescan after the
// device-change broadcast has run, which on a busy machine takes a while.
constexpr DWORD kDetachGraceMs = 2000;
constexpr DWORD kDetachCheckMs = 50;

std::optional<std::string> Refused(const char* what, const char* function, unsigned long code) {
    if (code == OB_SUCCESS) return std::nullopt;
    return std::string(what) + " (" + function + " returned " + std::to_string(code) + ")";
}

template <class Pids>
Pids PidRecord(const std::vector<std::uint16_t>& list) {
    Pids record{};
    record.PidCount = static_cast<unsigned short>(list.size());
    std::copy(list.begin(), list.end(), record.Pids);
    return record;
}

std::optional<std::string> SendSatellite(unsigned long handle, const SatelliteTune& t) {
    OMBREL_LNB_PARAMETERS lnb{};
    lnb.LofLow = t.lnb.lofLowKHz;
    lnb.LofHigh = t.lnb.lofHighKHz;
    lnb.SwitchFrequency = t.lnb.switchKHz;
    lnb.Tone22kHz = OMBREL_TONE_AUTO;
    lnb.Voltage = OMBREL_LNB_VOLTAGE_AUTO;
    if (auto r = Refused("the LNB parameters", "OB_SetLNBParameter", OB_SetLNBParameter(handle, &lnb))) return r;
    if (t.diseqcPort) {
        const std::vector<std::uint8_t> message = DiseqcSwitchMessage(t);
        OMBREL_LNB_CMD command{};
        command.MessageLength = static_cast<unsigned char>(message.size());
        std::memcpy(command.Message, message.data(), message.size());
        if (auto r = Refused("the DiSEqC switch command", "OB_SendLnbCmd", OB_SendLnbCmd(handle, &command))) return r;
    }
    OMBREL_SELECT_MULTIPLEX_DVBS multiplex{};
    multiplex.Frequency = t.frequencyKHz;
    multiplex.SymbolRate = t.symbolRate;
    multiplex.Polarisation = t.polarisation;
    multiplex.Modulation = t.modulation;
    multiplex.Fec = t.fec;
    return Refused("the multiplex", "OB_SelectMultiplex_DVBS", OB_SelectMultiplex_DVBS(handle, &multiplex));
}

std::optional<std::string> SendTerrestrial(unsigned long handle, const TerrestrialTune& t) {
    OMBREL_SELECT_MULTIPLEX_DVBT multiplex{};
    multiplex.Frequency = t.frequencyKHz;
    multiplex.Bandwidth = t.bandwidthMHz;
    multiplex.Modulation = t.modulation;
    multiplex.Fec = t.fec;
    multiplex.GuardInterval = t.guard;
    multiplex.TransmissionMode = t.mode;
    return Refused("the multiplex", "OB_SelectMultiplex_DVBT", OB_SelectMultiplex_DVBT(handle, &multiplex));
}

std::optional<std::string> SendPids(unsigned long handle, Reception family, const std::vector<std::uint16_t>& pids) {
    if (family == Reception::Satellite) {
        auto record = PidRecord<OMBREL_SELECT_PIDS_S>(pids);
        return Refused("the PID list", "OB_SelectPids_DVBS", OB_SelectPids_DVBS(handle, &record));
    }
    auto record = PidRecord<OMBREL_SELECT_PIDS_DVBT>(pids);
    return Refused("the PID list", "OB_SelectPids_DVBT", OB_SelectPids_DVBT(handle, &record));
}

}  // namespace

std::optional<std::string> SendTune(unsigned long handle, const TunePlan& plan) {
    // A front end switched off (by another program) would never lock.
    if (auto r = Refused("power on", "OB_SetPowerState", OB_SetPowerState(handle, OMBREL_POWER_ON))) return r;
    const auto* satellite = std::get_if<SatelliteTune>(&plan.tune);
    if (auto r = satellite ? SendSatellite(handle, *satellite)
                           : SendTerrestrial(handle, std::get<TerrestrialTune>(plan.tune))) {
        return r;
    }
    if (plan.pids) return SendPids(handle, plan.family, *plan.pids);
    return std::nullopt;
}

bool ReadTuningFlag(unsigned long handle, int& flag, std::uint64_t& frequencyHz) {
    LARGE_INTEGER value{};
    if (OB_CheckTuningFlag(handle, &flag, &value) != OB_SUCCESS) return false;
    frequencyHz = static_cast<std::uint64_t>(value.QuadPart);
    return true;
}

std::optional<FrontEndReading> ReadFrontEnd(unsigned long handle) {
    FrontEndReading reading;
    if (!ReadTuningFlag(handle, reading.flag, reading.frequencyHz)) return std::nullopt;
    OMBREL_FRONTEND_STATUS status{};
    if (OB_GetFrontendStatus(handle, &status) != OB_SUCCESS) return std::nullopt;
    reading.locked = status.Locked != 0;
    reading.carrier = status.CarrierPresent != 0;
    reading.strength = status.SignalStrength;
    reading.quality = status.SignalQuality;
    reading.bitErrorRate = status.BitErrorRate;
    reading.uncorrectedBlocks = status.UncorrectedBlocks;
    reading.snrTenthsDb = status.SignalToNoise;
    return reading;
}

int ReportFailedRequest(unsigned long handle, const std::string& tunerName, const std::string& request) {
    for (DWORD waited = 0; waited < kDetachGraceMs && IsAttached(handle); waited += kDetachCheckMs) {
        Sleep(kDetachCheckMs);
    }
    if (!IsAttached(handle)) {
        ReportError(tunerName + " went away");
        return kExitNoTuner;
    }
    ReportError("the driver of " + tunerName + " refused " + request);
    return kExitTuneRefused;
}

}  // namespace ombrel_cli
