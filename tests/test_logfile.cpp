#include "TestSupport.h"
#include "orbel2/console/OB_Logfile.h"
#include "orbel2/kernel/OB_Messages.h"

using namespace orbel2;

class Logfile : public TTempDirTest {
protected:
    void TearDown() override
    {
        LogShutdown();
        TTempDirTest::TearDown();
    }
    TFakePlatformScope Fake;
};

TEST(LogTime, FormatsHoursMinutesSecondsAndFourDigitMilliseconds)
{
    EXPECT_EQ(FormatLogTime(3723045), "01:02:03:0045");
    EXPECT_EQ(FormatLogTime(100u * 3600000u), "100:00:00:0000");
    EXPECT_EQ(FormatLogTime(0xFFFFFFFFu), "1193:02:47:0295");
}

TEST_F(Logfile, StartsAfreshAndStampsLinesFromTheStartTickAcrossTheWrap)
{
    WriteWholeFile("orbel2.log", "an old log that is much longer than the new one\r\n");
    Fake.Platform.Ticks = 0xFFFFFF00u;
    LogInit();
    Fake.Platform.Ticks = 0xFFFFFF00u + 3723045u;   // wraps past zero
    LogWriteLine("Orbel2 Initialized");
    LogWrite("raw");
    EXPECT_EQ(ReadWholeFile("orbel2.log"), "[01:02:03:0045] Orbel2 Initialized\r\nraw");
}

TEST_F(Logfile, WriteCommandPutsTheStampAtTheEndAndKernelMessagesAreLogged)
{
    LogInit();
    const TCommandInfo& write = ConsoleCommands().front();
    ASSERT_EQ(write.Name, "write");
    EXPECT_TRUE(write.Proc({}, 0, write.Data));   // nothing to write
    Fake.Platform.Ticks = 310120;
    EXPECT_TRUE(write.Proc({"a", "b"}, 2, write.Data));
    Fake.Platform.Ticks = 0;
    std::string text = "Unable to create font \"Arial\"";
    OB_SendMessage(MSG_VIDEODEVICEINITIALIZED, nullptr, 0);
    OB_SendMessage(MSG_DUMMYOBJECT, &text, 0);
    OB_SendMessage(0x1FF, nullptr, 0);
    EXPECT_EQ(ReadWholeFile("orbel2.log"),
              "Usermessage: a b [00:05:10:0120] \r\n"
              "[00:00:00:0000] Kernel message: MSG_VIDEODEVICEINITIALIZED\r\n"
              "[00:00:00:0000] Kernel message: MSG_DUMMYOBJECT (Unable to create font \"Arial\")\r\n"
              "[00:00:00:0000] Kernel message: Unknown message constant\r\n");
}

TEST_F(Logfile, FailuresRaiseWithThePathAndTheReason)
{
    // A directory where the log should be: it cannot be created.
    std::filesystem::create_directory("orbel2.log");
    const std::string error = ErrorText<EInOutError>(LogInit);
    EXPECT_NE(error.find("Cannot create file \"" + (Dir / "orbel2.log").string() + "\""), std::string::npos) << error;
    EXPECT_NE(error.find("Is a directory"), std::string::npos) << error;
    // Writing with no open log is an error too, never a silent loss.
    EXPECT_THROW(LogWriteLine("lost"), EInOutError);

    std::filesystem::remove("orbel2.log");
    std::filesystem::create_symlink("/dev/full", "orbel2.log");
    LogInit();
    EXPECT_NE(ErrorText<EInOutError>([] { LogWriteLine("Orbel2 Initialized"); }).find("No space left on device"),
              std::string::npos);
}
