// OmbrelApi: access to Talvex tuner boxes (WDM and BDA driver models).
//
// Flat exports, caller-cleans-stack convention, C++ linkage (the names are
// type-decorated so that one name can carry two argument lists). Every export
// returns a code; nothing else crosses the library boundary. Handles are opaque
// 32-bit numbers (never 0); texts are ANSI in the system code page.
//
// Self-contained: brings in <windows.h> itself. C++ only: a C build stops with an #error.

/**
 * @file OmbrelApi.h
 * @brief OmbrelApi: access to Talvex tuner boxes of both driver models (WDM capture
 *        filter, or BDA network tuner with its receiver component).
 *
 * The library is a set of flat C++ functions, all named `OB_...`, each returning a code
 * (#OB_SUCCESS and the other `OB_` codes) and never failing in any other way. They use the
 * caller-cleans-stack convention and C++ linkage; OmbrelApi.dll exports every one both
 * under the name that GNU compilers give it and under the name that Microsoft's compiler
 * gives it, so programs of either toolchain link against it (`OmbrelApi.dll.a` or
 * `OmbrelApi.lib`).
 *
 * @section calling_order Calling order
 * 1. #OB_Initialize once (later calls return #OB_SUCCESS and do nothing). Before it the
 *    device table is empty: counts are 0, every open fails and every handle is unknown.
 * 2. Optionally register windows: #OB_RegisterGeneralNotifications for "the set of
 *    tuners changed", #OB_RegisterNotifications per handle for "this tuner went / came
 *    back".
 * 3. Read a count (#OB_GetNumberOfDevices, #OB_GetNumberOfWDMDevices,
 *    #OB_GetNumberOfBDADevices) and open handles by index from 0 to count - 1 with the
 *    matching open function.
 * 4. Use the handles with the per-device functions, then close each one with
 *    #OB_CloseDeviceHandle.
 *
 * Every per-device function takes the handle first, looks it up, and returns
 * #OB_INVALID_HANDLE without touching its other arguments when the handle is unknown
 * (#OB_IsDeviceAttached returns 0 instead).
 *
 * @section threading Threads
 * - Every function may be called from any thread. The library serialises its device
 *   table: rescans, opens, closes and lookups behave as if they ran one after the other.
 * - #OB_Initialize starts one window thread per process. It owns a hidden top-level
 *   window, class and title "Ombrel_Api", and rescans the tuners whenever the system
 *   broadcasts a device change (`WM_DEVICECHANGE`, whatever its event).
 * - A rescan runs on the window thread (and once on the thread that calls
 *   #OB_Initialize). It posts #OMBREL_MSG_ATTACHED and #OMBREL_MSG_DETACHED and then
 *   *sends* #OMBREL_MSG_DEVICES_CHANGED, waiting until each general window has handled
 *   it. The library holds no lock while it sends, so a window may call any export while
 *   it handles the message (count, open and close devices); it must not wait for
 *   another thread that is itself waiting for the library's window thread.
 * - The rescans initialise COM on the thread that runs them (`CoInitialize`, a
 *   single-threaded apartment, left as it is when the thread was initialised already),
 *   so the thread that calls #OB_Initialize is initialised from then on. The library
 *   never uninitialises it.
 * - Driver requests run on the caller's thread; the driver may receive them while other
 *   threads use the same device. Filters are bound on the thread that opens the handle
 *   and then used from whichever thread calls.
 * - Each running remote-control reader has a thread of its own, which waits in the
 *   driver for keys and posts #OMBREL_MSG_REMOTE_KEY.
 * - Each open Common Interface session has a poll thread of its own, which reads the
 *   slot's status from the driver at every poll interval and posts the module's messages
 *   (#OMBREL_MSG_CI_MODULE_PRESENT to #OMBREL_MSG_CI_FLAG_80; see @ref common_interface).
 *   #OB_CI_Close waits for it to end.
 *
 * @section lifetime Lifetimes
 * - A handle is valid from its open until #OB_CloseDeviceHandle, also across a detach
 *   and return of its tuner (requests to a detached tuner fail with #OB_FAILED). Closing
 *   it again returns #OB_INVALID_HANDLE.
 * - Devices are never removed from the table while the library is loaded: a tuner that
 *   goes stays known as detached, and the same entry is attached again when it comes
 *   back.
 * - #OB_GetFriendlyString and #OB_GetApiVersion give texts that stay valid while the
 *   library is loaded. #OB_GetDirectShowFilter and #OB_GetReceiverDirectShowFilter lend
 *   filters without adding a reference: valid until the handle is closed, never
 *   released by the caller.
 * - The string functions copy into buffers that the caller provides and whose size
 *   they are not told: #OMBREL_GUID_STRING_SIZE, #OMBREL_DISPLAY_STRING_SIZE and
 *   #OMBREL_DEVICE_STRING_SIZE bytes. The device information, firmware update and
 *   tuning functions refuse a null record or image (#OB_INVALID_PARAMETER, nothing
 *   sent) but must otherwise get a whole one.
 * - Windows registered for general notifications stay registered while the library
 *   is loaded; a window that no longer exists is skipped.
 * - A remote-control reader runs from #OB_RemoteControl_Start until
 *   #OB_RemoteControl_Stop or the close of the handle that started it.
 * - A Common Interface session is open from #OB_CI_Open until #OB_CI_Close or the close
 *   of the handle that opened it.
 * - Unloading the library stops the remote-control readers still running, closes the
 *   Common Interface sessions still open and frees the device table; handles still open
 *   are abandoned.
 */
#ifndef OMBRELAPI_H
#define OMBRELAPI_H

#ifndef __cplusplus
// The rest is skipped, so that a C build stops at this one message.
#error "OmbrelApi.h is C++ only: the OB_ functions have C++ linkage (type-decorated names), which C cannot call. Compile the file that includes it as C++."
#else

#include <windows.h>

#ifdef OMBREL_BUILDING_LIBRARY
#define OMBREL_API __declspec(dllexport)
#else
/** Imports a function of OmbrelApi.dll (the library builds with `OMBREL_BUILDING_LIBRARY`). */
#define OMBREL_API __declspec(dllimport)
#endif
/** The calling convention of every export: the caller cleans the stack. */
#define OMBREL_CALL __cdecl

struct IBaseFilter;

// ---------------------------------------------------------------------------
// Return codes
// ---------------------------------------------------------------------------
/** @name Return codes
 *  The result of every export (32-bit unsigned). @{ */
#define OB_SUCCESS           0UL  ///< The call did what it says.
#define OB_FAILED            1UL  ///< The call failed: the driver refused or failed, a device could not be opened, an index was out of range.
#define OB_INVALID_HANDLE    2UL  ///< The handle is unknown (never opened, or closed).
#define OB_INVALID_PARAMETER 3UL  ///< An argument is outside what the function accepts.
#define OB_IN_USE            4UL  ///< The device's resource is taken by another handle or process.
#define OB_NOT_SUPPORTED     5UL  ///< The device does not have what the call asks for.
/** @} */

// ---------------------------------------------------------------------------
// Window messages (wParam = device handle, lParam = 0, unless noted)
// ---------------------------------------------------------------------------
/** @name Window messages
 *  Window messages of the library (in the range left to applications). @{ */
/** The handle's tuner was detached and is found again. Posted to the window that
 *  #OB_RegisterNotifications set for the handle; wParam = the handle, lParam = 0. */
#define OMBREL_MSG_ATTACHED        0x401
/** The handle's tuner is no longer found; the handle stays valid. Posted to the window
 *  that #OB_RegisterNotifications set for the handle; wParam = the handle, lParam = 0. */
#define OMBREL_MSG_DETACHED        0x402
/** A rescan detached, re-attached or added at least one tuner. Sent (synchronously, from
 *  the library's window thread) to every window of #OB_RegisterGeneralNotifications, once
 *  per registration, after the per-handle messages of the same rescan were posted;
 *  wParam = 0, lParam = 0. Counts and indexes may have changed: reopen by index. */
#define OMBREL_MSG_DEVICES_CHANGED 0x403
/** A conditional-access module was found in the slot (module state 0 to 1; see
 *  @ref common_interface). Posted by the session's poll thread to the window that
 *  #OB_RegisterNotifications set for the handle that opened the session (#OB_CI_Open);
 *  wParam = that handle, lParam = 0. */
#define OMBREL_MSG_CI_MODULE_PRESENT 0x404
/** The module in the slot became ready (module state 1 to 2). Posted as
 *  #OMBREL_MSG_CI_MODULE_PRESENT is, in the same poll after it when the module is found
 *  ready at once; wParam = the session's handle, lParam = 0. */
#define OMBREL_MSG_CI_MODULE_READY   0x405
/** The module left the slot (module state 1 or 2 to 0). Posted as
 *  #OMBREL_MSG_CI_MODULE_PRESENT is; wParam = the session's handle, lParam = 0. */
#define OMBREL_MSG_CI_MODULE_GONE    0x406
/** The driver flags a pending event: posted at every poll that reads bit 0x0100 of the
 *  slot's status word set, as long as the driver keeps it set. What the event stands for
 *  is the driver's to say; the library only relays it. Posted as
 *  #OMBREL_MSG_CI_MODULE_PRESENT is; wParam = the session's handle, lParam = 0. */
#define OMBREL_MSG_CI_FLAG_100       0x407
/** As #OMBREL_MSG_CI_FLAG_100, for bit 0x0040 of the status word; wParam = the session's
 *  handle, lParam = 0. */
