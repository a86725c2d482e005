// OmbrelApi: access to Talvex tuner boxes (WDM and BDA driver models).
//
// Flat exports, caller-cleans-stack convention, C++ linkage (the names are
// type-decorated so that one name can carry two argument lists). Every export
// returns a code; nothing else crosses the library boundary. Handles are opaque
// 32-bit numbers (never 0); texts are ANSI in the system code page.
//
// Self-contained: brings in <windows.h> itself.
#ifndef OMBRELAPI_H
#define OMBRELAPI_H

#include <windows.h>

#ifdef OMBREL_BUILDING_LIBRARY
#define OMBREL_API __declspec(dllexport)
#else
#define OMBREL_API __declspec(dllimport)
#endif
#define OMBREL_CALL __cdecl

struct IBaseFilter;

// ---------------------------------------------------------------------------
// Return codes
// ---------------------------------------------------------------------------
#define OB_SUCCESS           0UL
#define OB_FAILED            1UL
#define OB_INVALID_HANDLE    2UL
#define OB_INVALID_PARAMETER 3UL
#define OB_IN_USE            4UL
#define OB_NOT_SUPPORTED     5UL

// ---------------------------------------------------------------------------
// Window messages (wParam = device handle, lParam = 0, unless noted)
// ---------------------------------------------------------------------------
#define OMBREL_MSG_ATTACHED        0x401  // posted to the handle's window
#define OMBREL_MSG_DETACHED        0x402  // posted to the handle's window
#define OMBREL_MSG_DEVICES_CHANGED 0x403  // sent to general windows, wParam 0

// Posted by the Common Interface poll thread to the window of the handle that opened
// the session (OB_CI_Open).
#define OMBREL_MSG_CI_MODULE_PRESENT 0x404  // a module was found in the slot
#define OMBREL_MSG_CI_MODULE_READY   0x405  // the module became ready
#define OMBREL_MSG_CI_MODULE_GONE    0x406  // the module left the slot
#define OMBREL_MSG_CI_FLAG_100       0x407  // at every poll that reads status bit 0x0100
#define OMBREL_MSG_CI_FLAG_40        0x408  // at every poll that reads status bit 0x0040
#define OMBREL_MSG_CI_FLAG_80        0x409  // at every poll that reads status bit 0x0080

// Posted by the remote-control reader to the window of the handle that started it;
// lParam = key code (byte 0 * 256 + byte 1).
#define OMBREL_MSG_REMOTE_KEY      0x40A

// ---------------------------------------------------------------------------
// Driver property set and its property numbers
// ---------------------------------------------------------------------------
// {AB132414-D060-11D0-8583-00C04FD9BAF3}
#define OMBREL_PROPSETID_INIT \
    {0xAB132414, 0xD060, 0x11D0, {0x85, 0x83, 0x00, 0xC0, 0x4F, 0xD9, 0xBA, 0xF3}}

#define OMBREL_PROP_SELECT_MULTIPLEX_DVBS 0
#define OMBREL_PROP_SELECT_PIDS_DVBS      2
#define OMBREL_PROP_DRIVER_VERSION        4
#define OMBREL_PROP_SELECT_MULTIPLEX_DVBT 5
#define OMBREL_PROP_SELECT_PIDS_DVBT      6
#define OMBREL_PROP_FRONTEND_STATUS       9
#define OMBREL_PROP_SYSTEM_INFO           10
#define OMBREL_PROP_FIRMWARE_VERSION      11
#define OMBREL_PROP_LNB_CMD               12
#define OMBREL_PROP_GET_LNB_PARAMETERS    13
#define OMBREL_PROP_SET_LNB_PARAMETERS    14
#define OMBREL_PROP_POWER_STATE           15
#define OMBREL_PROP_AUTO_TUNE             16
#define OMBREL_PROP_UPDATE_FIRMWARE       17
#define OMBREL_PROP_UPDATE_STATUS         18
#define OMBREL_PROP_CI_COMMAND            22
#define OMBREL_PROP_CI_REQUEST            23
#define OMBREL_PROP_BOARD_TEMPERATURE     24
#define OMBREL_PROP_TUNE_QPSK             25
#define OMBREL_PROP_REMOTE_KEY            26
#define OMBREL_PROP_REMOTE_CANCEL         27
#define OMBREL_PROP_CI_STATUS             28
#define OMBREL_PROP_TUNING_FLAG           30

