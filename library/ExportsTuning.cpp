// Tuning, PID filter and LNB control: one driver request each. The records go to the
// driver as they are; the library reads only the QPSK frequency and splits the
// tuning-flag reply.
#include "RecordRequests.h"

#include <cstddef>
#include <cstring>

using namespace ombrel;

static_assert(sizeof(_OMBREL_SELECT_MULTIPLEX_DVBS) == 12);
static_assert(offsetof(_OMBREL_SELECT_MULTIPLEX_DVBS, SymbolRate) == 4);
static_assert(offsetof(_OMBREL_SELECT_MULTIPLEX_DVBS, Polarisation) == 8);
static_assert(offsetof(_OMBREL_SELECT_MULTIPLEX_DVBS, Fec) == 10);
static_assert(sizeof(_OMBREL_SELECT_MULTIPLEX_DVBT) == 12);
static_assert(offsetof(_OMBREL_SELECT_MULTIPLEX_DVBT, Bandwidth) == 4);
static_assert(offsetof(_OMBREL_SELECT_MULTIPLEX_DVBT, TransmissionMode) == 8);
static_assert(sizeof(_OMBREL_SELECT_PIDS_S) == 60);
static_assert(offsetof(_OMBREL_SELECT_PIDS_S, Pids) == 2);
static_assert(sizeof(_OMBREL_SELECT_PIDS_DVBT) == 56);
static_assert(offsetof(_OMBREL_SELECT_PIDS_DVBT, Pids) == 2);
static_assert(sizeof(_OMBREL_TUNE_QPSK_PARAM) == 12);
static_assert(offsetof(_OMBREL_TUNE_QPSK_PARAM, Frequency) == 0);
static_assert(offsetof(_OMBREL_TUNE_QPSK_PARAM, Tone22kHz) == 11);
static_assert(sizeof(_OMBREL_LNB_CMD) == 25);
static_assert(offsetof(_OMBREL_LNB_CMD, Message) == 1);
static_assert(offsetof(_OMBREL_LNB_CMD, ToneBurst) == 17);
static_assert(sizeof(_OMBREL_LNB_PARAMETERS) == 42);
static_assert(offsetof(_OMBREL_LNB_PARAMETERS, Tone22kHz) == 12);
static_assert(offsetof(_OMBREL_LNB_PARAMETERS, Voltage) == 13);
static_assert(sizeof(_OMBREL_FRONTEND_STATUS) == 28);
static_assert(offsetof(_OMBREL_FRONTEND_STATUS, SignalToNoise) == 24);

namespace {

// The driver's reply to a get of the tuning flag.
constexpr unsigned long kTuningFlagReplyLength = 16;
constexpr std::size_t kFlagOffset = 0;
constexpr std::size_t kValueLowOffset = 8;
constexpr std::size_t kValueHighOffset = 12;

unsigned long SetByte(unsigned long handle, unsigned long property, unsigned char value) {
    return WithPropertySet(handle, [&](IKsPropertySet* properties) {
        unsigned char byte = value;
        return SetProperty(properties, property, &byte, 1);
    });
}

bool InQpskBand(unsigned long frequency) {
    return frequency >= OMBREL_QPSK_MIN_FREQUENCY && frequency <= OMBREL_QPSK_MAX_FREQUENCY;
}

}  // namespace

OMBREL_API unsigned long OMBREL_CALL OB_SelectMultiplex_DVBS(unsigned long handle,
                                                          _OMBREL_SELECT_MULTIPLEX_DVBS* multiplex) {
    return SetRecord(handle, OMBREL_PROP_SELECT_MULTIPLEX_DVBS, multiplex);
}

OMBREL_API unsigned long OMBREL_CALL OB_SelectMultiplex_DVBT(unsigned long handle,
                                                          _OMBREL_SELECT_MULTIPLEX_DVBT* multiplex) {
    return SetRecord(handle, OMBREL_PROP_SELECT_MULTIPLEX_DVBT, multiplex);
}

OMBREL_API unsigned long OMBREL_CALL OB_SelectPids_DVBS(unsigned long handle, _OMBREL_SELECT_PIDS_S* pids) {
    return SetRecord(handle, OMBREL_PROP_SELECT_PIDS_DVBS, pids);
}

OMBREL_API unsigned long OMBREL_CALL OB_SelectPids_DVBT(unsigned long handle, _OMBREL_SELECT_PIDS_DVBT* pids) {
    return SetRecord(handle, OMBREL_PROP_SELECT_PIDS_DVBT, pids);
}

OMBREL_API unsigned long OMBREL_CALL OB_TuneQPSK(unsigned long handle, _OMBREL_TUNE_QPSK_PARAM* parameters) {
    return WithPropertySet(handle, [&](IKsPropertySet* properties) -> unsigned long {
        if (!parameters) return OB_INVALID_PARAMETER;
        // Outside the intermediate-frequency band nothing is sent, and that is no error.
        if (!InQpskBand(parameters->Frequency)) return OB_SUCCESS;
        return SetProperty(properties, OMBREL_PROP_TUNE_QPSK, parameters, sizeof *parameters);
    });
}

OMBREL_API unsigned long OMBREL_CALL OB_SendLnbCmd(unsigned long handle, _OMBREL_LNB_CMD* command) {
    return SetRecord(handle, OMBREL_PROP_LNB_CMD, command);
}

OMBREL_API unsigned long OMBREL_CALL OB_SetLNBParameter(unsigned long handle, _OMBREL_LNB_PARAMETERS* parameters) {
    return SetRecord(handle, OMBREL_PROP_SET_LNB_PARAMETERS, parameters);
}

OMBREL_API unsigned long OMBREL_CALL OB_GetLNBParameter(unsigned long handle, _OMBREL_LNB_PARAMETERS* parameters) {
    return GetRecord(handle, OMBREL_PROP_GET_LNB_PARAMETERS, parameters);
}

OMBREL_API unsigned long OMBREL_CALL OB_SetPowerState(unsigned long handle, unsigned char state) {
    return SetByte(handle, OMBREL_PROP_POWER_STATE, state);
}

OMBREL_API unsigned long OMBREL_CALL OB_SetAutoTune(unsigned long handle, int flag) {
    return SetByte(handle, OMBREL_PROP_AUTO_TUNE, flag != 0 ? 1 : 0);
}

OMBREL_API unsigned long OMBREL_CALL OB_GetFrontendStatus(unsigned long handle, _OMBREL_FRONTEND_STATUS* status) {
    return GetRecord(handle, OMBREL_PROP_FRONTEND_STATUS, status);
}

OMBREL_API unsigned long OMBREL_CALL OB_CheckTuningFlag(unsigned long handle, int* flag, LARGE_INTEGER* value) {
    return WithPropertySet(handle, [&](IKsPropertySet* properties) -> unsigned long {
        if (!flag || !value) return OB_INVALID_PARAMETER;
        unsigned char reply[kTuningFlagReplyLength] = {};
        if (GetProperty(properties, OMBREL_PROP_TUNING_FLAG, reply, sizeof reply) != OB_SUCCESS) return OB_FAILED;
        // Bytes 4 to 7 only align the 64-bit value; they are not read.
        std::memcpy(flag, reply + kFlagOffset, 4);
        std::memcpy(&value->LowPart, reply + kValueLowOffset, 4);
        std::memcpy(&value->HighPart, reply + kValueHighOffset, 4);
        return OB_SUCCESS;
    });
}