#define OMBREL_MSG_CI_FLAG_40        0x408
/** As #OMBREL_MSG_CI_FLAG_100, for bit 0x0080 of the status word; wParam = the session's
 *  handle, lParam = 0. */
#define OMBREL_MSG_CI_FLAG_80        0x409
/** A key of the remote control (see @ref remote_control). Posted by the device's reader,
 *  from a thread of its own, to the window that #OB_RegisterNotifications set for the
 *  handle that started the reader (#OB_RemoteControl_Start), one message per key in the
 *  order received; wParam = that handle, lParam = the key code, byte 0 * 256 + byte 1 of
 *  the driver's two bytes (0 to 65535). */
#define OMBREL_MSG_REMOTE_KEY      0x40A
/** @} */

// ---------------------------------------------------------------------------
// Driver property set and its property numbers
// ---------------------------------------------------------------------------
/** @name Driver property set
 *  The driver's vendor property set on the tuner filter (`IKsPropertySet`) and its
 *  property numbers. The library makes every driver request through them; applications
 *  need them only to talk to the driver directly through #OB_GetDirectShowFilter. @{ */
/** Initialiser of the property set's GUID, {AB132414-D060-11D0-8583-00C04FD9BAF3}. */
#define OMBREL_PROPSETID_INIT \
    {0xAB132414, 0xD060, 0x11D0, {0x85, 0x83, 0x00, 0xC0, 0x4F, 0xD9, 0xBA, 0xF3}}

#define OMBREL_PROP_SELECT_MULTIPLEX_DVBS 0  ///< Set: select a DVB-S multiplex.
#define OMBREL_PROP_SELECT_PIDS_DVBS      2  ///< Set: PID filter, DVB-S.
#define OMBREL_PROP_DRIVER_VERSION        4  ///< Get: driver version text (#OB_GetDriverVersion).
#define OMBREL_PROP_SELECT_MULTIPLEX_DVBT 5  ///< Set: select a DVB-T multiplex.
#define OMBREL_PROP_SELECT_PIDS_DVBT      6  ///< Set: PID filter, DVB-T.
#define OMBREL_PROP_FRONTEND_STATUS       9  ///< Get: front-end status.
#define OMBREL_PROP_SYSTEM_INFO           10  ///< Get: system information (#OB_GetSystemInfo).
#define OMBREL_PROP_FIRMWARE_VERSION      11  ///< Get: firmware version record (#OB_GetFirmwareVersion).
#define OMBREL_PROP_LNB_CMD               12  ///< Set: LNB command.
#define OMBREL_PROP_GET_LNB_PARAMETERS    13  ///< Get: LNB parameters.
#define OMBREL_PROP_SET_LNB_PARAMETERS    14  ///< Set: LNB parameters.
#define OMBREL_PROP_POWER_STATE           15  ///< Power state.
#define OMBREL_PROP_AUTO_TUNE             16  ///< Automatic tuning.
#define OMBREL_PROP_UPDATE_FIRMWARE       17  ///< Set: firmware image (#OB_UpdateFirmware).
#define OMBREL_PROP_UPDATE_STATUS         18  ///< Get: firmware update status (#OB_GetRomfluxStatus).
#define OMBREL_PROP_CI_COMMAND            22  ///< Set: Common Interface command (_OMBREL_CI_MESSAGE).
#define OMBREL_PROP_CI_REQUEST            23  ///< Set, then get: Common Interface query and its reply (_OMBREL_CI_MESSAGE).
#define OMBREL_PROP_BOARD_TEMPERATURE     24  ///< Get: board temperature (#OB_GetBoardTemperature).
#define OMBREL_PROP_TUNE_QPSK             25  ///< Set: tune a QPSK carrier.
#define OMBREL_PROP_REMOTE_KEY            26  ///< Get: next remote-control key.
#define OMBREL_PROP_REMOTE_CANCEL         27  ///< Set: cancel a pending remote-control read.
#define OMBREL_PROP_CI_STATUS             28  ///< Get: Common Interface slot's status word (2 bytes, little-endian).
#define OMBREL_PROP_TUNING_FLAG           30  ///< Get: tuning flag.
/** @} */

// ---------------------------------------------------------------------------
// Records (packed, little-endian unless a field says otherwise)
// ---------------------------------------------------------------------------
#pragma pack(push, 1)

/** The driver model through which a tuner was found (#OB_GetTunerType); 32 bits. */
typedef enum OMBREL_TUNER_TYPE {
    OMBREL_TUNER_TYPE_WDM = 0,  ///< Found among the WDM capture filters.
    OMBREL_TUNER_TYPE_BDA = 1   ///< Found among the BDA network-tuner filters.
} OMBREL_TUNER_TYPE;

/** The 64-bit device identifier that the tuner's display name spells in hexadecimal,
 *  low word first (#OB_GetGUID). 8 bytes. */
typedef struct _OMBREL_GUID {
    unsigned long GuidLow;   ///< Low 32 bits of the identifier.
    unsigned long GuidHigh;  ///< High 32 bits of the identifier.
} OMBREL_GUID;

/** The tuner's identification and firmware version, as the driver reports it
 *  (#OB_GetFirmwareVersion). 8 bytes; bytes 0 to 2 identify the hardware. */
typedef struct _OMBREL_FIRMWARE_VERSION {
    unsigned char ProductLine;       ///< Product line (1 or 10 for known tuners).
    unsigned char ModelCode;         ///< Model within the product line.
    unsigned char HardwareRevision;  ///< Hardware revision.
    unsigned char VersionMajor;      ///< Firmware version, first number.
    unsigned char VersionMinor;      ///< Firmware version, second number.
    unsigned char VersionPatch;      ///< Firmware version, third number.
    unsigned char BuildHigh;  ///< Firmware build number, high byte. The build number is big-endian: BuildHigh * 256 + BuildLow.
    unsigned char BuildLow;   ///< Firmware build number, low byte.
} OMBREL_FIRMWARE_VERSION;

/** The driver's version text (#OB_GetDriverVersion). 21 bytes. */
typedef struct _OMBREL_DRIVER_VERSION {
    char Version[21];  ///< NUL-terminated within the 21 bytes: at most 20 characters.
} OMBREL_DRIVER_VERSION;

/** System information of the tuner (#OB_GetSystemInfo), passed on as the driver gives it. 8 bytes. */
typedef struct _OMBREL_SYSTEM_INFO {
    unsigned char Data[8];  ///< The driver's bytes, unchanged.
} OMBREL_SYSTEM_INFO;

/** The tuner's board temperature (#OB_GetBoardTemperature), passed on as the driver gives it. 4 bytes. */
typedef struct _OMBREL_BOARD_TEMPERATURE {
    unsigned char Data[4];  ///< The driver's bytes, unchanged.
} OMBREL_BOARD_TEMPERATURE;

/** Progress of a firmware update, as the driver reports it (#OB_GetRomfluxStatus). 3 bytes.
 *  A `State` of #OMBREL_UPDATE_STATE_FAILED or #OMBREL_UPDATE_STATE_FAILED_ALT means the
 *  update failed, whatever `Progress` says; otherwise `Progress` 100 means it succeeded. */
typedef struct _OMBREL_FIRMWARE_UPDATE_STATUS {
    unsigned char Progress;   ///< Share of the update done, in percent: 0 to 100, 100 = finished.
    unsigned char State;      ///< 8 or 10: the update failed and ErrorCode says why; any other value: it runs or has finished.
    unsigned char ErrorCode;  ///< The reason of a failure (`OMBREL_UPDATE_ERROR_...`); meaningful when State is 8 or 10.
} OMBREL_FIRMWARE_UPDATE_STATUS;

/** @name Reception families
 *  What a tuner receives (_OMBREL_TUNER_CAPABILITIES::Reception), which says which tuning
 *  requests it takes (see @ref tuning). @{ */
#define OMBREL_RECEPTION_NONE        0  ///< Nothing the library can tune: a tuner that could not be identified, or a model outside the table.
#define OMBREL_RECEPTION_SATELLITE   1  ///< DVB-S/S2: #OB_SelectMultiplex_DVBS, #OB_TuneQPSK and the LNB requests.
#define OMBREL_RECEPTION_TERRESTRIAL 2  ///< DVB-T: #OB_SelectMultiplex_DVBT.
#define OMBREL_RECEPTION_ATSC        3  ///< ATSC: #OB_SelectMultiplex_DVBT with 6 MHz and #OMBREL_MODULATION_8VSB.
#define OMBREL_RECEPTION_CABLE       4  ///< DVB-C: neither family's tuning requests.
/** @} */

/** Bytes of the first version of _OMBREL_TUNER_CAPABILITIES: the least that
 *  #OB_GetTunerCapabilities accepts in its `Size`. */
#define OMBREL_TUNER_CAPABILITIES_SIZE_V1 12

/** What a tuner's model can do (#OB_GetTunerCapabilities), known from its identification
 *  when the library found it; no driver request. The record may grow at its end in later
 *  versions: the caller sets `Size` to the size of the record it knows
 *  (`sizeof(OMBREL_TUNER_CAPABILITIES)`), the library fills what fits both, and `Size` then
 *  tells how many bytes it filled. 12 bytes in this version. */
typedef struct _OMBREL_TUNER_CAPABILITIES {
    unsigned long Size;             ///< In: bytes of the caller's record, at least #OMBREL_TUNER_CAPABILITIES_SIZE_V1. Out: bytes filled.
    unsigned long Reception;        ///< What the tuner receives: `OMBREL_RECEPTION_...`
    unsigned long CommonInterface;  ///< 1: the tuner has a Common Interface slot (#OB_CI_Open can open a session); 0: none.
} OMBREL_TUNER_CAPABILITIES;