// ---------------------------------------------------------------------------
// Records (packed, little-endian unless a field says otherwise)
// ---------------------------------------------------------------------------
#pragma pack(push, 1)

typedef enum OMBREL_TUNER_TYPE {
    OMBREL_TUNER_TYPE_WDM = 0,  // found among the WDM capture filters
    OMBREL_TUNER_TYPE_BDA = 1   // found among the BDA network-tuner filters
} OMBREL_TUNER_TYPE;

// The 64-bit device identifier that the display name spells, low word first.
typedef struct _OMBREL_GUID {
    unsigned long GuidLow;
    unsigned long GuidHigh;
} OMBREL_GUID;

typedef struct _OMBREL_FIRMWARE_VERSION {
    unsigned char ProductLine;
    unsigned char ModelCode;
    unsigned char HardwareRevision;
    unsigned char VersionMajor;
    unsigned char VersionMinor;
    unsigned char VersionPatch;
    unsigned char BuildHigh;  // build number is big-endian: BuildHigh * 256 + BuildLow
    unsigned char BuildLow;
} OMBREL_FIRMWARE_VERSION;

typedef struct _OMBREL_DRIVER_VERSION {
    char Version[21];  // NUL-terminated within the 21 bytes
} OMBREL_DRIVER_VERSION;

typedef struct _OMBREL_SYSTEM_INFO {
    unsigned char Data[8];
} OMBREL_SYSTEM_INFO;

typedef struct _OMBREL_BOARD_TEMPERATURE {
    unsigned char Data[4];
} OMBREL_BOARD_TEMPERATURE;

typedef struct _OMBREL_FIRMWARE_UPDATE_STATUS {
    unsigned char Progress;   // percent, 100 = finished
    unsigned char State;      // 8 or 10: failed, ErrorCode says why
    unsigned char ErrorCode;
} OMBREL_FIRMWARE_UPDATE_STATUS;

// Common Interface: the message of the command and request properties (22, 23).
// Payload numbers are big-endian (EN 50221 objects); Length is little-endian.
#define OMBREL_CI_MESSAGE_SIZE 1036
#define OMBREL_CI_PAYLOAD_SIZE 1026

typedef struct _OMBREL_CI_MESSAGE {
    unsigned char Slot;         // always 0
    unsigned char Type;         // OMBREL_CI_MSG_*
    unsigned char Reserved1[2];
    unsigned char Reserved2[4]; // 0 in the commands of types 4 and 5
    unsigned short Length;      // payload bytes of a command
    unsigned char Payload[OMBREL_CI_PAYLOAD_SIZE];
} OMBREL_CI_MESSAGE;

// The EN 50221 UTC_time field of a date_time object, in its byte order.
typedef struct _UTC_TIME {
    unsigned char MjdHigh;  // Modified Julian Date, big-endian
    unsigned char MjdLow;
    unsigned char Hour;     // BCD
    unsigned char Minute;   // BCD
    unsigned char Second;   // BCD
} UTC_TIME;

#pragma pack(pop)

#define OMBREL_CI_MSG_OPEN             0  // command
#define OMBREL_CI_MSG_APPLICATION_INFO 1  // query
#define OMBREL_CI_MSG_PMT              2  // command
#define OMBREL_CI_MSG_DATE_TIME        4  // command and query
#define OMBREL_CI_MSG_MMI              5  // command and query
#define OMBREL_CI_MSG_ENTER_MENU       7  // command
#define OMBREL_CI_MSG_SERVICE_ID       8  // command

