#include "session/Session.h"
#include "TestSupport.h"
#include "video/platform/OB_KeyMap.h"

#include <deque>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// A message queue and focus that the test scripts.
class TScriptedSource : public TMessageSource {
public:
    std::deque<TMsg> Queue;
    bool Focus = true;

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
};

class TLoggingSession : public TSession {
public:
    std::vector<std::string> Calls;
    TScriptedSource* Source = nullptr;
    int UpdatesBeforeTerminate = -1;
    std::function<void(TLoggingSession&)> OnUpdate;

    void Update() override
    {
        Calls.push_back("Update");
        if (OnUpdate)
            OnUpdate(*this);
    }
    void KeyDown(uint16_t Key) override { Calls.push_back("KeyDown " + std::to_string(Key)); }
    void KeyPress(char Ch) override { Calls.push_back(std::string("KeyPress ") + Ch); }
    void Start() override { Calls.push_back("Start"); }
    void Stop() override { Calls.push_back("Stop"); }
};

TMsg Message(uint32_t message, uint32_t wParam)
{
    TMsg msg;
    msg.message = message;
    msg.wParam = wParam;
    return msg;
}

} // namespace

TEST(SessionLoop, HandlesEveryPendingMessageBeforeTheNextFrame)
{
    TScriptedSource source;
    TLoggingSession session;
    session.SetMessageSource(&source);
    // A key press arrives as its key-down and, translated, its character.
    source.Queue = {Message(WM_KEYDOWN, 0x10041), Message(WM_CHAR, 0x161), Message(0x0200, 0)};
    session.OnUpdate = [&](TLoggingSession& s) {
        if (s.Calls.size() > 6)
            s.Terminate(5);
        else
            source.Queue.push_back(Message(WM_KEYDOWN, VK_ESCAPE));
    };
    EXPECT_EQ(session.Run(), 5);
    EXPECT_EQ(session.Calls,
              (std::vector<std::string>{"Start", "KeyDown 65", "KeyPress a", "Update", "KeyDown 27", "Update",
                                        "KeyDown 27", "Update", "Stop"}));
    EXPECT_FALSE(session.Running());
}

TEST(SessionLoop, QuitMessageEndsTheRunWithZero)
{
    TScriptedSource source;
    TLoggingSession session;
    session.SetMessageSource(&source);
    session.OnUpdate = [&](TLoggingSession& s) {
        s.Terminate(7);   // set, then overridden by the quit message below
        s.Calls.push_back("late");
    };
    source.Queue = {Message(WM_DESTROY, 0), Message(WM_QUIT, 0), Message(WM_KEYDOWN, 'X')};
    EXPECT_EQ(session.Run(), 0);
    EXPECT_EQ(session.Calls, (std::vector<std::string>{"Start", "Stop"}));
    EXPECT_EQ(source.Queue.size(), 1u);   // nothing after the quit message is taken
}

TEST(SessionLoop, NoFrameWithoutFocusAndNoBusyPolling)
{
    TScriptedSource source;
    source.Focus = false;
    TLoggingSession session;
    session.SetMessageSource(&source);
    int passes = 0;
    // The loop waits for events while unfocused; the fake wait counts them.
    struct TFocusAfterWaits : TFakePlatform {
        TScriptedSource* Source;
        void WaitForEvents(int timeout) override
        {
            TFakePlatform::WaitForEvents(timeout);
            if (Waits == 100)
                Source->Focus = true;
        }
    } platform;
    platform.Source = &source;
    OB_SetPlatform(&platform);
    session.OnUpdate = [&](TLoggingSession& s) {
        ++passes;
        s.Terminate(0);
    };
    EXPECT_EQ(session.Run(), 0);
    EXPECT_EQ(platform.Waits, 100);
    EXPECT_EQ(passes, 1);
    EXPECT_EQ(session.Calls, (std::vector<std::string>{"Start", "Update", "Stop"}));
    OB_SetPlatform(nullptr);
}

TEST(SessionLoop, ExceptionLeavesRunWithoutStop)
{
    TScriptedSource source;
    TLoggingSession session;
    session.SetMessageSource(&source);
    session.OnUpdate = [](TLoggingSession&) { throw std::runtime_error("boom"); };
    EXPECT_THROW(session.Run(), std::runtime_error);
    EXPECT_EQ(session.Calls, (std::vector<std::string>{"Start", "Update"}));
}
