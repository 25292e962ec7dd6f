#include "console/OB_Logfile.h"

#include "console/OB_Console.h"
#include "kernel/OB_Kernel.h"
#include "kernel/OB_Messages.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

constexpr const char* LogFileName = "orbel2.log";

int LogHandle = -1;
std::string LogPath;
uint32_t LogStartTick = 0;

std::string FullPath(const char* name)
{
    std::error_code error;
    auto path = std::filesystem::absolute(name, error);
    return error ? std::string(name) : path.string();
}

[[noreturn]] void RaiseIOError(const std::string& what, int error)
{
    throw EInOutError(what + " \"" + LogPath + "\". " + std::strerror(error));
}

void WriteAll(const std::string& bytes)
{
    if (LogHandle < 0)
        throw EInOutError("File not open: \"" + std::string(LogFileName) + "\"");
    const char* data = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        ssize_t written = ::write(LogHandle, data, left);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            RaiseIOError("Cannot write to file", errno);
        }
        data += written;
        left -= static_cast<size_t>(written);
    }
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

} // namespace

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

void LogInit()
{
    LogPath = FullPath(LogFileName);
    int handle = ::open(LogFileName, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (handle < 0)
        RaiseIOError("Cannot create file", errno);
    LogHandle = handle;
    OB_AddListener(LogKernelMessage, MSGGROUP_KERNEL, nullptr);
    AddCommand("write", "Write a message to the logfile", WriteCommand, nullptr);
    LogStartTick = OB_Platform().TickCount();
}

void LogShutdown()
{
    if (LogHandle >= 0)
        ::close(LogHandle);
    LogHandle = -1;
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
