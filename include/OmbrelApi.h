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

#endif  // OMBRELAPI_H
