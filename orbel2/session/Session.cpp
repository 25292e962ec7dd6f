#include "orbel2/session/Session.h"

#include "orbel2/kernel/OB_Platform.h"
#include "orbel2/video/OB_Video.h"

namespace orbel2 {

namespace {

class TDeviceWindowSource final : public TMessageSource {
public:
    bool PumpMessage(TMsg& Msg, bool& Quit) override { return OB_Video_PumpMessage(Msg, Quit); }
    bool HasFocus() override { return OB_Video_HasFocus(); }
};

TDeviceWindowSource DeviceWindowSource;

// While the window lacks the focus no frame is drawn; rather than poll the
// empty queue at full speed, the loop sleeps until an event may be pending.
constexpr int UnfocusedWaitMs = 10;

}   // namespace

TMessageSource& TSession::Source()
{
    return FSource != nullptr ? *FSource : DeviceWindowSource;
}

int32_t TSession::Run()
{
    Begin();
    while (RunPass() != TSessionPass::Ended) {
    }
    return End();
}

void TSession::Begin()
{
    FExitCode = 0;
    FRunning = true;
    Start();
}

TSessionPass TSession::RunPass()
{
    if (!FRunning)
        return TSessionPass::Ended;
    TSessionPass pass = TSessionPass::Message;
    TMsg msg;
    bool quit = false;
    if (Source().PumpMessage(msg, quit)) {
        if (msg.message == WM_KEYDOWN)
            KeyDown(static_cast<uint16_t>(msg.wParam & 0xFFFF));
        else if (msg.message == WM_CHAR)
            KeyPress(static_cast<char>(msg.wParam & 0xFF));
    } else if (Source().HasFocus()) {
        Update();
        pass = TSessionPass::Frame;
    } else {
        OB_Platform().WaitForEvents(UnfocusedWaitMs);
        pass = TSessionPass::Idle;
    }
    if (quit)
        Terminate(0);
    return FRunning ? pass : TSessionPass::Ended;
}

int32_t TSession::End()
{
    Stop();
    return FExitCode;
}

void TSession::Terminate(int32_t Code)
{
    FExitCode = Code;
    FRunning = false;
}

bool TSession::IsKeyDown(uint16_t Key) const
{
    return OB_Platform().IsKeyDown(Key);
}

}   // namespace orbel2
