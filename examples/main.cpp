// pendulum: a second program on the Orbel2 engine. Starts the engine, opens
// a window, runs the pendulum session, and stops the engine.
//   pendulum [--frames N] [--record FILE | --play FILE]
// --frames N ends the run after N frames (with SDL_VIDEODRIVER=dummy it
// runs with no display at all); --record and --play start recording or
// replaying the arrow keys at once, as the console's "rec" and "replay" do.
#include "PendulumSession.h"

#include "console/OB_Logfile.h"
#include "session/OB_Kernel.h"
#include "video/OB_Video.h"

#include <charconv>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>

namespace {

struct TOptions {
    int32_t Frames = 0;
    std::string Record;
    std::string Play;
};

std::optional<TOptions> ReadOptions(int argc, char** argv)
{
    TOptions options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const std::string value = argv[i + 1];
        if (name == "--frames") {
            const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), options.Frames);
            if (error != std::errc{} || end != value.data() + value.size() || options.Frames < 0)
                return std::nullopt;
        } else if (name == "--record") {
            options.Record = value;
        } else if (name == "--play") {
            options.Play = value;
        } else {
            return std::nullopt;
        }
    }
    if (argc % 2 == 0 || (!options.Record.empty() && !options.Play.empty()))
        return std::nullopt;
    return options;
}

// guide: main
int RunPendulum(const TOptions& Options)
{
    OB_Kernel_Init();
    OB_Video_Open(nullptr, 640, 480, 32, false, true, 0);
    auto session = std::make_unique<TPendulumSession>(Options.Frames, Options.Record, Options.Play);
    session->Run();
    LogWriteLine("Pendulum: " + std::to_string(session->Frames()) + " frames, " + std::to_string(session->Steps()) +
                 " steps, " + std::to_string(session->RecordsReplayed()) + " records replayed");
    session.reset();
    OB_Video_Close();
    OB_Kernel_Finalize();
    return 0;
}
// guide: end

}   // namespace

int main(int argc, char** argv)
{
    const std::optional<TOptions> options = ReadOptions(argc, argv);
    if (!options) {
        std::fprintf(stderr, "usage: pendulum [--frames N] [--record FILE | --play FILE]\n");
        return 2;
    }
    try {
        return RunPendulum(*options);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "pendulum: %s\n", error.what());
        return 1;
    }
}
