#pragma once

// SANE's "test" backend keeps a few allocations until the process ends, and
// SANE unloads the backend on sane_exit.  Once unloaded, the leak checker can
// no longer tell its memory from ours and blames the test.  Holding the backend
// loaded for the whole process keeps its name on those blocks, so the leak
// suppressions can match it while every allocation of ours is still checked.

#include <sane/sane.h>

#include <dlfcn.h>

#include <string>

namespace kvx::testing_support {

inline void PinSaneTestBackend()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&sane_init), &info) == 0 || info.dli_fname == nullptr)
        return;
    std::string folder = info.dli_fname;
    folder.erase(folder.rfind('/') + 1);
    // The handle is kept on purpose: RTLD_NODELETE makes the backend outlive every dlclose.
    dlopen((folder + "sane/libsane-test.so.1").c_str(), RTLD_NOW | RTLD_NODELETE);
}

} // namespace kvx::testing_support
