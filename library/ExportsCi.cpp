// Common Interface: the session on the device entry (open, close, poll interval), and
// the commands and queries, each a driver request on the caller's handle (a query is a
// set and a get of the request property).
#include "ExportGuard.h"
#include "PropertyChannel.h"
#include "ci/CiMessages.h"
#include "ci/CiReplies.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

using namespace ombrel;

static_assert(sizeof(_OMBREL_CI_MESSAGE) == ci::kMessageSize);
static_assert(offsetof(_OMBREL_CI_MESSAGE, Slot) == ci::kSlotOffset);
static_assert(offsetof(_OMBREL_CI_MESSAGE, Type) == ci::kTypeOffset);
static_assert(offsetof(_OMBREL_CI_MESSAGE, Length) == ci::kLengthOffset);
static_assert(offsetof(_OMBREL_CI_MESSAGE, Payload) == ci::kPayloadOffset);
static_assert(sizeof(_OMBREL_CI_MESSAGE::Payload) == ci::kPayloadSize);
static_assert(OMBREL_CI_MMI_BODY_SIZE == ci::kPayloadSize - 6, "what the payload holds after a two-byte length form");
static_assert(sizeof(_UTC_TIME) == 5);

namespace {

// The device's session and what it would keep of the handle, after the lookup.
template <class F>
unsigned long OnSession(unsigned long handle, F&& f) {
    return Guarded([&](Library& library) -> unsigned long {
        DeviceEntry* entry = nullptr;
        CiSession::Owner owner;
        const unsigned long found = library.Table().WithHandle(handle, [&](DeviceEntry& e, HandleRecord& record) {
            entry = &e;
            owner = {record.value, &record.notifyWindow, record.propertySet};
            return OB_SUCCESS;
        });
        if (found != OB_SUCCESS) return found;
        return f(library, *entry, std::move(owner));
    });
}

unsigned long SendCommand(unsigned long handle, std::uint8_t type, const ci::Payload& payload) {
    return WithPropertySet(handle, [&](IKsPropertySet* properties) {
        ci::Message message = ci::Command(type, payload);
        return SetProperty(properties, OMBREL_PROP_CI_COMMAND, message.data(), ci::kMessageSize);
    });
}

// Asks and, when the driver answers, hands the reply to `read`, which writes the
// caller's outputs. A failed get writes nothing.
template <class F>
unsigned long Query(unsigned long handle, std::uint8_t type, F&& read) {
    return WithPropertySet(handle, [&](IKsPropertySet* properties) -> unsigned long {
        ci::Message message = ci::Query(type);
        (void)SetProperty(properties, OMBREL_PROP_CI_REQUEST, message.data(), ci::kMessageSize);
        if (GetProperty(properties, OMBREL_PROP_CI_REQUEST, message.data(), ci::kMessageSize) != OB_SUCCESS)
            return OB_FAILED;
        read(static_cast<const ci::Message&>(message));
        return OB_SUCCESS;
    });
}

// Outputs that the caller passes as null are left out.
template <class T>
void Put(T* out, T value) {
    if (out) *out = value;
}

void PutBytes(std::span<const std::uint8_t> bytes, unsigned char* out) {
    if (out && !bytes.empty()) std::copy(bytes.begin(), bytes.end(), out);
}

}  // namespace

OMBREL_API unsigned long OMBREL_CALL OB_CI_Open(unsigned long handle) {
    return OnSession(handle, [&](Library& library, DeviceEntry& entry, CiSession::Owner owner) -> unsigned long {
        if (!entry.ciCapable) return OB_NOT_SUPPORTED;  // before every other rule
        const auto stillOpen = [&] {
            return library.Table().WithHandle(handle, [](DeviceEntry&, HandleRecord&) { return OB_SUCCESS; }) ==
                   OB_SUCCESS;
        };
        return entry.ci.Open(std::move(owner), {&library.Shared(), entry.displayName}, stillOpen);
    });
}

OMBREL_API unsigned long OMBREL_CALL OB_CI_Close(unsigned long handle) {
    return OnSession(handle, [&](Library&, DeviceEntry& entry, CiSession::Owner) {
        return entry.ci.Close(static_cast<std::uint32_t>(handle));
    });
}

OMBREL_API unsigned long OMBREL_CALL OB_CI_SetPollingIntervall(unsigned long handle, unsigned long intervalMs) {
    return OnSession(handle, [&](Library&, DeviceEntry& entry, CiSession::Owner) {
        return entry.ci.SetInterval(static_cast<std::uint32_t>(handle), intervalMs);
    });
}

