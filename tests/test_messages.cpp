#include "TestSupport.h"
#include "orbel2/console/OB_Logfile.h"
#include "orbel2/kernel/OB_Messages.h"

#include <sstream>

using namespace orbel2;

namespace {

// Each call as "<listener>:<message>" plus, for listener 1, its arguments.
std::vector<std::string> Calls;

template <int N>
void Record(int32_t Msg, void* Param, int32_t Value, void* Data)
{
    std::ostringstream call;
    call << N << ":" << OB_MessageName(Msg);
    if (N == 1)
        call << " " << (Param != nullptr) << Value << (Data != nullptr);
    Calls.push_back(call.str());
}

void SubscribeWhileHandling(int32_t Msg, void*, int32_t, void*)
{
    Calls.push_back("9:" + OB_MessageName(Msg));
    if (Msg == MSG_WARNING)
        OB_AddListener(Record<3>, MSGGROUP_KERNEL, nullptr);
}

void SendNested(int32_t Msg, void*, int32_t, void*)
{
    Calls.push_back("7:" + OB_MessageName(Msg));
    if (Msg == MSG_ERROR)
        OB_SendMessage(MSG_WARNING, nullptr, 0);
}

using Texts = std::vector<std::string>;

}   // namespace

class MessageBus : public TTempDirTest {};

TEST_F(MessageBus, DeliversToGroupInSubscriptionOrderWithArgumentsAndLogsUnknownGroups)
{
    LogInit();
    int data = 0, param = 0;
    OB_AddListener(Record<1>, MSGGROUP_KERNEL, &data);
    OB_AddListener(Record<2>, MSGGROUP_KERNEL, nullptr);
    OB_AddListener(Record<1>, MSGGROUP_2, nullptr);
    OB_AddListener(Record<1>, 0x101, nullptr);   // the group is compared whole: unknown
    OB_SendMessage(MSG_VIDEODEVICELOST, &param, 7);
    OB_SendMessage(0x1FF, nullptr, 0);   // no name, but a known group
    OB_SendMessage(0x301, nullptr, 0);   // no listeners
    OB_SendMessage(0x400, nullptr, 0);   // unknown group
    EXPECT_EQ(Calls,
              (Texts{"1:MSG_VIDEODEVICELOST 171", "2:MSG_VIDEODEVICELOST", "1:Unknown message constant 001",
                     "2:Unknown message constant"}));
    const std::string log = ReadWholeFile("orbel2.log");
    const std::string unknown = "] Message sent to unknown messagegroup\r\n";
    ASSERT_NE(log.find(unknown), std::string::npos);
    EXPECT_NE(log.find(unknown, log.find(unknown) + 1), std::string::npos);   // subscribing and sending
    LogShutdown();
}

TEST_F(MessageBus, ListenerAddedDuringDeliveryWaitsForTheNextAndNestedSendsRunToTheirEndFirst)
{
    OB_AddListener(SubscribeWhileHandling, MSGGROUP_KERNEL, nullptr);
    OB_SendMessage(MSG_WARNING, nullptr, 0);   // adds listener 3
    OB_SendMessage(MSG_ERROR, nullptr, 0);
    EXPECT_EQ(Calls, (Texts{"9:MSG_WARNING", "9:MSG_ERROR", "3:MSG_ERROR"}));

    Calls.clear();
    OB_AddListener(SendNested, MSGGROUP_KERNEL, nullptr);
    OB_AddListener(Record<2>, MSGGROUP_KERNEL, nullptr);
    OB_SendMessage(MSG_ERROR, nullptr, 0);   // sends MSG_WARNING inside
    EXPECT_EQ(Calls,
              (Texts{"9:MSG_ERROR", "3:MSG_ERROR", "7:MSG_ERROR", "9:MSG_WARNING", "3:MSG_WARNING", "7:MSG_WARNING",
                     "2:MSG_WARNING", "2:MSG_ERROR"}));
}