// Buffer sizes for the Common Interface queries: the menu string of
// OB_CI_GetApplicationInfo, and the largest body OB_CI_GetMMIObject writes.
#define OMBREL_CI_MENU_STRING_SIZE 255
#define OMBREL_CI_MMI_BODY_SIZE    1020

#define OMBREL_UPDATE_STATE_FAILED     8
#define OMBREL_UPDATE_STATE_FAILED_ALT 10

#define OMBREL_UPDATE_ERROR_SECTIONS   2  // invalid max number of sections
#define OMBREL_UPDATE_ERROR_COUNT      4  // invalid count value
#define OMBREL_UPDATE_ERROR_CRC        5  // invalid crc value
#define OMBREL_UPDATE_ERROR_HARDWARE   9  // invalid hardware version

// Length of every firmware image that OB_UpdateFirmware sends.
#define OMBREL_IMAGE_SIZE 368754

// Caller buffer sizes for the string exports.
#define OMBREL_GUID_STRING_SIZE    17
#define OMBREL_DISPLAY_STRING_SIZE 512
#define OMBREL_DEVICE_STRING_SIZE  51

// ---------------------------------------------------------------------------
// Frame, counting, opening, handles and strings
// ---------------------------------------------------------------------------
OMBREL_API unsigned long OMBREL_CALL OB_Initialize();
OMBREL_API char* OMBREL_CALL OB_GetApiVersion();

OMBREL_API unsigned long OMBREL_CALL OB_GetNumberOfDevices(unsigned long* count);
OMBREL_API unsigned long OMBREL_CALL OB_GetNumberOfWDMDevices(unsigned long* count);
OMBREL_API unsigned long OMBREL_CALL OB_GetNumberOfBDADevices(unsigned long* count);

OMBREL_API unsigned long OMBREL_CALL OB_OpenDeviceHandle(unsigned long index, unsigned long* handle);
OMBREL_API unsigned long OMBREL_CALL OB_OpenWDMDeviceHandle(unsigned long index, unsigned long* handle);
OMBREL_API unsigned long OMBREL_CALL OB_OpenBDADeviceHandle(unsigned long index, unsigned long* handle);
OMBREL_API unsigned long OMBREL_CALL OB_CloseDeviceHandle(unsigned long handle);

OMBREL_API int OMBREL_CALL OB_IsDeviceAttached(unsigned long handle);
OMBREL_API unsigned long OMBREL_CALL OB_GetTunerType(unsigned long handle, OMBREL_TUNER_TYPE* type);
OMBREL_API unsigned long OMBREL_CALL OB_GetSubunitID(unsigned long handle, unsigned int* id);
OMBREL_API unsigned long OMBREL_CALL OB_GetGUID(unsigned long handle, _OMBREL_GUID* guid);
OMBREL_API unsigned long OMBREL_CALL OB_GetGUIDString(unsigned long handle, char* buffer);
OMBREL_API unsigned long OMBREL_CALL OB_GetDisplayString(unsigned long handle, char* buffer);
OMBREL_API unsigned long OMBREL_CALL OB_GetDeviceString(unsigned long handle, char* buffer);
OMBREL_API unsigned long OMBREL_CALL OB_GetFriendlyString(unsigned long handle, char** text);
OMBREL_API unsigned long OMBREL_CALL OB_GetDirectShowFilter(unsigned long handle, IBaseFilter** filter);
OMBREL_API unsigned long OMBREL_CALL OB_GetReceiverDirectShowFilter(unsigned long handle, IBaseFilter** filter);