/** @name Common Interface messages
 *  Sizes of the message that the Common Interface commands and queries exchange with the
 *  driver (_OMBREL_CI_MESSAGE, properties 22 and 23). @{ */
#define OMBREL_CI_MESSAGE_SIZE 1036  ///< Bytes of a whole message, header and payload.
#define OMBREL_CI_PAYLOAD_SIZE 1026  ///< Bytes of its payload.
/** @} */

/** The message of the Common Interface properties (#OMBREL_PROP_CI_COMMAND,
 *  #OMBREL_PROP_CI_REQUEST; 1036 bytes; see @ref common_interface). A *command* is a set
 *  of property 22 with the whole message. A *query* is a set of property 23 with only
 *  `Slot` and `Type` filled, then a get of property 23 into the same message, in whose
 *  `Payload` the driver answers. Numbers inside the payload are big-endian, as in the EN
 *  50221 objects it carries; `Length` is little-endian. The library builds and reads these
 *  messages itself; applications need the record only to talk to the driver directly. */
typedef struct _OMBREL_CI_MESSAGE {
    unsigned char Slot;                            ///< The slot: always 0.
    unsigned char Type;                            ///< The message type, `OMBREL_CI_MSG_...`
    unsigned char Reserved1[2];                    ///< 0 in what the library sends.
    unsigned char Reserved2[4];                    ///< 0 in what the library sends.
    unsigned short Length;                         ///< Payload bytes of a command, little-endian; 0 in a query.
    unsigned char Payload[OMBREL_CI_PAYLOAD_SIZE]; ///< A command's body, or the driver's reply to a query.
} OMBREL_CI_MESSAGE;

/** The UTC_time field of an EN 50221 date_time object, in its byte order
 *  (#OB_CI_SetDateTimeInfo; 5 bytes). The library copies the bytes to the driver as they
 *  are and does not look into them. */
typedef struct _UTC_TIME {
    unsigned char MjdHigh;  ///< Modified Julian Date, high byte (the date is big-endian: MjdHigh * 256 + MjdLow).
    unsigned char MjdLow;   ///< Modified Julian Date, low byte.
    unsigned char Hour;     ///< Hour, two BCD digits (0x00..0x23).
    unsigned char Minute;   ///< Minute, two BCD digits (0x00..0x59).
    unsigned char Second;   ///< Second, two BCD digits (0x00..0x59).
} UTC_TIME;

#pragma pack(pop)

/** @name Common Interface message types
 *  Values of _OMBREL_CI_MESSAGE::Type, and which exports send each one. Types 3 and 6 do
 *  not occur. @{ */
#define OMBREL_CI_MSG_OPEN             0  ///< Command: start the slot's traffic (#OB_CI_Open).
#define OMBREL_CI_MSG_APPLICATION_INFO 1  ///< Query: the module's application information (#OB_CI_GetApplicationInfo).
#define OMBREL_CI_MSG_PMT              2  ///< Command: a CA PMT (both #OB_CI_SendPMT).
#define OMBREL_CI_MSG_DATE_TIME        4  ///< Command: date and time (#OB_CI_SetDateTimeInfo); query: the date-time reply (#OB_CI_GetDateTimeInfo).
#define OMBREL_CI_MSG_MMI              5  ///< Command: an MMI object (#OB_CI_CloseMMI, #OB_CI_SendMenuAnswer, #OB_CI_SendEnqAnswer); query: the module's MMI object (#OB_CI_GetMMIObject).
#define OMBREL_CI_MSG_ENTER_MENU       7  ///< Command: open the module's menu (#OB_CI_EnterMenu).
#define OMBREL_CI_MSG_SERVICE_ID       8  ///< Command: the service ID (#OB_CI_SendServiceID).
/** @} */

/** @name Common Interface buffer sizes
 *  Bytes that the caller provides for the Common Interface queries. @{ */
#define OMBREL_CI_MENU_STRING_SIZE 255   ///< For the menu string of #OB_CI_GetApplicationInfo.
#define OMBREL_CI_MMI_BODY_SIZE    1020  ///< For the body of #OB_CI_GetMMIObject: the largest that a reply holds.
/** @} */

/** @name Firmware update states and errors
 *  Values of _OMBREL_FIRMWARE_UPDATE_STATUS::State and _OMBREL_FIRMWARE_UPDATE_STATUS::ErrorCode. Another error code
 *  is a failure without a further reason. @{ */
#define OMBREL_UPDATE_STATE_FAILED     8   ///< State: the update failed.
#define OMBREL_UPDATE_STATE_FAILED_ALT 10  ///< State: the update failed (the driver's other failure state).

#define OMBREL_UPDATE_ERROR_SECTIONS   2  ///< Invalid max number of sections.
#define OMBREL_UPDATE_ERROR_COUNT      4  ///< Invalid count value.
#define OMBREL_UPDATE_ERROR_CRC        5  ///< Invalid crc value.
#define OMBREL_UPDATE_ERROR_HARDWARE   9  ///< Invalid hardware version: the image is not for this tuner.
/** @} */

/** Length in bytes of every firmware image that #OB_UpdateFirmware sends. */
#define OMBREL_IMAGE_SIZE 368754

/** @name Caller buffer sizes
 *  Bytes that the caller provides for the string functions, terminating NUL included. @{ */
#define OMBREL_GUID_STRING_SIZE    17   ///< For #OB_GetGUIDString.
#define OMBREL_DISPLAY_STRING_SIZE 512  ///< For #OB_GetDisplayString.
#define OMBREL_DEVICE_STRING_SIZE  51   ///< For #OB_GetDeviceString.
/** @} */

// ---------------------------------------------------------------------------
// Frame, counting, opening, handles and strings
// ---------------------------------------------------------------------------
/** Starts the library once per process: starts its window thread (hidden window
 *  "Ombrel_Api", device-change notifications) and scans the tuners, so that counts and
 *  opens see them when it returns. Initialises COM on the calling thread.
 *  @return #OB_SUCCESS, also at once for every later call; #OB_FAILED when the window
 *          thread cannot be created (the library stays uninitialised, a later call
 *          tries again). */
OMBREL_API unsigned long OMBREL_CALL OB_Initialize();
/** The library's version.
 *  @return The library's own static text, for example "1.10.2"; valid while the library
 *          is loaded, never null, available before #OB_Initialize. */
OMBREL_API char* OMBREL_CALL OB_GetApiVersion();

/** Counts the attached tuners of both driver models.
 *  @param count Receives the number.
 *  @return #OB_SUCCESS. */
OMBREL_API unsigned long OMBREL_CALL OB_GetNumberOfDevices(unsigned long* count);
/** Counts the attached tuners found as WDM capture filters.
 *  @param count Receives the number.
 *  @return #OB_SUCCESS. */
OMBREL_API unsigned long OMBREL_CALL OB_GetNumberOfWDMDevices(unsigned long* count);
/** Counts the attached tuners found as BDA network tuners.
 *  @param count Receives the number.
 *  @return #OB_SUCCESS. */
OMBREL_API unsigned long OMBREL_CALL OB_GetNumberOfBDADevices(unsigned long* count);

/** Opens a handle on the index-th attached tuner (both driver models, in the order in
 *  which the library first found them). Binds the tuner's filter and, for a BDA tuner,
 *  its receiver component. Opening a tuner twice gives two handles.
 *  @param index From 0 to #OB_GetNumberOfDevices - 1.
 *  @param handle Receives the new handle; unchanged when the index is out of range, 0
 *         when the tuner could not be bound.
 *  @return #OB_SUCCESS, or #OB_FAILED (index out of range, or the tuner's filters could
 *          not be bound). */
OMBREL_API unsigned long OMBREL_CALL OB_OpenDeviceHandle(unsigned long index, unsigned long* handle);
/** Opens a handle on the index-th attached WDM tuner, as #OB_OpenDeviceHandle does.
 *  @param index From 0 to #OB_GetNumberOfWDMDevices - 1.
 *  @param handle Receives the new handle (see #OB_OpenDeviceHandle).
 *  @return #OB_SUCCESS or #OB_FAILED. */
OMBREL_API unsigned long OMBREL_CALL OB_OpenWDMDeviceHandle(unsigned long index, unsigned long* handle);
/** Opens a handle on the index-th attached BDA tuner, as #OB_OpenDeviceHandle does.
 *  @param index From 0 to #OB_GetNumberOfBDADevices - 1.
 *  @param handle Receives the new handle (see #OB_OpenDeviceHandle).
 *  @return #OB_SUCCESS or #OB_FAILED. */
OMBREL_API unsigned long OMBREL_CALL OB_OpenBDADeviceHandle(unsigned long index, unsigned long* handle);
/** Closes a handle and releases the filters it holds; other handles on the same tuner
 *  stay usable.
 *  @param handle An open handle.
 *  @return #OB_SUCCESS, or #OB_INVALID_HANDLE (unknown, already closed, or 0). */
OMBREL_API unsigned long OMBREL_CALL OB_CloseDeviceHandle(unsigned long handle);

/** Tells whether the handle's tuner is present now.
 *  @param handle An open handle.
 *  @return 1 when the tuner is attached; 0 when it is detached or the handle is unknown. */
