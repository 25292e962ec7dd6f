// Shared helpers of the engine's tests: a fresh working directory per test
// (the log and recordings are written to the current directory) and a fake
// platform whose clock, ticks, keys and memory figures the test sets.
#pragma once

#include "kernel/OB_Platform.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include <unistd.h>

class TFakePlatform : public OB_TPlatform {
public:
    int64_t Counter = 0;
    int64_t Frequency = 1000;
    uint32_t Ticks = 0;
    std::set<uint16_t> KeysDown;
    OB_TMemoryStatus Memory;
    OB_THeapStatus Heap;
    int Waits = 0;

    int64_t PerformanceCounter() override { return Counter; }
    int64_t PerformanceFrequency() override { return Frequency; }
    uint32_t TickCount() override { return Ticks; }
    bool IsKeyDown(uint16_t virtualKey) override { return KeysDown.count(virtualKey) != 0; }
    OB_TMemoryStatus MemoryStatus() override { return Memory; }
    OB_THeapStatus HeapStatus() override { return Heap; }
    void WaitForEvents(int) override { ++Waits; }
};

// Installs the fake platform for the life of the object.
class TFakePlatformScope {
public:
    TFakePlatformScope() { OB_SetPlatform(&Platform); }
    ~TFakePlatformScope() { OB_SetPlatform(nullptr); }
    TFakePlatform Platform;
};

// Runs the test inside a fresh, empty directory and removes it afterwards.
class TTempDirTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Previous = std::filesystem::current_path();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        Dir = std::filesystem::temp_directory_path() /
              ("orbel2-test-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" +
               std::to_string(::getpid()));
        std::filesystem::remove_all(Dir);
        std::filesystem::create_directories(Dir);
        std::filesystem::current_path(Dir);
    }
    void TearDown() override
    {
        std::filesystem::current_path(Previous);
        std::error_code ignored;
        std::filesystem::remove_all(Dir, ignored);
    }

    std::filesystem::path Dir;
    std::filesystem::path Previous;
};

inline std::string ReadWholeFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteWholeFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}
