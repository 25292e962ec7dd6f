// Any bytes as the checksum file FILE.sum of a fixed recording, replayed
// headless. The verdict must be the one the README's rules give: the damage
// named in its order (too short for the header, the magic, the version, an
// interval of 0, a partial checksum), or, for a whole file, the first
// checkpoint that differs from the world's real hash at its step, or how
// many matched and where the file ran out.
#include "demo/DemoScene.h"
#include "orbel2/physics/WorldHash.h"
#include "orbel2/session/HeadlessReplay.h"

#include "FuzzSupport.h"

#include <cstring>
#include <fstream>
#include <sstream>

using namespace orbel2;
using namespace orbel2::demo;

namespace {

constexpr uint32_t Steps = 120;
// The world's hash before the first step and after each.
std::vector<uint64_t> Hashes;

void Write(const char* name, const uint8_t* data, size_t size)
{
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

uint32_t Word(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// What is wrong with the file, in the rules' words; empty for a whole one.
std::string Damage(const uint8_t* data, size_t size)
{
    std::string damage;
    if (size < 12)
        damage = "cut short: " + std::to_string(size) + " bytes, fewer than the 12 of its header";
    else if (std::memcmp(data, "OB2S", 4) != 0)
        damage = "not a checksum file (it does not begin with OB2S)";
    else if (Word(data + 4) != 1)
        damage = "version " + std::to_string(Word(data + 4)) + ", and this program reads version 1";
    else if (Word(data + 8) == 0)
        damage = "an interval of 0 steps";
    else if ((size - 12) % 8 != 0)
        damage = "cut short: it ends in " + std::to_string((size - 12) % 8) + " bytes of a partial checksum";
    return damage;
}

// The replay's status and the end of its output as the rules have them.
std::pair<int, std::string> Expected(const uint8_t* data, size_t size)
{
    if (!Damage(data, size).empty())
        return {0, "checkpoints: none, run.sum ignored\n"};
    const uint64_t interval = Word(data + 8);
    const uint64_t count = (size - 12) / 8;
    uint64_t matched = 0;
    for (uint64_t step = 0; step <= Steps; step += interval, ++matched) {
        if (matched == count)
            return {0, "checkpoints: " + std::to_string(matched) + " matched in run.sum, which ends before step " +
                           std::to_string(step) + ": steps " + std::to_string(step) + " to " +
                           std::to_string(Steps) + " went unchecked\n"};
        uint64_t hash = 0;
        std::memcpy(&hash, data + 12 + 8 * matched, 8);
        if (hash != Hashes[step])
            return {3, "Replay diverges at step " + std::to_string(step) + "\n"};
    }
    return {0, "checkpoints: " + std::to_string(matched) + " matched in run.sum\n"};
}

}   // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::EnterScratchDir("checksums");
    std::ofstream run("run", std::ios::binary);
    const float header[3] = {400.0f, 300.0f, 0.5f};
    run.write(reinterpret_cast<const char*>(header), sizeof header);
    for (uint32_t step = 0; step < Steps; ++step) {
        const uint32_t record[2] = {step, (step * 7 / 13) % 16};
        run.write(reinterpret_cast<const char*>(record), sizeof record);
    }
    run.close();
    TDemoScene scene;
    BuildDemoBodies(scene);
    scene.Player.State.Position = TVector2D{header[0], header[1]};
    scene.Player.State.Angle = header[2];
    Hashes.push_back(HashWorld(scene.Physics.Bodies));
    std::ostringstream out, err;
    RunHeadlessReplay({"run", 1, 1}, out, err);
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line) && line.starts_with("hash at step");)
        Hashes.push_back(std::stoull(line.substr(line.find("0x") + 2), nullptr, 16));
    if (Hashes.size() != Steps + 1)
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Write("run.sum", data, size);
    std::ostringstream out, err;
    const int status = RunHeadlessReplay({"run", 0, 1}, out, err);
    const auto [expectedStatus, expectedEnd] = Expected(data, size);
    const std::string text = out.str();
    const std::string damage = Damage(data, size);
    const std::string expectedErr = damage.empty() ? "" : "orbel2: Checksums \"run.sum\" ignored: " + damage + "\n";
    if (status != expectedStatus || !text.ends_with(expectedEnd) || err.str() != expectedErr)
        std::abort();
    return 0;
}