OMBREL_API int OMBREL_CALL OB_IsDeviceAttached(unsigned long handle);
/** The driver model through which the handle's tuner was found.
 *  @param handle An open handle.
 *  @param type Receives #OMBREL_TUNER_TYPE_WDM or #OMBREL_TUNER_TYPE_BDA.
 *  @return #OB_SUCCESS or #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_GetTunerType(unsigned long handle, OMBREL_TUNER_TYPE* type);
/** The tuner's subunit: the digit before the identifier in its display name.
 *  @param handle An open handle.
 *  @param id Receives the subunit number.
 *  @return #OB_SUCCESS or #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_GetSubunitID(unsigned long handle, unsigned int* id);
/** The tuner's 64-bit identifier.
 *  @param handle An open handle.
 *  @param guid Receives the identifier as two 32-bit words.
 *  @return #OB_SUCCESS or #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_GetGUID(unsigned long handle, _OMBREL_GUID* guid);
/** The tuner's identifier as text: 16 hexadecimal digits, its bytes in memory order
 *  ("Error" when the display name holds no identifier).
 *  @param handle An open handle.
 *  @param buffer Receives the text with its NUL; #OMBREL_GUID_STRING_SIZE bytes.
 *  @return #OB_SUCCESS or #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_GetGUIDString(unsigned long handle, char* buffer);
/** The display name of the tuner's filter moniker, which identifies the tuner.
 *  @param handle An open handle.
 *  @param buffer Receives the text with its NUL; #OMBREL_DISPLAY_STRING_SIZE bytes.
 *  @return #OB_SUCCESS or #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_GetDisplayString(unsigned long handle, char* buffer);
/** The tuner's model name, for example "Talvex S2" ("Unknown Device Type" for an unknown
 *  model of a known product line, "Error" when the tuner could not be identified).
 *  @param handle An open handle.
 *  @param buffer Receives the text with its NUL; #OMBREL_DEVICE_STRING_SIZE bytes.
 *  @return #OB_SUCCESS or #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_GetDeviceString(unsigned long handle, char* buffer);
/** The friendly name of the tuner's filter, without copying it.
 *  @param handle An open handle.
 *  @param text Receives a pointer to the library's own text, valid while the library is
 *         loaded; the caller must not change or free it.
 *  @return #OB_SUCCESS or #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_GetFriendlyString(unsigned long handle, char** text);
/** The tuner filter that the handle holds (the WDM capture filter or the BDA network
 *  tuner).
 *  @param handle An open handle.
 *  @param filter Receives the filter, lent without a reference of the caller's own: valid
 *         until the handle is closed; the caller must not release it.
 *  @return #OB_SUCCESS or #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_GetDirectShowFilter(unsigned long handle, IBaseFilter** filter);
/** The BDA receiver component that the handle holds.
 *  @param handle An open handle.
 *  @param filter Receives the filter, lent as by #OB_GetDirectShowFilter; null for a WDM
 *         tuner.
 *  @return #OB_SUCCESS for a BDA tuner, #OB_FAILED for a WDM tuner, or
 *          #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_GetReceiverDirectShowFilter(unsigned long handle, IBaseFilter** filter);

// ---------------------------------------------------------------------------
// Device information and firmware update
// ---------------------------------------------------------------------------
/** Reads the tuner's identification and firmware version from the driver.
 *  @param handle An open handle.
 *  @param version Receives the record (8 bytes).
 *  @return #OB_SUCCESS, #OB_FAILED when the driver fails (also for a detached tuner; the
 *          record may then be partly written), #OB_INVALID_PARAMETER for a null
 *          record, or #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_GetFirmwareVersion(unsigned long handle, _OMBREL_FIRMWARE_VERSION* version);
/** Reads the driver's version text.
 *  @param handle An open handle.
 *  @param version Receives the record (21 bytes).
 *  @return #OB_SUCCESS, #OB_FAILED when the driver fails, #OB_INVALID_PARAMETER for a null
 *          record, or #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_GetDriverVersion(unsigned long handle, _OMBREL_DRIVER_VERSION* version);
/** Reads the tuner's system information.
 *  @param handle An open handle.
 *  @param info Receives the record (8 bytes).
 *  @return #OB_SUCCESS, #OB_FAILED when the driver fails, #OB_INVALID_PARAMETER for a null
 *          record, or #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_GetSystemInfo(unsigned long handle, _OMBREL_SYSTEM_INFO* info);
/** Reads the tuner's board temperature.
 *  @param handle An open handle.
 *  @param temperature Receives the record (4 bytes).
 *  @return #OB_SUCCESS, #OB_FAILED when the driver fails, #OB_INVALID_PARAMETER for a null
 *          record, or #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_GetBoardTemperature(unsigned long handle, _OMBREL_BOARD_TEMPERATURE* temperature);
/** Hands a firmware image to the driver, which then programs the tuner on its own; follow
 *  the update with #OB_GetRomfluxStatus. The call does not wait for the update and keeps
 *  nothing of the image; calling it again sends the image again.
 *  @param handle An open handle.
 *  @param image The image: at least #OMBREL_IMAGE_SIZE readable bytes, of which exactly
 *         #OMBREL_IMAGE_SIZE are sent.
 *  @return #OB_SUCCESS when the driver accepted the image, #OB_FAILED when it refused it,
 *          #OB_INVALID_PARAMETER for a null image (nothing sent), or #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_UpdateFirmware(unsigned long handle, const unsigned char* image);
/** Reads the status of the tuner's firmware update. Poll it (for example every 400 ms)
 *  after #OB_UpdateFirmware until `State` reports a failure or `Progress` reaches 100.
 *  @param handle An open handle.
 *  @param status Receives the record (3 bytes).
 *  @return #OB_SUCCESS; #OB_FAILED when the driver fails, which during an update means
 *          the tuner is gone; #OB_INVALID_PARAMETER for a null record; or
 *          #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_GetRomfluxStatus(unsigned long handle, _OMBREL_FIRMWARE_UPDATE_STATUS* status);

/** What the tuner receives and whether it has a Common Interface slot, from its model
 *  (see @ref tuning and @ref common_interface); no request reaches the driver, so it
 *  answers for a detached tuner too.
 *  @code
 *  OMBREL_TUNER_CAPABILITIES caps = {};
 *  caps.Size = sizeof caps;
 *  if (OB_GetTunerCapabilities(handle, &caps) == OB_SUCCESS && caps.Reception == OMBREL_RECEPTION_SATELLITE) ...
 *  @endcode
 *  @param handle An open handle.
 *  @param caps The caller's record, `Size` set. Of a larger record than the library knows
 *         only its first `Size` (written back) bytes are filled, the rest is left as it is.
 *  @return #OB_SUCCESS; #OB_INVALID_PARAMETER for a null record or a `Size` below
 *          #OMBREL_TUNER_CAPABILITIES_SIZE_V1 (nothing written); or #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_GetTunerCapabilities(unsigned long handle, _OMBREL_TUNER_CAPABILITIES* caps);

// ---------------------------------------------------------------------------
// Notifications
// ---------------------------------------------------------------------------
/** Registers a window for #OMBREL_MSG_DEVICES_CHANGED. A window registered twice
 *  receives the message twice; nothing unregisters it.
 *  @param window The window; not checked.
 *  @return #OB_SUCCESS. */
OMBREL_API unsigned long OMBREL_CALL OB_RegisterGeneralNotifications(HWND window);
/** Sets the window that receives #OMBREL_MSG_ATTACHED and #OMBREL_MSG_DETACHED for the
 *  handle, replacing an earlier one.
 *  @param handle An open handle.
 *  @param window The window.
 *  @return #OB_SUCCESS or #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_RegisterNotifications(unsigned long handle, HWND window);
/** Stops the handle's messages: the handle has no window any more.
 *  @param handle An open handle.
 *  @return #OB_SUCCESS or #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_UnregisterNotifications(unsigned long handle);

// ---------------------------------------------------------------------------
// Tuning, PID filter and LNB
// ---------------------------------------------------------------------------
/** @file
 *  @section tuning Tuning, PID filter and LNB
 *  Each export of this section is one request to the driver: the library passes the
 *  record on as it is and keeps no tuning state (neither the multiplex, the PIDs, the LNB
 *  parameters nor the power state). #OB_FAILED means that the driver refused the request
 *  (a value out of range, a request of the other reception family) or failed. A null
 *  record pointer gives #OB_INVALID_PARAMETER, and nothing is sent. None of them needs
 *  another call before it than the handle's open; they may be called in any order.
 *
 *  Which box tunes what follows from its model, that is from the identification bytes
 *  (_OMBREL_FIRMWARE_VERSION::ProductLine, _OMBREL_FIRMWARE_VERSION::ModelCode) of the
 *  firmware version record; #OB_GetTunerCapabilities tells it for a handle:
 *
 *  | Family | Product line 1 | Product line 10 |
 *  |---|---|---|
 *  | satellite (DVB-S/S2) | 0x14 Pellary SATV, 0x24 Nubrik S2 and S/CI, 0x28 Holtrim, 0x34 Talvex S2 and S/CI | 0x1F Ombrel DVB-S, 0x22 Ombrel DVB-S-CI |
 *  | terrestrial (DVB-T) | 0x25 Nubrik T/CI, 0x35 Talvex T/CI | 0x20 Ombrel DVB-T, 0x23 Ombrel DVB-T-CI |
 *  | terrestrial (ATSC) | 0x37 Talvex ATSC | 0x25 Ombrel ATSC |
 *  | cable (DVB-C) | 0x26 Nubrik C/CI, 0x36 Talvex C/CI | 0x21 Ombrel DVB-C, 0x24 Ombrel DVB-C-CI |
 *
 *  Satellite boxes take #OB_SelectMultiplex_DVBS, #OB_SelectPids_DVBS, #OB_TuneQPSK,
 *  #OB_SendLnbCmd, #OB_SetLNBParameter and #OB_GetLNBParameter. Terrestrial boxes (ATSC
 *  ones too, with a 6 MHz bandwidth and #OMBREL_MODULATION_8VSB) take
 *  #OB_SelectMultiplex_DVBT and #OB_SelectPids_DVBT. A box answers the requests of the
 *  other family with a failure. Cable boxes and models outside the table take neither
 *  family. Every box takes #OB_SetPowerState, #OB_SetAutoTune, #OB_GetFrontendStatus and
 *  #OB_CheckTuningFlag.
 *
 *  A tune is accepted at once; the front end then needs a moment (a fraction of a
 *  second) to settle. Poll #OB_CheckTuningFlag or #OB_GetFrontendStatus until the flag is
 *  #OMBREL_TUNING_LOCKED or #OMBREL_TUNING_NO_SIGNAL. Changing the LNB parameters, sending
 *  an LNB command or switching the power makes the front end settle again.
 *
 *  Nothing in the library orders these requests after a remote-control reader of the
 *  same device: they reach the driver also while the reader waits there for a key
 *  (@ref remote_control).
 */