// ---------------------------------------------------------------------------
// Device information and firmware update
// ---------------------------------------------------------------------------
OMBREL_API unsigned long OMBREL_CALL OB_GetFirmwareVersion(unsigned long handle, _OMBREL_FIRMWARE_VERSION* version);
OMBREL_API unsigned long OMBREL_CALL OB_GetDriverVersion(unsigned long handle, _OMBREL_DRIVER_VERSION* version);
OMBREL_API unsigned long OMBREL_CALL OB_GetSystemInfo(unsigned long handle, _OMBREL_SYSTEM_INFO* info);
OMBREL_API unsigned long OMBREL_CALL OB_GetBoardTemperature(unsigned long handle, _OMBREL_BOARD_TEMPERATURE* temperature);
OMBREL_API unsigned long OMBREL_CALL OB_UpdateFirmware(unsigned long handle, const unsigned char* image);
OMBREL_API unsigned long OMBREL_CALL OB_GetRomfluxStatus(unsigned long handle, _OMBREL_FIRMWARE_UPDATE_STATUS* status);

// ---------------------------------------------------------------------------
// Notifications
// ---------------------------------------------------------------------------
OMBREL_API unsigned long OMBREL_CALL OB_RegisterGeneralNotifications(HWND window);
OMBREL_API unsigned long OMBREL_CALL OB_RegisterNotifications(unsigned long handle, HWND window);
OMBREL_API unsigned long OMBREL_CALL OB_UnregisterNotifications(unsigned long handle);

// ---------------------------------------------------------------------------
// Tuning, PID filter and LNB
// ---------------------------------------------------------------------------
// Each export below is one request to the driver: the library passes the record on as
// it is and keeps no tuning state. OB_FAILED means that the driver refused the request
// (a value out of range, a request of the other reception family) or failed. A null
// record pointer gives OB_INVALID_PARAMETER, and nothing is sent.
//
// Which box tunes what follows from its model, that is from the identification bytes
// (product line, model code) of the firmware version record:
//
//   family                product line 1                       product line 10
//   satellite (DVB-S/S2)  0x14 Pellary SATV, 0x24 Nubrik S2    0x1F Ombrel DVB-S,
//                         and S/CI, 0x28 Holtrim, 0x34 Talvex  0x22 Ombrel DVB-S-CI
//                         S2 and S/CI
//   terrestrial (DVB-T)   0x25 Nubrik T/CI, 0x35 Talvex T/CI   0x20 Ombrel DVB-T,
//                                                              0x23 Ombrel DVB-T-CI
//   terrestrial (ATSC)    0x37 Talvex ATSC                     0x25 Ombrel ATSC
//   cable (DVB-C)         0x26 Nubrik C/CI, 0x36 Talvex C/CI   0x21 Ombrel DVB-C,
//                                                              0x24 Ombrel DVB-C-CI
//
// Satellite boxes take OB_SelectMultiplex_DVBS, OB_SelectPids_DVBS, OB_TuneQPSK,
// OB_SendLnbCmd, OB_SetLNBParameter and OB_GetLNBParameter. Terrestrial boxes (ATSC
// ones too, with a 6 MHz bandwidth and OMBREL_MODULATION_8VSB) take
// OB_SelectMultiplex_DVBT and OB_SelectPids_DVBT. A box answers the requests of the
// other family with a failure. Cable boxes and models outside the table take neither
// family. Every box takes OB_SetPowerState, OB_SetAutoTune, OB_GetFrontendStatus and
// OB_CheckTuningFlag.
//
// A tune is accepted at once; the front end then needs a moment (a fraction of a
// second) to settle. Poll OB_CheckTuningFlag or OB_GetFrontendStatus until the flag is
// OMBREL_TUNING_LOCKED or OMBREL_TUNING_NO_SIGNAL. Changing the LNB parameters, sending
// an LNB command or switching the power makes the front end settle again.

// Polarisation of a satellite carrier.
#define OMBREL_POLARISATION_HORIZONTAL 0  // LNB supply 18 V
#define OMBREL_POLARISATION_VERTICAL   1  // LNB supply 13 V
#define OMBREL_POLARISATION_LEFT       2  // circular, 18 V
#define OMBREL_POLARISATION_RIGHT      3  // circular, 13 V

