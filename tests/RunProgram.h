// Runs the real program (ORBEL2_PROGRAM, set by the build) in a child
// process, as a person at a shell would.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace orbel2 {

// Runs the demo program in the current directory with Args, headless
// unless Setup changes its environment; returns its wait status, its
// standard output in stdout.txt and its standard error in stderr.txt.
inline int RunProgram(
    const std::function<void()>& Setup = [] {}, const std::vector<std::string>& Args = {})
{
    const pid_t child = ::fork();
    if (child == 0) {
        const int out = ::open("stdout.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::setenv("SDL_VIDEODRIVER", "dummy", 1);
        ::setenv("SDL_RENDER_DRIVER", "software", 1);
        Setup();
        std::vector<char*> argv{const_cast<char*>(ORBEL2_PROGRAM)};
        for (const std::string& arg : Args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(ORBEL2_PROGRAM, argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return status;
}

}   // namespace orbel2