/** @name Polarisation
 *  Polarisation of a satellite carrier (_OMBREL_SELECT_MULTIPLEX_DVBS::Polarisation,
 *  _OMBREL_TUNE_QPSK_PARAM::Polarisation). @{ */
#define OMBREL_POLARISATION_HORIZONTAL 0  ///< Linear, horizontal: LNB supply 18 V.
#define OMBREL_POLARISATION_VERTICAL   1  ///< Linear, vertical: LNB supply 13 V.
#define OMBREL_POLARISATION_LEFT       2  ///< Circular, left: 18 V.
#define OMBREL_POLARISATION_RIGHT      3  ///< Circular, right: 13 V.
/** @} */

/** @name Modulation
 *  Modulation of a multiplex or carrier. Satellite: AUTO, QPSK, 8PSK. DVB-T: AUTO, QPSK,
 *  QAM16, QAM64. ATSC: AUTO, 8VSB. @{ */
#define OMBREL_MODULATION_AUTO  0  ///< The tuner finds it out.
#define OMBREL_MODULATION_QPSK  1  ///< QPSK (satellite, DVB-T).
#define OMBREL_MODULATION_8PSK  2  ///< 8PSK (satellite, DVB-S2).
#define OMBREL_MODULATION_QAM16 3  ///< 16-QAM (DVB-T).
#define OMBREL_MODULATION_QAM64 4  ///< 64-QAM (DVB-T).
#define OMBREL_MODULATION_8VSB  5  ///< 8-VSB (ATSC).
/** @} */

/** @name Code rate
 *  Inner code rate (FEC). DVB-T: AUTO to 7/8. @{ */
#define OMBREL_FEC_AUTO 0  ///< The tuner finds it out.
#define OMBREL_FEC_1_2  1  ///< 1/2.
#define OMBREL_FEC_2_3  2  ///< 2/3.
#define OMBREL_FEC_3_4  3  ///< 3/4.
#define OMBREL_FEC_5_6  4  ///< 5/6.
#define OMBREL_FEC_7_8  5  ///< 7/8.
#define OMBREL_FEC_3_5  6  ///< 3/5 (satellite only).
#define OMBREL_FEC_4_5  7  ///< 4/5 (satellite only).
#define OMBREL_FEC_8_9  8  ///< 8/9 (satellite only).
#define OMBREL_FEC_9_10 9  ///< 9/10 (satellite only).
/** @} */

/** @name Guard interval and transmission mode
 *  Terrestrial guard interval (_OMBREL_SELECT_MULTIPLEX_DVBT::GuardInterval) and
 *  transmission mode (_OMBREL_SELECT_MULTIPLEX_DVBT::TransmissionMode). @{ */
#define OMBREL_GUARD_AUTO 0         ///< Guard interval: the tuner finds it out.
#define OMBREL_GUARD_1_32 1         ///< Guard interval 1/32 of a symbol.
#define OMBREL_GUARD_1_16 2         ///< Guard interval 1/16.
#define OMBREL_GUARD_1_8  3         ///< Guard interval 1/8.
#define OMBREL_GUARD_1_4  4         ///< Guard interval 1/4.
#define OMBREL_TRANSMISSION_AUTO 0  ///< Transmission mode: the tuner finds it out.
#define OMBREL_TRANSMISSION_2K   1  ///< 2k carriers.
#define OMBREL_TRANSMISSION_8K   2  ///< 8k carriers.
/** @} */

/** @name 22 kHz tone and LNB supply
 *  22 kHz tone (selects the LNB's high band) and LNB supply voltage
 *  (_OMBREL_LNB_PARAMETERS, _OMBREL_TUNE_QPSK_PARAM::Tone22kHz). @{ */
#define OMBREL_TONE_OFF  0         ///< Tone off: the low band.
#define OMBREL_TONE_ON   1         ///< Tone on: the high band.
#define OMBREL_TONE_AUTO 2         ///< LNB parameters only: on for the high band.
#define OMBREL_LNB_VOLTAGE_OFF  0  ///< No LNB supply.
#define OMBREL_LNB_VOLTAGE_13V  1  ///< 13 V, whatever the polarisation.
#define OMBREL_LNB_VOLTAGE_18V  2  ///< 18 V, whatever the polarisation.
#define OMBREL_LNB_VOLTAGE_AUTO 3  ///< By polarisation: 13 V vertical/right, 18 V horizontal/left.
/** @} */

/** @name Tone burst
 *  Tone burst (mini DiSEqC) after an LNB command (_OMBREL_LNB_CMD::ToneBurst): satellite
 *  A or B of a simple switch. @{ */
#define OMBREL_TONE_BURST_NONE 0  ///< No tone burst.
#define OMBREL_TONE_BURST_A    1  ///< Satellite A.
#define OMBREL_TONE_BURST_B    2  ///< Satellite B.
/** @} */

/** @name Power state
 *  Power state of the front end (#OB_SetPowerState). @{ */
#define OMBREL_POWER_OFF 0  ///< Tuner and LNB supply off; the lock is lost.
#define OMBREL_POWER_ON  1  ///< Tuner and LNB supply on.
/** @} */

/** @name Tuning flag
 *  The tuning flag that #OB_CheckTuningFlag writes. @{ */
#define OMBREL_TUNING_BUSY      0    ///< Settling, or nothing tuned since power-on.
#define OMBREL_TUNING_LOCKED    1    ///< Locked on the multiplex of the last tune.
#define OMBREL_TUNING_NO_SIGNAL (-1) ///< Settled without finding that multiplex.
/** @} */

/** @name PID lists and LNB commands
 *  Sizes of the PID lists (_OMBREL_SELECT_PIDS_S, _OMBREL_SELECT_PIDS_DVBT) and of an
 *  LNB command's message (_OMBREL_LNB_CMD). @{ */
#define OMBREL_PID_ALL         0x2000  ///< In a PID list: pass the whole transport stream.
#define OMBREL_MAX_PIDS_DVBS   29      ///< Entries of a satellite PID list.
#define OMBREL_MAX_PIDS_DVBT   27      ///< Entries of a terrestrial PID list.
#define OMBREL_DISEQC_MAX_MESSAGE 16   ///< Bytes of an LNB command's DiSEqC message at most.
/** @} */

/** @name QPSK frequency band
 *  The frequency band that #OB_TuneQPSK accepts (satellite intermediate frequency, kHz),
 *  both ends included. @{ */
#define OMBREL_QPSK_MIN_FREQUENCY 950000UL   ///< Lowest intermediate frequency, 950 MHz.
#define OMBREL_QPSK_MAX_FREQUENCY 2150000UL  ///< Highest intermediate frequency, 2150 MHz.
/** @} */

#pragma pack(push, 1)

/** A satellite multiplex by its downlink frequency (#OB_SelectMultiplex_DVBS; 12 bytes,
 *  property 0). The driver works out the intermediate frequency, the 22 kHz tone and the
 *  LNB voltage from the LNB parameters (#OB_SetLNBParameter); the dish input is whatever
 *  the last LNB command selected. */
typedef struct _OMBREL_SELECT_MULTIPLEX_DVBS {
    unsigned long Frequency;     ///< Downlink frequency in kHz, e.g. 11362000.
    unsigned long SymbolRate;    ///< Kilosymbols per second, 1000..45000, e.g. 22000.
    unsigned char Polarisation;  ///< `OMBREL_POLARISATION_...`
    unsigned char Modulation;    ///< #OMBREL_MODULATION_AUTO, #OMBREL_MODULATION_QPSK or #OMBREL_MODULATION_8PSK.
    unsigned char Fec;           ///< `OMBREL_FEC_...`
    unsigned char Reserved;      ///< 0.
} OMBREL_SELECT_MULTIPLEX_DVBS;

/** A terrestrial multiplex (#OB_SelectMultiplex_DVBT; 12 bytes, property 5). AUTO values
 *  let the tuner find out. */
typedef struct _OMBREL_SELECT_MULTIPLEX_DVBT {
    unsigned long Frequency;         ///< Centre frequency in kHz, 47000..862000, e.g. 474000.
    unsigned char Bandwidth;         ///< Channel bandwidth in MHz: 6, 7 or 8.
    unsigned char Modulation;        ///< `OMBREL_MODULATION_...`
    unsigned char Fec;               ///< `OMBREL_FEC_...` (high-priority stream).
    unsigned char GuardInterval;     ///< `OMBREL_GUARD_...`
    unsigned char TransmissionMode;  ///< `OMBREL_TRANSMISSION_...`
    unsigned char Reserved[3];       ///< 0.
} OMBREL_SELECT_MULTIPLEX_DVBT;