// Modulation. Satellite: AUTO, QPSK, 8PSK. DVB-T: AUTO, QPSK, QAM16, QAM64. ATSC: AUTO, 8VSB.
#define OMBREL_MODULATION_AUTO  0
#define OMBREL_MODULATION_QPSK  1
#define OMBREL_MODULATION_8PSK  2
#define OMBREL_MODULATION_QAM16 3
#define OMBREL_MODULATION_QAM64 4
#define OMBREL_MODULATION_8VSB  5

// Inner code rate (FEC). DVB-T: AUTO to 7/8.
#define OMBREL_FEC_AUTO 0
#define OMBREL_FEC_1_2  1
#define OMBREL_FEC_2_3  2
#define OMBREL_FEC_3_4  3
#define OMBREL_FEC_5_6  4
#define OMBREL_FEC_7_8  5
#define OMBREL_FEC_3_5  6
#define OMBREL_FEC_4_5  7
#define OMBREL_FEC_8_9  8
#define OMBREL_FEC_9_10 9

// Terrestrial guard interval and transmission mode.
#define OMBREL_GUARD_AUTO 0
#define OMBREL_GUARD_1_32 1
#define OMBREL_GUARD_1_16 2
#define OMBREL_GUARD_1_8  3
#define OMBREL_GUARD_1_4  4
#define OMBREL_TRANSMISSION_AUTO 0
#define OMBREL_TRANSMISSION_2K   1
#define OMBREL_TRANSMISSION_8K   2

// 22 kHz tone (selects the LNB's high band) and LNB supply voltage.
#define OMBREL_TONE_OFF  0
#define OMBREL_TONE_ON   1
#define OMBREL_TONE_AUTO 2  // LNB parameters only: on for the high band
#define OMBREL_LNB_VOLTAGE_OFF  0
#define OMBREL_LNB_VOLTAGE_13V  1
#define OMBREL_LNB_VOLTAGE_18V  2
#define OMBREL_LNB_VOLTAGE_AUTO 3  // by polarisation: 13 V vertical/right, 18 V horizontal/left

// Tone burst (mini DiSEqC) after an LNB command: satellite A or B of a simple switch.
#define OMBREL_TONE_BURST_NONE 0
#define OMBREL_TONE_BURST_A    1
#define OMBREL_TONE_BURST_B    2

// Power state of the front end (OB_SetPowerState).
#define OMBREL_POWER_OFF 0  // tuner and LNB supply off; the lock is lost
#define OMBREL_POWER_ON  1

// Tuning flag (OB_CheckTuningFlag).
#define OMBREL_TUNING_BUSY      0   // settling, or nothing tuned since power-on
#define OMBREL_TUNING_LOCKED    1   // locked on the multiplex of the last tune
#define OMBREL_TUNING_NO_SIGNAL (-1) // settled without finding that multiplex

#define OMBREL_PID_ALL         0x2000  // in a PID list: pass the whole transport stream
#define OMBREL_MAX_PIDS_DVBS   29
#define OMBREL_MAX_PIDS_DVBT   27
#define OMBREL_DISEQC_MAX_MESSAGE 16

// The frequency band that OB_TuneQPSK accepts (satellite intermediate frequency, kHz).
#define OMBREL_QPSK_MIN_FREQUENCY 950000UL
#define OMBREL_QPSK_MAX_FREQUENCY 2150000UL

#pragma pack(push, 1)

// A satellite multiplex by its downlink frequency (12 bytes, property 0). The driver
// works out the intermediate frequency, the 22 kHz tone and the LNB voltage from the
// LNB parameters (OB_SetLNBParameter); the dish input is whatever the last LNB command
// selected.
typedef struct _OMBREL_SELECT_MULTIPLEX_DVBS {
    unsigned long Frequency;     // downlink frequency in kHz, e.g. 11362000
    unsigned long SymbolRate;    // kilosymbols per second, 1000..45000, e.g. 22000
    unsigned char Polarisation;  // OMBREL_POLARISATION_*
    unsigned char Modulation;    // OMBREL_MODULATION_AUTO, _QPSK or _8PSK
    unsigned char Fec;           // OMBREL_FEC_*
    unsigned char Reserved;      // 0
} OMBREL_SELECT_MULTIPLEX_DVBS;

