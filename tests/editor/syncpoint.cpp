#include "syncpoint.h"

#include <dlfcn.h>

#include <utility>

namespace {
std::function<void()> pending;
}

void AtNextSync(std::function<void()> hook)
{
    pending = std::move(hook);
}

// Stands in for the C library's fsync in this process, calling it after the
// hook has run.
extern "C" int fsync(int fd)
{
    static auto real = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "fsync"));
    if (pending) {
        std::function<void()> hook = std::move(pending);
        pending = nullptr;
        hook();
    }
    return real(fd);
}