/** The packet identifiers that a satellite tuner passes on (#OB_SelectPids_DVBS; 60
 *  bytes, property 2). The list replaces the previous one; PidCount 0 passes nothing. */
typedef struct _OMBREL_SELECT_PIDS_S {
    unsigned short PidCount;                    ///< Entries of Pids in use, 0..29.
    unsigned short Pids[OMBREL_MAX_PIDS_DVBS];  ///< 0..0x1FFF, or #OMBREL_PID_ALL.
} OMBREL_SELECT_PIDS_S;

/** The same for a terrestrial box (#OB_SelectPids_DVBT; 56 bytes, property 6). */
typedef struct _OMBREL_SELECT_PIDS_DVBT {
    unsigned short PidCount;                    ///< Entries of Pids in use, 0..27.
    unsigned short Pids[OMBREL_MAX_PIDS_DVBT];  ///< 0..0x1FFF, or #OMBREL_PID_ALL.
} OMBREL_SELECT_PIDS_DVBT;

/** A satellite carrier by its intermediate frequency (#OB_TuneQPSK; 12 bytes, property
 *  25). The record itself sets the LNB voltage (by polarisation) and the tone; the LNB
 *  parameters are not used. */
typedef struct _OMBREL_TUNE_QPSK_PARAM {
    unsigned long Frequency;     ///< Intermediate frequency in kHz, 950000..2150000; the
                                 ///< library sends nothing for a value outside.
    unsigned long SymbolRate;    ///< Kilosymbols per second, 1000..45000.
    unsigned char Polarisation;  ///< `OMBREL_POLARISATION_...`
    unsigned char Modulation;    ///< #OMBREL_MODULATION_AUTO, #OMBREL_MODULATION_QPSK or #OMBREL_MODULATION_8PSK.
    unsigned char Fec;           ///< `OMBREL_FEC_...`
    unsigned char Tone22kHz;     ///< #OMBREL_TONE_OFF (low band) or #OMBREL_TONE_ON (high band).
} OMBREL_TUNE_QPSK_PARAM;

/** A command to the LNB and the switches in front of it (#OB_SendLnbCmd; 25 bytes,
 *  property 12): a DiSEqC message, then an optional tone burst. Example, DiSEqC 1.0
 *  committed switch to input B (satellite 2): MessageLength 4, Message E0 10 38 F4 (data
 *  F0 + 4 * input). */
typedef struct _OMBREL_LNB_CMD {
    unsigned char MessageLength;                       ///< Bytes of Message to send, 0..16.
    unsigned char Message[OMBREL_DISEQC_MAX_MESSAGE];  ///< Framing, address, command, data.
    unsigned char ToneBurst;                           ///< `OMBREL_TONE_BURST_...`
    unsigned char Reserved[7];                         ///< 0.
} OMBREL_LNB_CMD;

/** How the driver drives the LNB when it selects a satellite multiplex by its downlink
 *  frequency (#OB_SetLNBParameter, #OB_GetLNBParameter; 42 bytes, property 14 to set, 13
 *  to read back; read back unchanged). A universal LNB: 9750000, 10600000, 11700000,
 *  #OMBREL_TONE_AUTO, #OMBREL_LNB_VOLTAGE_AUTO (what a box starts with). */
typedef struct _OMBREL_LNB_PARAMETERS {
    unsigned long LofLow;           ///< Low-band local oscillator in kHz.
    unsigned long LofHigh;          ///< High-band local oscillator in kHz; 0: single band.
    unsigned long SwitchFrequency;  ///< Downlink frequency in kHz from which the high band is used.
    unsigned char Tone22kHz;        ///< `OMBREL_TONE_...`
    unsigned char Voltage;          ///< `OMBREL_LNB_VOLTAGE_...`
    unsigned char Reserved[28];     ///< Kept and returned by the driver; 0.
} OMBREL_LNB_PARAMETERS;

/** The front end's state now (#OB_GetFrontendStatus; 28 bytes, property 9). */
typedef struct _OMBREL_FRONTEND_STATUS {
    unsigned long Locked;             ///< 1: demodulator locked on the tuned multiplex.
    unsigned long CarrierPresent;     ///< 1: a carrier at the tuned frequency.
    unsigned long SignalStrength;     ///< Percent, 0..100.
    unsigned long SignalQuality;      ///< Percent, 0..100; 0 without lock.
    unsigned long BitErrorRate;       ///< Bit errors per 10^8 bits before correction; 0 without lock.
    unsigned long UncorrectedBlocks;  ///< Blocks the error correction lost since the lock.
    unsigned long SignalToNoise;      ///< In 0.1 dB; 0 without a carrier.
} OMBREL_FRONTEND_STATUS;

#pragma pack(pop)

