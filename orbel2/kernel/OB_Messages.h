// The message bus: one part of the engine tells the others about an event
// (device lost, reset or created; an object that cannot be made; a failed
// present) without knowing who listens. Delivery is synchronous, on the
// caller's thread, in subscription order. There is no way to unsubscribe
// one listener: a subscription holds its data pointer until the kernel's
// finalisation drops every list (OB_ResetMessageBus).
#pragma once

#include <cstdint>
#include <string>

namespace orbel2 {

// A message's group is its id with all but bits 8..15 cleared.
constexpr int32_t MSGGROUP_KERNEL = 0x100;
constexpr int32_t MSGGROUP_2 = 0x200;
constexpr int32_t MSGGROUP_3 = 0x300;

constexpr int32_t MSG_ERROR = 0x101;
constexpr int32_t MSG_WARNING = 0x102;
constexpr int32_t MSG_RESOLUTIONCHANGE = 0x103;
constexpr int32_t MSG_VIDEODEVICELOST = 0x104;
constexpr int32_t MSG_VIDEODEVICERESET = 0x105;
constexpr int32_t MSG_VIDEODEVICEINITIALIZED = 0x106;
constexpr int32_t MSG_LOSTFOCUS = 0x107;
constexpr int32_t MSG_RECEIVEDFOCUS = 0x108;
constexpr int32_t MSG_DUMMYOBJECT = 0x109;   // Param: const std::string* description
constexpr int32_t MSGID_FATALERROR = 0x10A;

using TMessageHandler = void (*)(int32_t Msg, void* Param, int32_t Value, void* Data);

struct TListener {
    TMessageHandler Handler;
    void* Data;
};

// Appends (Handler, Data) to the list of Group, which must be exactly one of
// the three groups; any other value is logged and ignored.
void OB_AddListener(TMessageHandler Handler, int32_t Group, void* Data);
// Calls every listener of Msg's group in subscription order. A listener added
// while a delivery runs is first called by the next message.
void OB_SendMessage(int32_t Msg, void* Param, int32_t Value);
// "MSG_VIDEODEVICELOST" and so on; "Unknown message constant" for other ids.
std::string OB_MessageName(int32_t Msg);

// Where the bus reports a message or listener for a group that does not
// exist ("Message sent to unknown messagegroup"): the log installs itself
// here when it starts. Without a report the line is dropped.
using TMessageReport = void (*)(const std::string& Line);
void OB_SetMessageReport(TMessageReport Report);
// Drops every listener and the report: the bus as it was before the start.
void OB_ResetMessageBus();

}   // namespace orbel2