// A terrestrial multiplex (12 bytes, property 5). AUTO values let the tuner find out.
typedef struct _OMBREL_SELECT_MULTIPLEX_DVBT {
    unsigned long Frequency;         // centre frequency in kHz, 47000..862000, e.g. 474000
    unsigned char Bandwidth;         // channel bandwidth in MHz: 6, 7 or 8
    unsigned char Modulation;        // OMBREL_MODULATION_*
    unsigned char Fec;               // OMBREL_FEC_* (high-priority stream)
    unsigned char GuardInterval;     // OMBREL_GUARD_*
    unsigned char TransmissionMode;  // OMBREL_TRANSMISSION_*
    unsigned char Reserved[3];       // 0
} OMBREL_SELECT_MULTIPLEX_DVBT;

// The packet identifiers that the tuner passes on (60 bytes, property 2). The list
// replaces the previous one; PidCount 0 passes nothing.
typedef struct _OMBREL_SELECT_PIDS_S {
    unsigned short PidCount;                    // entries of Pids in use, 0..29
    unsigned short Pids[OMBREL_MAX_PIDS_DVBS];  // 0..0x1FFF, or OMBREL_PID_ALL
} OMBREL_SELECT_PIDS_S;

// The same for a terrestrial box (56 bytes, property 6).
typedef struct _OMBREL_SELECT_PIDS_DVBT {
    unsigned short PidCount;                    // entries of Pids in use, 0..27
    unsigned short Pids[OMBREL_MAX_PIDS_DVBT];  // 0..0x1FFF, or OMBREL_PID_ALL
} OMBREL_SELECT_PIDS_DVBT;

// A satellite carrier by its intermediate frequency (12 bytes, property 25). The
// record itself sets the LNB voltage (by polarisation) and the tone; the LNB
// parameters are not used.
typedef struct _OMBREL_TUNE_QPSK_PARAM {
    unsigned long Frequency;     // intermediate frequency in kHz, 950000..2150000; the
                                 // library sends nothing for a value outside
    unsigned long SymbolRate;    // kilosymbols per second, 1000..45000
    unsigned char Polarisation;  // OMBREL_POLARISATION_*
    unsigned char Modulation;    // OMBREL_MODULATION_AUTO, _QPSK or _8PSK
    unsigned char Fec;           // OMBREL_FEC_*
    unsigned char Tone22kHz;     // OMBREL_TONE_OFF (low band) or OMBREL_TONE_ON (high band)
} OMBREL_TUNE_QPSK_PARAM;

// A command to the LNB and the switches in front of it (25 bytes, property 12): a
// DiSEqC message, then an optional tone burst. Example, DiSEqC 1.0 committed switch to
// input B (satellite 2): MessageLength 4, Message E0 10 38 F4 (data F0 + 4 * input).
typedef struct _OMBREL_LNB_CMD {
    unsigned char MessageLength;                       // bytes of Message to send, 0..16
    unsigned char Message[OMBREL_DISEQC_MAX_MESSAGE];  // framing, address, command, data
    unsigned char ToneBurst;                           // OMBREL_TONE_BURST_*
    unsigned char Reserved[7];                         // 0
} OMBREL_LNB_CMD;