/** Selects a satellite multiplex by its downlink frequency, with the LNB parameters in
 *  force (satellite boxes, see @ref tuning).
 *  @param handle An open handle.
 *  @param multiplex The multiplex (12 bytes), sent unchanged.
 *  @return #OB_SUCCESS when the driver accepted the tune, #OB_FAILED when it refused it,
 *          #OB_INVALID_PARAMETER for a null record, or #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_SelectMultiplex_DVBS(unsigned long handle, _OMBREL_SELECT_MULTIPLEX_DVBS* multiplex);
/** Selects a terrestrial multiplex (terrestrial boxes, DVB-T and ATSC; see @ref tuning).
 *  @param handle An open handle.
 *  @param multiplex The multiplex (12 bytes), sent unchanged.
 *  @return #OB_SUCCESS when the driver accepted the tune, #OB_FAILED when it refused it,
 *          #OB_INVALID_PARAMETER for a null record, or #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_SelectMultiplex_DVBT(unsigned long handle, _OMBREL_SELECT_MULTIPLEX_DVBT* multiplex);
/** Sets the packet identifiers that a satellite tuner passes on, replacing the previous
 *  list.
 *  @param handle An open handle.
 *  @param pids The list (60 bytes), sent unchanged.
 *  @return #OB_SUCCESS, #OB_FAILED when the driver refused or failed,
 *          #OB_INVALID_PARAMETER for a null record, or #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_SelectPids_DVBS(unsigned long handle, _OMBREL_SELECT_PIDS_S* pids);
/** Sets the packet identifiers that a terrestrial tuner passes on, replacing the
 *  previous list.
 *  @param handle An open handle.
 *  @param pids The list (56 bytes), sent unchanged.
 *  @return #OB_SUCCESS, #OB_FAILED when the driver refused or failed,
 *          #OB_INVALID_PARAMETER for a null record, or #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_SelectPids_DVBT(unsigned long handle, _OMBREL_SELECT_PIDS_DVBT* pids);
/** Tunes a satellite carrier by its intermediate frequency; the record sets the LNB
 *  voltage and the tone itself.
 *  @param handle An open handle.
 *  @param parameters The carrier (12 bytes), sent unchanged.
 *  @return #OB_SUCCESS when the driver accepted the tune, and also without contacting the
 *          driver when the frequency lies outside
 *          #OMBREL_QPSK_MIN_FREQUENCY..#OMBREL_QPSK_MAX_FREQUENCY; #OB_FAILED when the
 *          driver refused or failed; #OB_INVALID_PARAMETER for a null record; or
 *          #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_TuneQPSK(unsigned long handle, _OMBREL_TUNE_QPSK_PARAM* parameters);
/** Sends a command to the LNB and the switches in front of it (a DiSEqC message, then an
 *  optional tone burst); the front end settles again.
 *  @param handle An open handle.
 *  @param command The command (25 bytes), sent unchanged.
 *  @return #OB_SUCCESS, #OB_FAILED when the driver refused or failed,
 *          #OB_INVALID_PARAMETER for a null record, or #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_SendLnbCmd(unsigned long handle, _OMBREL_LNB_CMD* command);
/** Sets how the driver drives the LNB for the tunes by downlink frequency
 *  (#OB_SelectMultiplex_DVBS); the front end settles again.
 *  @param handle An open handle.
 *  @param parameters The parameters (42 bytes), sent unchanged.
 *  @return #OB_SUCCESS, #OB_FAILED when the driver refused or failed,
 *          #OB_INVALID_PARAMETER for a null record, or #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_SetLNBParameter(unsigned long handle, _OMBREL_LNB_PARAMETERS* parameters);
/** Reads the LNB parameters back from the driver, as #OB_SetLNBParameter last set them.
 *  @param handle An open handle.
 *  @param parameters Receives the parameters (42 bytes).
 *  @return #OB_SUCCESS; #OB_FAILED when the driver refused or failed (the record may then
 *          be untouched or partly written); #OB_INVALID_PARAMETER for a null record; or
 *          #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_GetLNBParameter(unsigned long handle, _OMBREL_LNB_PARAMETERS* parameters);
/** Switches the front end's power. The byte goes to the driver unchanged
 *  (`OMBREL_POWER_...`); the front end settles again.
 *  @param handle An open handle.
 *  @param state #OMBREL_POWER_OFF or #OMBREL_POWER_ON; the library does not limit it.
 *  @return #OB_SUCCESS, #OB_FAILED when the driver refused or failed, or
 *          #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_SetPowerState(unsigned long handle, unsigned char state);
/** Turns automatic tuning on or off: with it on (what a box starts with), the front end
 *  tunes the last multiplex again by itself when the power comes back.
 *  @param handle An open handle.
 *  @param flag Any non-zero flag turns it on (the driver receives the byte 1), 0 turns it
 *         off.
 *  @return #OB_SUCCESS, #OB_FAILED when the driver refused or failed, or
 *          #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_SetAutoTune(unsigned long handle, int flag);
/** Reads the front end's state now: lock, carrier and signal figures.
 *  @param handle An open handle.
 *  @param status Receives the record (28 bytes).
 *  @return #OB_SUCCESS; #OB_FAILED when the driver refused or failed (the record may then
 *          be untouched or partly written); #OB_INVALID_PARAMETER for a null record; or
 *          #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_GetFrontendStatus(unsigned long handle, _OMBREL_FRONTEND_STATUS* status);
/** Reads the tuning flag: whether the last tune has settled, and on what.
 *  @param handle An open handle.
 *  @param flag Receives the tuning flag (`OMBREL_TUNING_...`).
 *  @param value Receives, with a lock, the frequency of the carrier found in Hz
 *         (satellite: downlink frequency; terrestrial: centre frequency), else 0.
 *  @return #OB_SUCCESS; #OB_FAILED when the driver refused or failed, and then neither
 *          output is written; #OB_INVALID_PARAMETER when either pointer is null; or
 *          #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_CheckTuningFlag(unsigned long handle, int* flag, LARGE_INTEGER* value);

// ---------------------------------------------------------------------------
// Common Interface
// ---------------------------------------------------------------------------
/** @file
 *  @section common_interface Common Interface
 *  Most models have a Common Interface slot for a conditional-access module (CAM): every
 *  model of the table in @ref tuning except Pellary SATV, Talvex ATSC, Ombrel DVB-S,
 *  Ombrel DVB-T, Ombrel DVB-C and Ombrel ATSC, and no model outside the table
 *  (_OMBREL_TUNER_CAPABILITIES::CommonInterface of #OB_GetTunerCapabilities). The library
 *  offers two things for them.
 *
 *  *A session per device*, opened with #OB_CI_Open and closed with #OB_CI_Close: a poll
 *  thread of the library reads the slot's status word from the driver (property 28) every
 *  poll interval (200 ms at every open; #OB_CI_SetPollingIntervall sets 50 to 300 ms; the
 *  first poll comes one interval after the open) and posts to the window that
 *  #OB_RegisterNotifications set on the opening handle:
 *  - #OMBREL_MSG_CI_MODULE_PRESENT when a module is found in the slot,
 *    #OMBREL_MSG_CI_MODULE_READY when it becomes ready (both in one poll for a module
 *    found ready), #OMBREL_MSG_CI_MODULE_GONE when it leaves. Every open starts from "no
 *    module", so a module that is in the slot already is reported again. A module stays
 *    ready until it leaves the slot.
 *  - #OMBREL_MSG_CI_FLAG_40, #OMBREL_MSG_CI_FLAG_80 and #OMBREL_MSG_CI_FLAG_100 at every
 *    poll that finds the driver's pending-event bit 0x0040, 0x0080 or 0x0100 set.
 *
 *  A poll that the driver fails posts nothing and changes nothing. Without a window the
 *  polls go on and their messages are dropped; registering another window on the opening
 *  handle sends the next messages there.
 *
 *  One session per device, across all processes: a second open fails while one is open,
 *  whichever handle or process opened it. The session is open until #OB_CI_Close through
 *  the opening handle, until that handle is closed (closing it closes the session first)
 *  or until the library is unloaded. A process that ends normally with a session open
 *  frees the device as it ends, so other processes see it free at once; one that is
 *  killed does not block it either: the next open takes it over.
 *
 *  *Commands and queries*, which need no session and may be called in any order: each is
 *  one request to the driver with an _OMBREL_CI_MESSAGE, on the caller's thread, and
 *  #OB_FAILED means that the driver refused or failed it; a failed query writes none of
 *  its outputs. The library builds the three MMI objects that it sends (close_mmi,
 *  menu_answ and answ, in EN 50221 form) and decodes the tag and the length field of the
 *  objects that it receives, and keeps no Common Interface state of its own: the driver
 *  turns the messages into the traffic with the module and keeps what that needs. The
 *  commands and queries reach the driver also while the poll thread polls or a
 *  remote-control reader waits there.
 *
 *  A client that walks the module's menu: #OB_CI_EnterMenu, then #OB_CI_GetMMIObject to
 *  read the menu, list or enquiry that the module shows, #OB_CI_SendMenuAnswer or
 *  #OB_CI_SendEnqAnswer to answer it, and #OB_CI_CloseMMI to leave.
 *
 *  @subsection mmi_bodies What an MMI object holds
 *  #OB_CI_GetMMIObject gives the object's tag and its body, which holds EN 50221 objects of
 *  its own, big-endian, each one a 3-byte tag, a length field and that many bytes. A length
 *  field is one byte below 0x80, or 0x81 followed by one length byte, or 0x82 followed by
 *  two (high byte first). Texts are characters without a NUL.
 *  - #OMBREL_MMI_TAG_MENU_LAST (a menu) and #OMBREL_MMI_TAG_LIST_LAST (a list): byte 0 is
 *    the number of choices n (0xFF when the module leaves it open); then, one after the
 *    other to the end of the body, #OMBREL_MMI_TAG_TEXT_LAST objects: the title, the
 *    subtitle, the bottom line (each may be empty), then the n choices. A menu is answered
 *    with #OB_CI_SendMenuAnswer: 1 for the first choice, 0 to go back; a list only shows
 *    its lines and is left with #OB_CI_SendMenuAnswer and choice 0. The main menu of a module,
 *    for example: `04`, `9F 88 03 1A` "Kestrel Conditional Access", `9F 88 03 09` "Main
 *    menu", `9F 88 03 0F` "Choose an entry", then four text_last objects for the choices.
 *  - #OMBREL_MMI_TAG_ENQ (an enquiry): byte 0 holds in bit 0 blind_answer (1: the answer is
 *    secret, do not echo it), byte 1 the length of the answer the module expects, and the
 *    bytes after them up to the end of the body are the prompt, as plain text (no text_last
 *    object). It is answered with #OB_CI_SendEnqAnswer.
 *  - #OMBREL_MMI_TAG_TEXT_LAST on its own: the whole body is the text.
 *  - #OMBREL_MMI_TAG_CLOSE_MMI: the module closes its dialogue; body byte 0 is 0 (at once)
 *    or 1 followed by a delay in seconds.
 */

/** @name MMI object tags
 *  Tags of the EN 50221 MMI objects that #OB_CI_GetMMIObject writes and that a menu or
 *  list body holds (see @ref mmi_bodies). @{ */
#define OMBREL_MMI_TAG_CLOSE_MMI 0x9F8800UL  ///< close_mmi: the module closes its dialogue.
#define OMBREL_MMI_TAG_TEXT_LAST 0x9F8803UL  ///< text_last: one text, inside a menu or list, or alone.
#define OMBREL_MMI_TAG_ENQ       0x9F8807UL  ///< enq: an enquiry (blind flag, answer length, prompt).
#define OMBREL_MMI_TAG_MENU_LAST 0x9F8809UL  ///< menu_last: a menu (choice count, texts).
#define OMBREL_MMI_TAG_LIST_LAST 0x9F880CUL  ///< list_last: a list (line count, texts).
/** @} */

