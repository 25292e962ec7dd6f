#include "TestSupport.h"
#include "orbel2/kernel/OB_KeyCodes.h"
#include "orbel2/session/Session.h"

#include <deque>
#include <stdexcept>

using namespace orbel2;

namespace {

using Calls = std::vector<std::string>;

// A session that logs its calls, fed from a message queue and focus that
// the test scripts.
class TScriptedSession : public TSession, public TMessageSource {
public:
    std::deque<TMsg> Queue;
    bool Focus = true;
    Calls Log;
    std::function<void()> OnUpdate;

    TScriptedSession() { SetMessageSource(this); }
    bool PumpMessage(TMsg& Msg, bool& Quit) override
    {
        if (Queue.empty())
            return false;
        Msg = Queue.front();
        Queue.pop_front();
        Quit = Msg.message == WM_QUIT;
        return true;
    }
    bool HasFocus() override { return Focus; }
    void Update() override
    {
        Log.push_back("Update");
        if (OnUpdate)
            OnUpdate();
    }
    void KeyDown(uint16_t Key) override { Log.push_back("KeyDown " + std::to_string(Key)); }
    void KeyPress(char Ch) override { Log.push_back(std::string("KeyPress ") + Ch); }
    void Start() override { Log.push_back("Start"); }
    void Stop() override { Log.push_back("Stop"); }
};

}   // namespace

TEST(SessionLoop, HandlesEveryPendingMessageBeforeTheNextFrameAndReturnsTheTerminateCode)
{
    TScriptedSession session;
    // A key press arrives as its key-down and, translated, its character.
    session.Queue = {TMsg{WM_KEYDOWN, 0x10041}, TMsg{WM_CHAR, 0x161}, TMsg{0x0200}};
    session.OnUpdate = [&] {
        if (session.Log.size() > 6)
            session.Terminate(5);
        else
            session.Queue.push_back(TMsg{WM_KEYDOWN, VK_ESCAPE});
    };
    EXPECT_EQ(session.Run(), 5);
    EXPECT_EQ(
        session.Log,
        (Calls{"Start", "KeyDown 65", "KeyPress a", "Update", "KeyDown 27", "Update", "KeyDown 27", "Update", "Stop"}));
    EXPECT_FALSE(session.Running());
}

TEST(SessionLoop, QuitEndsTheRunWithZeroAndAnExceptionLeavesItWithoutStop)
{
    TScriptedSession quitting;
    quitting.OnUpdate = [&] { quitting.Terminate(7); };   // never reached
    quitting.Queue = {TMsg{WM_DESTROY}, TMsg{WM_QUIT}, TMsg{WM_KEYDOWN, 'X'}};
    EXPECT_EQ(quitting.Run(), 0);
    EXPECT_EQ(quitting.Log, (Calls{"Start", "Stop"}));
    EXPECT_EQ(quitting.Queue.size(), 1u);   // nothing after the quit message is taken

    TScriptedSession failing;
    failing.OnUpdate = [] { throw std::runtime_error("boom"); };
    EXPECT_THROW(failing.Run(), std::runtime_error);
    EXPECT_EQ(failing.Log, (Calls{"Start", "Update"}));
}

TEST(SessionLoop, NoFrameWithoutFocusAndNoBusyPolling)
{
    TScriptedSession session;
    session.Focus = false;
    // The loop waits for events while unfocused; the fake wait counts them.
    struct TFocusAfterWaits : TFakePlatform {
        bool* Focus = nullptr;
        void WaitForEvents(int timeout) override
        {
            TFakePlatform::WaitForEvents(timeout);
            *Focus = Waits == 100;
        }
    } platform;
    platform.Focus = &session.Focus;
    OB_SetPlatform(&platform);
    session.OnUpdate = [&] { session.Terminate(0); };
    EXPECT_EQ(session.Run(), 0);
    EXPECT_EQ(platform.Waits, 100);
    EXPECT_EQ(session.Log, (Calls{"Start", "Update", "Stop"}));
    OB_SetPlatform(nullptr);
}