// How the driver drives the LNB when it selects a satellite multiplex by its downlink
// frequency (42 bytes, property 14 to set, 13 to read back; read back unchanged).
// A universal LNB: 9750000, 10600000, 11700000, OMBREL_TONE_AUTO,
// OMBREL_LNB_VOLTAGE_AUTO (what a box starts with).
typedef struct _OMBREL_LNB_PARAMETERS {
    unsigned long LofLow;           // low-band local oscillator in kHz
    unsigned long LofHigh;          // high-band local oscillator in kHz; 0: single band
    unsigned long SwitchFrequency;  // downlink frequency in kHz from which the high band is used
    unsigned char Tone22kHz;        // OMBREL_TONE_*
    unsigned char Voltage;          // OMBREL_LNB_VOLTAGE_*
    unsigned char Reserved[28];     // kept and returned by the driver; 0
} OMBREL_LNB_PARAMETERS;

// The front end's state now (28 bytes, property 9).
typedef struct _OMBREL_FRONTEND_STATUS {
    unsigned long Locked;             // 1: demodulator locked on the tuned multiplex
    unsigned long CarrierPresent;     // 1: a carrier at the tuned frequency
    unsigned long SignalStrength;     // percent, 0..100
    unsigned long SignalQuality;      // percent, 0..100; 0 without lock
    unsigned long BitErrorRate;       // bit errors per 10^8 bits before correction; 0 without lock
    unsigned long UncorrectedBlocks;  // blocks the error correction lost since the lock
    unsigned long SignalToNoise;      // in 0.1 dB; 0 without a carrier
} OMBREL_FRONTEND_STATUS;

#pragma pack(pop)

OMBREL_API unsigned long OMBREL_CALL OB_SelectMultiplex_DVBS(unsigned long handle, _OMBREL_SELECT_MULTIPLEX_DVBS* multiplex);
OMBREL_API unsigned long OMBREL_CALL OB_SelectMultiplex_DVBT(unsigned long handle, _OMBREL_SELECT_MULTIPLEX_DVBT* multiplex);
OMBREL_API unsigned long OMBREL_CALL OB_SelectPids_DVBS(unsigned long handle, _OMBREL_SELECT_PIDS_S* pids);
OMBREL_API unsigned long OMBREL_CALL OB_SelectPids_DVBT(unsigned long handle, _OMBREL_SELECT_PIDS_DVBT* pids);
// Returns OB_SUCCESS without contacting the driver when the frequency lies outside
// OMBREL_QPSK_MIN_FREQUENCY..OMBREL_QPSK_MAX_FREQUENCY.
OMBREL_API unsigned long OMBREL_CALL OB_TuneQPSK(unsigned long handle, _OMBREL_TUNE_QPSK_PARAM* parameters);
OMBREL_API unsigned long OMBREL_CALL OB_SendLnbCmd(unsigned long handle, _OMBREL_LNB_CMD* command);
OMBREL_API unsigned long OMBREL_CALL OB_SetLNBParameter(unsigned long handle, _OMBREL_LNB_PARAMETERS* parameters);
OMBREL_API unsigned long OMBREL_CALL OB_GetLNBParameter(unsigned long handle, _OMBREL_LNB_PARAMETERS* parameters);
// The byte goes to the driver unchanged (OMBREL_POWER_*).
OMBREL_API unsigned long OMBREL_CALL OB_SetPowerState(unsigned long handle, unsigned char state);
// Automatic tuning: with it on (what a box starts with), the front end tunes the last
// multiplex again by itself when the power comes back. Any non-zero flag turns it on.
OMBREL_API unsigned long OMBREL_CALL OB_SetAutoTune(unsigned long handle, int flag);
OMBREL_API unsigned long OMBREL_CALL OB_GetFrontendStatus(unsigned long handle, _OMBREL_FRONTEND_STATUS* status);
// Writes the tuning flag (OMBREL_TUNING_*) and, with a lock, the frequency of the
// carrier found in Hz (satellite: downlink frequency; terrestrial: centre frequency),
// else 0. OB_INVALID_PARAMETER when either pointer is null; on a failure neither
// output is written.
OMBREL_API unsigned long OMBREL_CALL OB_CheckTuningFlag(unsigned long handle, int* flag, LARGE_INTEGER* value);

