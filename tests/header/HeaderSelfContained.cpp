#include <windows.h>
#include <OmbrelApi.h>

// Record sizes are part of the contract with the driver and with callers.
static_assert(sizeof(_OMBREL_GUID) == 8);
static_assert(sizeof(_OMBREL_FIRMWARE_VERSION) == 8);
static_assert(sizeof(_OMBREL_DRIVER_VERSION) == 21);
static_assert(sizeof(_OMBREL_SYSTEM_INFO) == 8);
static_assert(sizeof(_OMBREL_BOARD_TEMPERATURE) == 4);
static_assert(sizeof(_OMBREL_FIRMWARE_UPDATE_STATUS) == 3);
static_assert(sizeof(OMBREL_TUNER_TYPE) == 4);
static_assert(sizeof(_OMBREL_SELECT_MULTIPLEX_DVBS) == 12);
static_assert(sizeof(_OMBREL_SELECT_MULTIPLEX_DVBT) == 12);
static_assert(sizeof(_OMBREL_SELECT_PIDS_S) == 60);
static_assert(sizeof(_OMBREL_SELECT_PIDS_DVBT) == 56);
static_assert(sizeof(_OMBREL_TUNE_QPSK_PARAM) == 12);
static_assert(sizeof(_OMBREL_LNB_CMD) == 25);
static_assert(sizeof(_OMBREL_LNB_PARAMETERS) == 42);
static_assert(sizeof(_OMBREL_FRONTEND_STATUS) == 28);
static_assert(sizeof(unsigned long) == 4, "handles and codes are 32-bit");
static_assert(sizeof(_OMBREL_CI_MESSAGE) == OMBREL_CI_MESSAGE_SIZE);
static_assert(sizeof(_UTC_TIME) == 5);
static_assert(OMBREL_MSG_REMOTE_KEY == 0x40A, "the remote-control message follows the CI messages");
static_assert(sizeof(_OMBREL_TUNER_CAPABILITIES) == OMBREL_TUNER_CAPABILITIES_SIZE_V1, "the capabilities record of version 1");
