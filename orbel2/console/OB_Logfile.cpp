#include "orbel2/console/OB_Logfile.h"

#include "orbel2/console/OB_Console.h"
#include "orbel2/kernel/OB_Errors.h"
#include "orbel2/kernel/OB_Files.h"
#include "orbel2/kernel/OB_Messages.h"
#include "orbel2/kernel/OB_Platform.h"

#include <fcntl.h>

#include <cstdio>

namespace orbel2 {

namespace {

std::string& FileName()
{
    static std::string name = "orbel2.log";
    return name;
}

TFileDescriptor LogFile;
uint32_t LogStartTick = 0;

void WriteAll(const std::string& bytes)
{
    if (!LogFile.IsOpen())
        throw EInOutError("File not open: " + OB_QuotedName(FileName()));
    std::string reason;
    if (!OB_WriteAll(LogFile.Get(), bytes.data(), bytes.size(), reason))
        throw EInOutError(OB_FileErrorText("Cannot write to file", FileName(), reason));
}

std::string KernelMessageText(int32_t Msg, void* Param)
{
    std::string text = OB_MessageName(Msg);
    if (Msg == MSG_DUMMYOBJECT && Param != nullptr)
        text += " (" + *static_cast<const std::string*>(Param) + ")";
    return text;
}

void LogKernelMessage(int32_t Msg, void* Param, int32_t /*Value*/, void* /*Data*/)
{
    if ((Msg & 0xFF00) != MSGGROUP_KERNEL)
        return;
    LogWriteLine("Kernel message: " + KernelMessageText(Msg, Param));
}

bool WriteCommand(const std::vector<std::string>& Args, int32_t ArgCount, void* /*Data*/)
{
    if (ArgCount == 0)
        return true;
    LogWrite("Usermessage: ");
    for (const std::string& word : Args)
        LogWrite(word + " ");
    LogWriteLine("");
    return true;
}

}   // namespace

std::string FormatLogTime(uint32_t Milliseconds)
{
    const uint32_t hours = Milliseconds / 3600000;
    uint32_t rest = Milliseconds % 3600000;
    const uint32_t minutes = rest / 60000;
    rest %= 60000;
    const uint32_t seconds = rest / 1000;
    const uint32_t millis = rest % 1000;
    char text[32];
    std::snprintf(text, sizeof text, "%2.2u:%2.2u:%2.2u:%4.4u", hours, minutes, seconds, millis);
    return text;
}

void LogSetFileName(const std::string& Name)
{
    FileName() = Name;
}

const std::string& LogFileName()
{
    return FileName();
}

void LogInit()
{
    std::string reason;
    LogFile = OB_OpenFile(FileName(), O_WRONLY | O_CREAT | O_TRUNC, reason);
    if (!LogFile.IsOpen())
        throw EInOutError(OB_FileErrorText("Cannot create file", FileName(), reason));
    OB_AddListener(LogKernelMessage, MSGGROUP_KERNEL, nullptr);
    OB_SetMessageReport(LogWriteLine);
    AddCommand("write", "Write a message to the logfile", WriteCommand, nullptr);
    LogStartTick = OB_Platform().TickCount();
}

void LogShutdown()
{
    OB_SetMessageReport(nullptr);
    LogFile.Reset();
}

void LogWriteLine(const std::string& Text)
{
    // Unsigned subtraction keeps the difference right across one wrap.
    const uint32_t elapsed = OB_Platform().TickCount() - LogStartTick;
    std::string line;
    line.reserve(Text.size() + 24);
    line.append("[").append(FormatLogTime(elapsed)).append("] ").append(Text).append("\r\n");
    WriteAll(line);
}

void LogWrite(const std::string& Text)
{
    WriteAll(Text);
}

}   // namespace orbel2