// ---------------------------------------------------------------------------
// Common Interface
// ---------------------------------------------------------------------------
// A session polls the slot's status and posts OMBREL_MSG_CI_* to the window that
// OB_RegisterNotifications set on the opening handle. One session per device across
// all processes: OB_CI_Open returns OB_NOT_SUPPORTED for a model without a slot,
// OB_FAILED when this process has the session open already, OB_IN_USE when another
// process has it. Closing the owning handle closes its session first.
OMBREL_API unsigned long OMBREL_CALL OB_CI_Open(unsigned long handle);
OMBREL_API unsigned long OMBREL_CALL OB_CI_Close(unsigned long handle);
// 50 to 300 milliseconds; 200 at every open.
OMBREL_API unsigned long OMBREL_CALL OB_CI_SetPollingIntervall(unsigned long handle, unsigned long intervalMs);

// Commands and queries need no session. A PMT is 1 to 1024 bytes; the short form sends
// list management 3 (only) and command 1 (ok_descrambling).
OMBREL_API unsigned long OMBREL_CALL OB_CI_SendPMT(unsigned long handle, unsigned short length,
                                                   const unsigned char* pmt);
OMBREL_API unsigned long OMBREL_CALL OB_CI_SendPMT(unsigned long handle, unsigned short length,
                                                   unsigned char listManagement, unsigned char command,
                                                   const unsigned char* pmt);
// menuString: OMBREL_CI_MENU_STRING_SIZE bytes; no NUL is added.
OMBREL_API unsigned long OMBREL_CALL OB_CI_GetApplicationInfo(unsigned long handle, unsigned short* manufacturer,
                                                              unsigned short* manufacturerCode,
                                                              unsigned char* menuStringLength,
                                                              unsigned char* menuString);
OMBREL_API unsigned long OMBREL_CALL OB_CI_EnterMenu(unsigned long handle);
OMBREL_API unsigned long OMBREL_CALL OB_CI_CloseMMI(unsigned long handle);
// Writes the object's tag (9F88xx); for a length field the library can read, also the
// body's length and the body (body: OMBREL_CI_MMI_BODY_SIZE bytes). A body that the
// length field claims beyond the reply is cut at the reply's end.
OMBREL_API unsigned long OMBREL_CALL OB_CI_GetMMIObject(unsigned long handle, unsigned short* length,
                                                        unsigned long* tag, unsigned char* body);
OMBREL_API unsigned long OMBREL_CALL OB_CI_SendMenuAnswer(unsigned long handle, unsigned char choice);
// Answer identifier 0 cancels (length and text are then ignored).
OMBREL_API unsigned long OMBREL_CALL OB_CI_SendEnqAnswer(unsigned long handle, unsigned char answerId,
                                                         unsigned char length, const unsigned char* text);
OMBREL_API unsigned long OMBREL_CALL OB_CI_GetDateTimeInfo(unsigned long handle, unsigned char* value);
// A local offset of 0 is not sent.
OMBREL_API unsigned long OMBREL_CALL OB_CI_SetDateTimeInfo(unsigned long handle, _UTC_TIME time,
                                                           unsigned short localOffset);
OMBREL_API unsigned long OMBREL_CALL OB_CI_SendServiceID(unsigned long handle, unsigned short serviceId);

// ---------------------------------------------------------------------------
// Remote control
// ---------------------------------------------------------------------------
// One reader per device, across all processes. Start: 0, 1 when a reader already runs for
// the device in this process (or ended after a failed key read and was not stopped yet), 4
// when another process runs it. Stop: 0, 1 when no reader runs or another handle started it.
// Keys go to the window registered with OB_RegisterNotifications on the starting handle;
// without one they are read and dropped. Closing the starting handle stops the reader.
OMBREL_API unsigned long OMBREL_CALL OB_RemoteControl_Start(unsigned long handle);
OMBREL_API unsigned long OMBREL_CALL OB_RemoteControl_Stop(unsigned long handle);

#endif  // OMBRELAPI_H
