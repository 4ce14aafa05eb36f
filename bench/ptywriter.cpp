#include "bench/ptywriter.h"
#include "bench/rxstream.h"
#include "tests/testsupport.h"

#include <QByteArray>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include <pthread.h>
#include <unistd.h>

namespace {

double threadCpu(clockid_t clock)
{
    timespec ts {};
    if (::clock_gettime(clock, &ts) != 0)
        return -1;
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

} // namespace

PtyWriter::PtyWriter()
{
    // Blocking, unlike the tests' PtyPair: the writer thread waits for the reader.
    openRawPty(&master, &path);
}

PtyWriter::~PtyWriter()
{
    stop();
    join();
    if (master >= 0)
        ::close(master);
}

void PtyWriter::start(bool hex, qint64 rate, qint64 lineLimit)
{
    thread = std::thread([=] { run(hex, rate, lineLimit); });
    hasClock = pthread_getcpuclockid(thread.native_handle(), &cpuClock) == 0;
}

void PtyWriter::join()
{
    if (thread.joinable())
        thread.join();
}

double PtyWriter::cpuSeconds() const
{
    if (done || !hasClock)
        return finalCpu;
    // A thread that has just ended has no clock any more: its last reading stands in.
    const double cpu = threadCpu(cpuClock);
    return cpu < 0 ? double(finalCpu) : cpu;
}

bool PtyWriter::writeAll(const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(master, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

void PtyWriter::run(bool hex, qint64 rate, qint64 lineLimit)
{
    using Clock = std::chrono::steady_clock;
    // Unthrottled writes go in blocks of about 40 KiB; throttled ones as soon as a line's worth
    // of tokens is there, with at most 10 ms of tokens saved up while the reader lags.
    const qint64 blockLines = 1024;
    const double capacity = std::max(double(RxStream::LineBytes), double(rate) / 100.0);
    double tokens = 0;
    auto last = Clock::now();
    QByteArray block;
    block.reserve(int(blockLines) * RxStream::LineBytes);
    qint64 seq = 0;
    while (!stopping && (lineLimit == 0 || seq < lineLimit)) {
        qint64 n = blockLines;
        if (rate > 0) {
            const auto now = Clock::now();
            tokens = std::min(capacity,
                tokens + double(rate) * std::chrono::duration<double>(now - last).count());
            last = now;
            n = std::min(blockLines, qint64(tokens) / RxStream::LineBytes);
            if (n == 0) {
                std::this_thread::sleep_for(std::chrono::microseconds(500));
                continue;
            }
            tokens -= double(n * RxStream::LineBytes);
        }
        if (lineLimit > 0)
            n = std::min(n, lineLimit - seq);
        block.clear();
        for (qint64 i = 0; i < n; ++i)
            RxStream::appendLine(block, quint32(seq + i), hex);
        if (!writeAll(block.constData(), block.size())) {
            writeFailed = true;
            break;
        }
        seq += n;
        sent = seq;
    }
    finalCpu = threadCpu(CLOCK_THREAD_CPUTIME_ID);
    done = true;
}
