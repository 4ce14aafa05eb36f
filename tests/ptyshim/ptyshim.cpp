#include "ptyshim.h"

#include <cerrno>
#include <cstdarg>
#include <ctime>
#include <dlfcn.h>
#include <linux/serial.h>
#include <mutex>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

constexpr int kOutputs = TIOCM_DTR | TIOCM_RTS;
constexpr int kInputs = TIOCM_CTS | TIOCM_DSR | TIOCM_CAR | TIOCM_RNG;
constexpr int kMaxHistory = 256;

std::mutex lock;
bool enabled = true;
int lines = kOutputs;
serial_icounter_struct counts {};
struct Change {
    int bits;
    long long ms;
} history[kMaxHistory];
int historySize = 0;

long long nowMs()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000LL + t.tv_nsec / 1000000;
}

bool isPtySlave(int fd)
{
    struct stat st;
    // UNIX98 pty slaves: majors 136 to 143.
    return fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && major(st.st_rdev) >= 136
        && major(st.st_rdev) <= 143;
}

void setOutputs(int bits)
{
    bits &= kOutputs;
    if (bits == (lines & kOutputs))
        return;
    lines = (lines & ~kOutputs) | bits;
    if (historySize < kMaxHistory)
        history[historySize] = { bits, nowMs() };
    ++historySize;
}

int emulate(unsigned long request, void* arg)
{
    std::lock_guard<std::mutex> hold(lock);
    switch (request) {
    case TIOCMGET:
        *static_cast<int*>(arg) = lines;
        return 0;
    case TIOCMSET:
        setOutputs(*static_cast<int*>(arg));
        return 0;
    case TIOCMBIS:
        setOutputs(lines | *static_cast<int*>(arg));
        return 0;
    case TIOCMBIC:
        setOutputs(lines & ~*static_cast<int*>(arg));
        return 0;
    case TIOCGICOUNT:
        *static_cast<serial_icounter_struct*>(arg) = counts;
        return 0;
    }
    return -1;
}

} // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept
{
    va_list args;
    va_start(args, request);
    void* arg = va_arg(args, void*);
    va_end(args);
    using Ioctl = int (*)(int, unsigned long, ...);
    static const Ioctl real = reinterpret_cast<Ioctl>(dlsym(RTLD_NEXT, "ioctl"));
    const int result = real(fd, request, arg);
    // 515 is the kernel's ENOIOCTLCMD, which should not reach user space but has.
    if (result == 0 || !arg || (errno != ENOTTY && errno != EINVAL && errno != 515))
        return result;
    const int saved = errno;
    // Requests other than ours keep the real call's failure.
    const int emulated = enabled && isPtySlave(fd) ? emulate(request, arg) : -1;
    if (emulated < 0)
        errno = saved;
    return emulated < 0 ? result : emulated;
}

extern "C" {

void quillon_ptyshim_reset(void)
{
    std::lock_guard<std::mutex> hold(lock);
    lines = kOutputs;
    counts = serial_icounter_struct {};
    historySize = 0;
}

void quillon_ptyshim_set_enabled(int on)
{
    std::lock_guard<std::mutex> hold(lock);
    enabled = on != 0;
}

int quillon_ptyshim_lines(void)
{
    std::lock_guard<std::mutex> hold(lock);
    return lines;
}

void quillon_ptyshim_set_inputs(int bits)
{
    std::lock_guard<std::mutex> hold(lock);
    lines = (lines & ~kInputs) | (bits & kInputs);
}

int quillon_ptyshim_history(int* bits, long long* ms, int max)
{
    std::lock_guard<std::mutex> hold(lock);
    for (int i = 0; i < historySize && i < max && i < kMaxHistory; ++i) {
        bits[i] = history[i].bits;
        ms[i] = history[i].ms;
    }
    return historySize;
}

void quillon_ptyshim_set_counts(int overrun, int bufOverrun, int frame, int parity, int brk)
{
    std::lock_guard<std::mutex> hold(lock);
    counts.overrun = overrun;
    counts.buf_overrun = bufOverrun;
    counts.frame = frame;
    counts.parity = parity;
    counts.brk = brk;
}
}