/** Opens the device's Common Interface session, owned by this handle: starts the poll
 *  thread (see @ref common_interface) and sends the driver the open command
 *  (#OMBREL_CI_MSG_OPEN, payload 00), whose answer changes nothing.
 *  @param handle An open handle; its window (#OB_RegisterNotifications) receives the
 *         session's messages.
 *  @return #OB_SUCCESS, the session is open; #OB_NOT_SUPPORTED when the model has no
 *          Common Interface slot (tested before everything else); #OB_FAILED when the
 *          device's session is open already in this process, through this or another
 *          handle, or when the poll thread could not be started (nothing changes then);
 *          #OB_IN_USE when another process has it open; or #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_CI_Open(unsigned long handle);
/** Closes the device's Common Interface session: stops the poll thread and waits until it
 *  has ended, so that no message of the session is posted once it returns. The device is
 *  then free for an open from any process. Nothing is sent to the driver.
 *  @param handle The handle that opened the session.
 *  @return #OB_SUCCESS; #OB_FAILED when no session is open or another handle opened it
 *          (that session goes on); or #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_CI_Close(unsigned long handle);
/** Sets the session's poll interval, taken from the poll thread's next wait on. Every
 *  open starts with 200 ms.
 *  @param handle The handle that opened the session.
 *  @param intervalMs Milliseconds between two polls, 50 to 300 (both included).
 *  @return #OB_SUCCESS; #OB_FAILED when no session is open; #OB_IN_USE when another
 *          handle opened it; #OB_INVALID_PARAMETER for an interval outside 50..300 (the
 *          interval stays as it was); or #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_CI_SetPollingIntervall(unsigned long handle, unsigned long intervalMs);

/** Sends a CA PMT to the module as the only program it is to descramble
 *  (#OMBREL_CI_MSG_PMT; payload 03, 01, then the PMT bytes): EN 50221 ca_pmt_list_management
 *  3 (only) and ca_pmt_cmd_id 1 (ok_descrambling). The five-argument form sends others.
 *  @param handle An open handle.
 *  @param length Bytes of the PMT, 1 to 1024.
 *  @param pmt The PMT: `length` readable bytes, copied to the driver unchanged.
 *  @return #OB_SUCCESS, #OB_FAILED when the driver refused or failed,
 *          #OB_INVALID_PARAMETER (nothing sent) for a null PMT or a length of 0 or above
 *          1024, or #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_CI_SendPMT(unsigned long handle, unsigned short length,
                                                   const unsigned char* pmt);
/** Sends a CA PMT to the module with the given list management and command
 *  (#OMBREL_CI_MSG_PMT; payload: list management, command, then the PMT bytes).
 *  @param handle An open handle.
 *  @param length Bytes of the PMT, 1 to 1024.
 *  @param listManagement EN 50221 ca_pmt_list_management, 0 to 5: 0 more, 1 first, 2 last,
 *         3 only, 4 add, 5 update.
 *  @param command EN 50221 ca_pmt_cmd_id, 0 to 4: 1 ok_descrambling, 2 ok_mmi, 3 query,
 *         4 not_selected.
 *  @param pmt The PMT: `length` readable bytes, copied to the driver unchanged.
 *  @return #OB_SUCCESS, #OB_FAILED when the driver refused or failed,
 *          #OB_INVALID_PARAMETER (nothing sent) for a null PMT, a length of 0 or above
 *          1024, a list management above 5 or a command above 4, or #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_CI_SendPMT(unsigned long handle, unsigned short length,
                                                   unsigned char listManagement, unsigned char command,
                                                   const unsigned char* pmt);
/** Reads the module's application information (query #OMBREL_CI_MSG_APPLICATION_INFO).
 *  Each output may be null, and is then left out.
 *  @param handle An open handle.
 *  @param manufacturer Receives the application manufacturer.
 *  @param manufacturerCode Receives the manufacturer code.
 *  @param menuStringLength Receives the length of the menu string, 0 to 255.
 *  @param menuString Receives the menu string, the module's name for its menu, without a
 *         NUL; #OMBREL_CI_MENU_STRING_SIZE bytes.
 *  @return #OB_SUCCESS; #OB_FAILED when the driver refused or failed (no output
 *          written); or #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_CI_GetApplicationInfo(unsigned long handle, unsigned short* manufacturer,
                                                              unsigned short* manufacturerCode,
                                                              unsigned char* menuStringLength,
                                                              unsigned char* menuString);
/** Asks the module to open its menu (#OMBREL_CI_MSG_ENTER_MENU, no payload); read it with
 *  #OB_CI_GetMMIObject.
 *  @param handle An open handle.
 *  @return #OB_SUCCESS, #OB_FAILED when the driver refused or failed, or
 *          #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_CI_EnterMenu(unsigned long handle);
/** Closes the module's MMI dialogue at once (#OMBREL_CI_MSG_MMI; the close_mmi object
 *  9F 88 00 01 00).
 *  @param handle An open handle.
 *  @return #OB_SUCCESS, #OB_FAILED when the driver refused or failed, or
 *          #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_CI_CloseMMI(unsigned long handle);
/** Reads the MMI object that the module shows now (query #OMBREL_CI_MSG_MMI): its tag and,
 *  when its EN 50221 length field takes one of the forms the library reads (a length
 *  below 0x80 in one byte, or 0x81 or 0x82 followed by one or two length bytes), its body.
 *  The body is passed on undecoded (a menu_last, list_last or enq object, say; see
 *  @ref mmi_bodies for what each holds). A body
 *  that the length field claims beyond the reply is cut at the reply's end. Each output
 *  may be null, and is then left out.
 *  @param handle An open handle.
 *  @param length Receives the body's length, 0 to #OMBREL_CI_MMI_BODY_SIZE; not written
 *         for another length form.
 *  @param tag Receives the object's 24-bit tag (9F 88 xx as 0x9F88xx; the top 8 bits 0).
 *  @param body Receives the body; #OMBREL_CI_MMI_BODY_SIZE bytes (or as many as the
 *         body's length); not written for another length form.
 *  @return #OB_SUCCESS whenever the driver answered, also for a length form that is not
 *          read (then only the tag is written); #OB_FAILED when the driver refused or
 *          failed (no output written); or #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_CI_GetMMIObject(unsigned long handle, unsigned short* length,
                                                        unsigned long* tag, unsigned char* body);
/** Answers the module's menu or list (#OMBREL_CI_MSG_MMI; the menu_answ object
 *  9F 88 0B 01, then the choice).
 *  @param handle An open handle.
 *  @param choice The chosen item as EN 50221 counts them: 1 for the first, 0 to leave
 *         the menu or list.
 *  @return #OB_SUCCESS, #OB_FAILED when the driver refused or failed, or
 *          #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_CI_SendMenuAnswer(unsigned long handle, unsigned char choice);
/** Answers the module's enquiry (#OMBREL_CI_MSG_MMI; the answ object 9F 88 08, its length,
 *  the answer identifier, then the text). A text of 127 bytes or more takes the long
 *  length form (81 or 82, then one or two length bytes).
 *  @param handle An open handle.
 *  @param answerId 0 cancels the enquiry (9F 88 08 01 00 is sent; length and text are
 *         ignored); any other value answers it.
 *  @param length Bytes of the answer text, 0 to 255.
 *  @param text The answer text: `length` bytes, no NUL needed; may be null when `length`
 *         is 0.
 *  @return #OB_SUCCESS, #OB_FAILED when the driver refused or failed,
 *          #OB_INVALID_PARAMETER (nothing sent) for a null text with a non-zero length
 *          and answer, or #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_CI_SendEnqAnswer(unsigned long handle, unsigned char answerId,
                                                         unsigned char length, const unsigned char* text);
/** Reads the driver's date-time reply (query #OMBREL_CI_MSG_DATE_TIME): one byte, passed
 *  on unchanged; what it stands for is the driver's to say.
 *  @param handle An open handle.
 *  @param value Receives the byte; may be null, and is then left out.
 *  @return #OB_SUCCESS; #OB_FAILED when the driver refused or failed (nothing written);
 *          or #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_CI_GetDateTimeInfo(unsigned long handle, unsigned char* value);
/** Tells the module the date and time (#OMBREL_CI_MSG_DATE_TIME): the payload is the
 *  EN 50221 date_time object's UTC_time field and, unless it is 0, its local_offset field.
 *  @param handle An open handle.
 *  @param time The UTC time, 5 bytes copied as they are.
 *  @param localOffset The local time's offset from UTC in minutes, as the EN 50221
 *         local_offset field (two's complement), sent big-endian after the time (payload
 *         of 7 bytes); 0 is not sent (payload of 5 bytes).
 *  @return #OB_SUCCESS, #OB_FAILED when the driver refused or failed, or
 *          #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_CI_SetDateTimeInfo(unsigned long handle, _UTC_TIME time,
                                                           unsigned short localOffset);
/** Tells the module the service being received (#OMBREL_CI_MSG_SERVICE_ID; payload the
 *  service ID, big-endian).
 *  @param handle An open handle.
 *  @param serviceId The service ID (MPEG program number).
 *  @return #OB_SUCCESS, #OB_FAILED when the driver refused or failed, or
 *          #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_CI_SendServiceID(unsigned long handle, unsigned short serviceId);

// ---------------------------------------------------------------------------
// Remote control
// ---------------------------------------------------------------------------
/** @file
 *  @section remote_control Remote control
 *  The boxes receive the keys of their remote control. A reader, started with
 *  #OB_RemoteControl_Start, reads them from the driver on a thread of its own and posts
 *  one #OMBREL_MSG_REMOTE_KEY per key to the window registered with
 *  #OB_RegisterNotifications on the starting handle; without one they are read and
 *  dropped. Registering another window on that handle while the reader runs sends the
 *  next keys there. Any model may be started.
 *
 *  One reader per device, across all processes: a second start fails while one runs,
 *  whichever handle or process started it. The reader runs until #OB_RemoteControl_Stop
 *  through the starting handle, until that handle is closed (closing it stops the reader)
 *  or until the library is unloaded. A process that ends normally with a reader running
 *  frees the device as it ends, so other processes see it free at once; one that is
 *  killed does not block it either: the next start takes it over.
 *
 *  When the driver fails a key read, the reader ends silently (no message tells the
 *  window) but still counts as running: starts return #OB_FAILED until
 *  #OB_RemoteControl_Stop, which then returns #OB_SUCCESS at once.
 */

/** Starts the device's remote-control reader, owned by this handle.
 *  @param handle An open handle; its window (#OB_RegisterNotifications) receives the keys.
 *  @return #OB_SUCCESS, the reader runs; #OB_FAILED when a reader already runs for the
 *          device in this process (or ended after a failed key read and was not stopped
 *          yet), through this or another handle, or when its thread could not be started
 *          (nothing changes then); #OB_IN_USE when another process runs it; or
 *          #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_RemoteControl_Start(unsigned long handle);
/** Stops the device's remote-control reader: cancels the key read that waits in the
 *  driver and waits for the reader to end (a driver that does not release the read gets
 *  a few seconds, then the reader is left to end by itself). No key is posted once it
 *  has returned, and the device is free for a start from any process.
 *  @param handle The handle that started the reader.
 *  @return #OB_SUCCESS, the reader has ended; #OB_FAILED when no reader runs or another
 *          handle started it (that reader goes on); or #OB_INVALID_HANDLE. */
OMBREL_API unsigned long OMBREL_CALL OB_RemoteControl_Stop(unsigned long handle);

#endif  // __cplusplus
#endif  // OMBRELAPI_H
