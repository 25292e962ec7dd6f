// The session's loop in passes, as the browser drives it: each pass says
// what it did, and Begin, the passes and End make the same calls as Run.
#include "FakePlatform.h"
#include "TestSupport.h"
#include "orbel2/kernel/OB_KeyCodes.h"
#include "orbel2/session/Session.h"

#include <deque>

using namespace orbel2;

namespace {

class TPassSession : public TSession, public TMessageSource {
public:
    std::deque<TMsg> Queue;
    bool Focus = true;
    std::vector<std::string> Log;

    TPassSession() { SetMessageSource(this); }
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
    void Update() override { Log.push_back("Update"); }
    void KeyDown(uint16_t Key) override
    {
        Log.push_back("KeyDown " + std::to_string(Key));
        if (Key == VK_ESCAPE)
            Terminate(7);
    }
    void Start() override { Log.push_back("Start"); }
    void Stop() override { Log.push_back("Stop"); }
};

}   // namespace

TEST(SessionPasses, EachPassSaysWhatItDidAndTheEndGivesTheExitCode)
{
    TFakePlatform platform;
    OB_SetPlatform(&platform);
    TPassSession session;
    session.Begin();
    session.Queue = {TMsg{WM_KEYDOWN, 0x10041}};
    EXPECT_EQ(session.RunPass(), TSessionPass::Message);
    EXPECT_EQ(session.RunPass(), TSessionPass::Frame);
    session.Focus = false;
    EXPECT_EQ(session.RunPass(), TSessionPass::Idle);
    EXPECT_EQ(platform.Waits, 1);
    session.Queue = {TMsg{WM_KEYDOWN, VK_ESCAPE}, TMsg{WM_KEYDOWN, 0x10042}};
    EXPECT_EQ(session.RunPass(), TSessionPass::Ended);
    // Ended stays ended: the message after Escape is never taken.
    EXPECT_EQ(session.RunPass(), TSessionPass::Ended);
    EXPECT_EQ(session.Queue.size(), 1u);
    EXPECT_EQ(session.End(), 7);
    EXPECT_EQ(session.Log, (std::vector<std::string>{"Start", "KeyDown 65", "Update", "KeyDown 27", "Stop"}));
    OB_SetPlatform(nullptr);
}

TEST(SessionPasses, TheQuitMessageEndsThePassWithExitCodeZero)
{
    TPassSession session;
    session.Begin();
    session.Queue = {TMsg{WM_QUIT}};
    EXPECT_EQ(session.RunPass(), TSessionPass::Ended);
    EXPECT_EQ(session.End(), 0);
    EXPECT_EQ(session.Log, (std::vector<std::string>{"Start", "Stop"}));
}