OMBREL_API unsigned long OMBREL_CALL OB_CI_SendPMT(unsigned long handle, unsigned short length,
                                                   unsigned char listManagement, unsigned char command,
                                                   const unsigned char* pmt) {
    return WithPropertySet(handle, [&](IKsPropertySet* properties) -> unsigned long {
        const auto payload = ci::PmtPayload(listManagement, command, pmt, length);
        if (!payload) return OB_INVALID_PARAMETER;
        ci::Message message = ci::Command(OMBREL_CI_MSG_PMT, *payload);
        return SetProperty(properties, OMBREL_PROP_CI_COMMAND, message.data(), ci::kMessageSize);
    });
}

OMBREL_API unsigned long OMBREL_CALL OB_CI_SendPMT(unsigned long handle, unsigned short length,
                                                   const unsigned char* pmt) {
    return OB_CI_SendPMT(handle, length, ci::kListManagementOnly, ci::kOkDescrambling, pmt);
}

OMBREL_API unsigned long OMBREL_CALL OB_CI_GetApplicationInfo(unsigned long handle, unsigned short* manufacturer,
                                                              unsigned short* manufacturerCode,
                                                              unsigned char* menuStringLength,
                                                              unsigned char* menuString) {
    return Query(handle, OMBREL_CI_MSG_APPLICATION_INFO, [&](const ci::Message& reply) {
        const ci::ApplicationInfo info = ci::ReadApplicationInfo(reply);
        Put(manufacturer, info.manufacturer);
        Put(manufacturerCode, info.manufacturerCode);
        Put(menuStringLength, static_cast<unsigned char>(info.menuString.size()));
        PutBytes(info.menuString, menuString);
    });
}

OMBREL_API unsigned long OMBREL_CALL OB_CI_EnterMenu(unsigned long handle) {
    return SendCommand(handle, OMBREL_CI_MSG_ENTER_MENU, ci::Payload());
}

OMBREL_API unsigned long OMBREL_CALL OB_CI_CloseMMI(unsigned long handle) {
    return SendCommand(handle, OMBREL_CI_MSG_MMI, ci::CloseMmiPayload());
}

OMBREL_API unsigned long OMBREL_CALL OB_CI_GetMMIObject(unsigned long handle, unsigned short* length,
                                                        unsigned long* tag, unsigned char* body) {
    return Query(handle, OMBREL_CI_MSG_MMI, [&](const ci::Message& reply) {
        const ci::MmiObject object = ci::ReadMmiObject(reply);
        Put(tag, static_cast<unsigned long>(object.tag));
        if (!object.bodyRead) return;  // a length form that is not read: neither length nor body
        Put(length, static_cast<unsigned short>(object.body.size()));
        PutBytes(object.body, body);
    });
}

OMBREL_API unsigned long OMBREL_CALL OB_CI_SendMenuAnswer(unsigned long handle, unsigned char choice) {
    return SendCommand(handle, OMBREL_CI_MSG_MMI, ci::MenuAnswerPayload(choice));
}

OMBREL_API unsigned long OMBREL_CALL OB_CI_SendEnqAnswer(unsigned long handle, unsigned char answerId,
                                                         unsigned char length, const unsigned char* text) {
    return WithPropertySet(handle, [&](IKsPropertySet* properties) -> unsigned long {
        const auto payload = ci::EnqAnswerPayload(answerId, text, length);
        if (!payload) return OB_INVALID_PARAMETER;
        ci::Message message = ci::Command(OMBREL_CI_MSG_MMI, *payload);
        return SetProperty(properties, OMBREL_PROP_CI_COMMAND, message.data(), ci::kMessageSize);
    });
}

OMBREL_API unsigned long OMBREL_CALL OB_CI_GetDateTimeInfo(unsigned long handle, unsigned char* value) {
    return Query(handle, OMBREL_CI_MSG_DATE_TIME,
                 [&](const ci::Message& reply) { Put(value, static_cast<unsigned char>(ci::ReadDateTime(reply))); });
}

OMBREL_API unsigned long OMBREL_CALL OB_CI_SetDateTimeInfo(unsigned long handle, _UTC_TIME time,
                                                           unsigned short localOffset) {
    std::uint8_t utc[5];
    std::memcpy(utc, &time, sizeof utc);
    return SendCommand(handle, OMBREL_CI_MSG_DATE_TIME, ci::DateTimePayload(utc, localOffset));
}

OMBREL_API unsigned long OMBREL_CALL OB_CI_SendServiceID(unsigned long handle, unsigned short serviceId) {
    return SendCommand(handle, OMBREL_CI_MSG_SERVICE_ID, ci::ServiceIdPayload(serviceId));
}
