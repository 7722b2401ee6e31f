#pragma once

// The program run as a user runs it from a shell: its own process, no display
// at all (no DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM), its home in a
// folder of the test's, and what it printed kept in files there.  The
// including test names the binary through KALVEX_BINARY.

#include "workfolder.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace kvx::test {

struct ProgramRun {
    int status = -1;  // the exit status, -1 for a signal
    std::string out;
    std::string err;
};

// As the user nobody when asked: root writes wherever it likes, so a folder
// that refuses writes only refuses them to somebody else.
inline ProgramRun RunKalvex(const std::vector<std::string>& args, const std::filesystem::path& home,
                            bool asNobody = false)
{
    const std::filesystem::path out = home / "stdout.txt";
    const std::filesystem::path err = home / "stderr.txt";
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (o < 0 || e < 0)
            ::_exit(126);
        ::dup2(o, 1);
        ::dup2(e, 2);
        std::string homeVar = "HOME=" + home.string();
        std::string kalvexHome = "KALVEX_HOME=" + home.string();
        std::string path = "PATH=/usr/bin:/bin";
        std::vector<char*> env{homeVar.data(), kalvexHome.data(), path.data(), nullptr};
        std::vector<std::string> all;
        if (asNobody)
            all = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
        all.push_back(KALVEX_BINARY);
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execve(argv[0], argv.data(), env.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadAll(out), ReadAll(err)};
}

} // namespace kvx::test
