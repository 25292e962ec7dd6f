#include "orbel2/kernel/OB_Messages.h"

#include <array>
#include <memory>
#include <vector>

namespace orbel2 {

namespace {

using TListenerList = std::vector<TListener>;

// Each group's list is shared so that a delivery can hold the list as it was
// when the message was sent: subscribing during a delivery makes a new list
// (copy on write) and leaves the one being walked untouched.
std::array<std::shared_ptr<const TListenerList>, 3> Groups;

constexpr const char* UnknownGroupText = "Message sent to unknown messagegroup";
TMessageReport Report = nullptr;

void ReportUnknownGroup()
{
    if (Report != nullptr)
        Report(UnknownGroupText);
}

std::shared_ptr<const TListenerList>* GroupList(int32_t group)
{
    switch (group) {
    case MSGGROUP_KERNEL:
        return &Groups[0];
    case MSGGROUP_2:
        return &Groups[1];
    case MSGGROUP_3:
        return &Groups[2];
    default:
        return nullptr;
    }
}

}   // namespace

void OB_AddListener(TMessageHandler Handler, int32_t Group, void* Data)
{
    auto* list = GroupList(Group);
    if (list == nullptr) {
        ReportUnknownGroup();
        return;
    }
    auto grown = *list ? std::make_shared<TListenerList>(**list) : std::make_shared<TListenerList>();
    grown->push_back(TListener{Handler, Data});
    *list = std::move(grown);
}

void OB_SendMessage(int32_t Msg, void* Param, int32_t Value)
{
    auto* list = GroupList(Msg & 0xFF00);
    if (list == nullptr) {
        ReportUnknownGroup();
        return;
    }
    const std::shared_ptr<const TListenerList> snapshot = *list;
    if (!snapshot)
        return;
    for (const TListener& listener : *snapshot)
        listener.Handler(Msg, Param, Value, listener.Data);
}

std::string OB_MessageName(int32_t Msg)
{
    switch (Msg) {
    case MSG_ERROR:
        return "MSG_ERROR";
    case MSG_WARNING:
        return "MSG_WARNING";
    case MSG_RESOLUTIONCHANGE:
        return "MSG_RESOLUTIONCHANGE";
    case MSG_VIDEODEVICELOST:
        return "MSG_VIDEODEVICELOST";
    case MSG_VIDEODEVICERESET:
        return "MSG_VIDEODEVICERESET";
    case MSG_VIDEODEVICEINITIALIZED:
        return "MSG_VIDEODEVICEINITIALIZED";
    case MSG_LOSTFOCUS:
        return "MSG_LOSTFOCUS";
    case MSG_RECEIVEDFOCUS:
        return "MSG_RECEIVEDFOCUS";
    case MSG_DUMMYOBJECT:
        return "MSG_DUMMYOBJECT";
    case MSGID_FATALERROR:
        return "MSGID_FATALERROR";
    default:
        return "Unknown message constant";
    }
}

void OB_SetMessageReport(TMessageReport NewReport)
{
    Report = NewReport;
}

void OB_ResetMessageBus()
{
    for (auto& list : Groups)
        list.reset();
    Report = nullptr;
}

}   // namespace orbel2
