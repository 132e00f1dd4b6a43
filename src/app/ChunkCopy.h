#pragma once

#include <cstdint>
#include <functional>

class AppTask;
class DeviceFile;
class QFile;
class QIODevice;
class TaskReporter;

// The one loop that moves file contents between this computer and the
// device: blocks of 1 MiB (one AFC request each), progress per whole
// percent, the first error ends it.
class ChunkCopy
{
public:
    static constexpr uint32_t kBlock = 1024 * 1024;

    // Fills buffer with up to *length bytes and sets *length to what came
    // (0 at the end). 0, or the error code the copy then returns.
    using Source = std::function<int(char *buffer, uint32_t *length)>;
    // Takes all length bytes. 0, or the error code the copy then returns.
    using Sink = std::function<int(const char *buffer, uint32_t length)>;
    // After each block but the last; by default the reporter's progress.
    using Progress = std::function<void(uint64_t done)>;

    // Copies total bytes. A source that ends before total, or has more
    // after it, fails the copy with shortResult (the contents changed
    // while they were read). Failures are reported as "Error" at the last
    // percent; success is not reported (the caller has more to do). A
    // task's cancel() is honoured before every block: the copy then ends
    // with AppTask::kCancelled.
    static int run(const Source &source, const Sink &sink, uint64_t total, TaskReporter &reporter, int shortResult,
                   const AppTask *task, const Progress &progress = Progress());

    // A local file to an open device file, sent from the file's descriptor
    // (no copy through this process where the connection allows it); a
    // file that ends early or grows fails with readError, like a failed read.
    static int send(QFile &local, DeviceFile &remote, uint64_t total, TaskReporter &reporter, int readError,
                    const AppTask *task, const Progress &progress = Progress());

    // The two ends: a local file (readError: the code of a failed read;
    // a failed write is -2) and an open device file.
    static Source from(QIODevice &local, int readError);
    static Source from(DeviceFile &remote);
    static Sink to(QIODevice &local);
    static Sink to(DeviceFile &remote);
};
