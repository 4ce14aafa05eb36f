#pragma once

#include <QString>

#include <atomic>
#include <ctime>
#include <thread>

// The device end of the benchmark: a pseudo-terminal whose slave the window opens as its port,
// and a thread that writes numbered lines into the master at a given rate.
class PtyWriter {
public:
    PtyWriter();
    ~PtyWriter();
    PtyWriter(const PtyWriter&) = delete;
    PtyWriter& operator=(const PtyWriter&) = delete;

    bool isOpen() const { return master >= 0; }
    QString slavePath() const { return path; }

    // rate in bytes per second, 0 for blocking writes as fast as the reader drains the pty;
    // lineLimit 0 writes until stop().
    void start(bool hex, qint64 rate, qint64 lineLimit);
    // Ends the stream after the lines being written, so it always ends with a whole line.
    void stop() { stopping = true; }
    void join();

    qint64 linesSent() const { return sent; }
    bool finished() const { return done; }
    bool failed() const { return writeFailed; }
    // CPU time the writer thread has used so far, in seconds.
    double cpuSeconds() const;

private:
    void run(bool hex, qint64 rate, qint64 lineLimit);
    bool writeAll(const char* data, qint64 size);

    int master = -1;
    QString path;
    std::thread thread;
    clockid_t cpuClock {};
    bool hasClock = false;
    std::atomic<bool> stopping { false };
    std::atomic<bool> done { false };
    std::atomic<bool> writeFailed { false };
    std::atomic<qint64> sent { 0 };
    std::atomic<double> finalCpu { 0 };
};
