// Sessions own the program's main loop while a game runs. TSession pumps the
// window messages, hands key presses and typed characters to its virtual
// operations, and runs one frame (Update) whenever the queue is empty and the
// device window has the keyboard focus. One pass of the loop handles either
// one message or one frame, never both. A session is run once.
#pragma once

#include "orbel2/video/OB_WindowMessages.h"

#include <cstdint>
#include <memory>

namespace orbel2 {

// Where the loop takes its messages and asks about the focus. The default
// one is the video system's device window; tests supply their own.
class TMessageSource {
public:
    virtual ~TMessageSource() = default;
    // Takes at most one pending message; true when it took one.
    virtual bool PumpMessage(TMsg& Msg, bool& Quit) = 0;
    virtual bool HasFocus() = 0;
};

// What one pass of the loop did (TSession::RunPass).
enum class TSessionPass { Message, Frame, Idle, Ended };

class TSession {
public:
    TSession() = default;
    TSession(const TSession&) = delete;
    TSession& operator=(const TSession&) = delete;
    virtual ~TSession() = default;

    // Start, the loop, Stop; returns ExitCode. An exception raised inside
    // leaves at once, without Stop.
    int32_t Run();
    // The loop in pieces, for hosts that own the loop themselves (the
    // browser calls back once per display frame): Begin starts the session,
    // RunPass runs one pass (one message, one frame, or a wait while the
    // window lacks the focus), End stops it and returns ExitCode. Run is
    // Begin, RunPass until it says Ended, End.
    void Begin();
    TSessionPass RunPass();
    int32_t End();
    // Ends the loop before its next message; Run then returns Code.
    void Terminate(int32_t Code);
    // Whether the key with this virtual-key code is down at this moment.
    bool IsKeyDown(uint16_t Key) const;

    // Replaces the message source (not owned); nullptr restores the device window.
    void SetMessageSource(TMessageSource* Source) { FSource = Source; }

    bool Running() const { return FRunning; }
    int32_t ExitCode() const { return FExitCode; }

    virtual void Update() = 0;   // one frame of the game
    virtual void KeyDown(uint16_t /*Key*/) {}
    virtual void KeyPress(char /*Ch*/) {}
    virtual void Start() {}
    virtual void Stop() {}

private:
    TMessageSource& Source();

    bool FRunning = false;
    int32_t FExitCode = 0;
    TMessageSource* FSource = nullptr;
};

// The virtual constructor: a session class is named by its factory, and the
// main program creates the session through it.
using TSessionClass = std::unique_ptr<TSession> (*)();

template <class TConcreteSession>
std::unique_ptr<TSession> SessionClass()
{
    return std::make_unique<TConcreteSession>();
}

}   // namespace orbel2
