#include "console/OB_Logfile.h"
#include "kernel/OB_Messages.h"
#include "TestSupport.h"

#include <vector>

namespace {

struct TCall {
    int Listener;
    int32_t Msg;
    void* Param;
    int32_t Value;
    void* Data;
};

std::vector<TCall> Calls;

template <int N>
void Record(int32_t Msg, void* Param, int32_t Value, void* Data)
{
    Calls.push_back(TCall{N, Msg, Param, Value, Data});
}

void SubscribeWhileHandling(int32_t Msg, void*, int32_t, void*)
{
    Calls.push_back(TCall{9, Msg, nullptr, 0, nullptr});
    if (Msg == MSG_WARNING)
        OB_AddListener(Record<3>, MSGGROUP_KERNEL, nullptr);
}

void SendNested(int32_t Msg, void*, int32_t, void*)
{
    Calls.push_back(TCall{7, Msg, nullptr, 0, nullptr});
    if (Msg == MSG_ERROR)
        OB_SendMessage(MSG_WARNING, nullptr, 0);
}

class MessageBus : public TTempDirTest {
protected:
    void SetUp() override
    {
        TTempDirTest::SetUp();
        Calls.clear();
        LogInit();
    }
    void TearDown() override
    {
        LogShutdown();
        TTempDirTest::TearDown();
    }
    std::string Log() { return ReadWholeFile("orbel2.log"); }
};

} // namespace

TEST_F(MessageBus, DeliversToGroupInSubscriptionOrderWithArguments)
{
    int data = 0;
    OB_AddListener(Record<1>, MSGGROUP_KERNEL, &data);
    OB_AddListener(Record<2>, MSGGROUP_KERNEL, nullptr);
    OB_AddListener(Record<1>, MSGGROUP_2, nullptr);
    int param = 0;
    OB_SendMessage(MSG_VIDEODEVICELOST, &param, 7);
    ASSERT_EQ(Calls.size(), 2u);
    EXPECT_EQ(Calls[0].Listener, 1);
    EXPECT_EQ(Calls[0].Msg, 0x104);
    EXPECT_EQ(Calls[0].Param, &param);
    EXPECT_EQ(Calls[0].Value, 7);
    EXPECT_EQ(Calls[0].Data, &data);
    EXPECT_EQ(Calls[1].Listener, 2);
    EXPECT_EQ(Calls[1].Data, nullptr);

    // An id without a name in a known group is still delivered.
    Calls.clear();
    OB_SendMessage(0x1FF, nullptr, 0);
    EXPECT_EQ(Calls.size(), 2u);
    // A group without listeners: nothing happens.
    Calls.clear();
    OB_SendMessage(0x301, nullptr, 0);
    EXPECT_TRUE(Calls.empty());
    // The same handler subscribed again is called once per subscription.
    OB_AddListener(Record<1>, MSGGROUP_KERNEL, nullptr);
    OB_SendMessage(MSG_ERROR, nullptr, 0);
    EXPECT_EQ(Calls.size(), 3u);
}

TEST_F(MessageBus, UnknownGroupsAreLoggedAndIgnored)
{
    OB_AddListener(Record<1>, 0x101, nullptr);   // the group is compared whole
    OB_AddListener(Record<1>, MSGGROUP_KERNEL, nullptr);
    OB_SendMessage(0x400, nullptr, 0);
    EXPECT_TRUE(Calls.empty());
    const std::string log = Log();
    size_t first = log.find("] Message sent to unknown messagegroup\r\n");
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(log.find("] Message sent to unknown messagegroup\r\n", first + 1), std::string::npos);
    OB_SendMessage(MSG_ERROR, nullptr, 0);
    EXPECT_EQ(Calls.size(), 1u);   // only the kernel-group subscription took
}

TEST_F(MessageBus, ListenerAddedDuringDeliveryWaitsForTheNextMessage)
{
    OB_AddListener(SubscribeWhileHandling, MSGGROUP_KERNEL, nullptr);
    OB_SendMessage(MSG_WARNING, nullptr, 0);
    ASSERT_EQ(Calls.size(), 1u);
    Calls.clear();
    OB_SendMessage(MSG_ERROR, nullptr, 0);
    ASSERT_EQ(Calls.size(), 2u);
    EXPECT_EQ(Calls[1].Listener, 3);
}

TEST_F(MessageBus, NestedSendRunsToItsEndBeforeTheOuterContinues)
{
    OB_AddListener(SendNested, MSGGROUP_KERNEL, nullptr);
    OB_AddListener(Record<2>, MSGGROUP_KERNEL, nullptr);
    OB_SendMessage(MSG_ERROR, nullptr, 0);
    ASSERT_EQ(Calls.size(), 4u);
    EXPECT_EQ(Calls[0].Msg, MSG_ERROR);    // outer, first listener
    EXPECT_EQ(Calls[1].Msg, MSG_WARNING);  // nested, first listener
    EXPECT_EQ(Calls[2].Msg, MSG_WARNING);  // nested, second listener
    EXPECT_EQ(Calls[3].Msg, MSG_ERROR);    // outer, second listener
}

TEST(MessageNames, NamesEveryKernelMessageAndNothingElse)
{
    const char* names[] = {"MSG_ERROR", "MSG_WARNING", "MSG_RESOLUTIONCHANGE", "MSG_VIDEODEVICELOST",
                           "MSG_VIDEODEVICERESET", "MSG_VIDEODEVICEINITIALIZED", "MSG_LOSTFOCUS",
                           "MSG_RECEIVEDFOCUS", "MSG_DUMMYOBJECT", "MSGID_FATALERROR"};
    for (int32_t id = 0x101; id <= 0x10A; ++id)
        EXPECT_EQ(OB_MessageName(id), names[id - 0x101]);
    for (int32_t id : {0, 0x100, 0x10B, 0x1FF, 0x201, -1})
        EXPECT_EQ(OB_MessageName(id), "Unknown message constant");
}
