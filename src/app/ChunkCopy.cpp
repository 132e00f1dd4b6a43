#include "ChunkCopy.h"

#include "AppTask.h"
#include "DeviceFile.h"
#include "DiagLog.h"
#include "TaskReporter.h"

#include <QIODevice>

#include <algorithm>
#include <vector>

int ChunkCopy::run(const Source &source, const Sink &sink, uint64_t total, TaskReporter &reporter, int shortResult,
                   const AppTask *task, const Progress &progress)
{
    std::vector<char> block(kBlock);
    uint64_t done = 0;
    for (;;) {
        if (task && task->isCancelled()) {
            DIAG_LOG("cancelled");
            return AppTask::kCancelled;
        }
        // One byte past the end is asked for too: a source that grew is
        // as wrong as one that shrank.
        uint32_t n = uint32_t(std::min<uint64_t>(kBlock, total - done + (done == total ? 1 : 0)));
        const int rc = source(block.data(), &n);
        if (rc != 0) {
            DIAG_LOG("copy: read failed");
            reporter.report("Error", std::max(0, reporter.lastPercent()), "read failed");
            return rc;
        }
        if (n == 0 || done == total) {
            if (n == 0 && done == total)
                return 0;
            DIAG_LOG("copy: the contents changed while they were read");
            reporter.report("Error", std::max(0, reporter.lastPercent()), "size changed");
            return shortResult;
        }
        const int written = sink(block.data(), n);
        if (written != 0) {
            DIAG_LOG("copy: write failed");
            reporter.report("Error", std::max(0, reporter.lastPercent()), "write failed");
            return written;
        }
        done += n;
        if (done < total) {
            if (progress)
                progress(done);
            else
                reporter.progress(done, total);
        }
    }
}

ChunkCopy::Source ChunkCopy::from(QIODevice &local, int readError)
{
    return [&local, readError](char *buffer, uint32_t *length) {
        const qint64 got = local.read(buffer, qint64(*length));
        if (got < 0)
            return readError;
        *length = uint32_t(got);
        return 0;
    };
}

ChunkCopy::Source ChunkCopy::from(DeviceFile &remote)
{
    return [&remote](char *buffer, uint32_t *length) { return remote.read(buffer, length); };
}

ChunkCopy::Sink ChunkCopy::to(QIODevice &local)
{
    return [&local](const char *buffer, uint32_t length) { return local.write(buffer, qint64(length)) == qint64(length) ? 0 : -2; };
}

ChunkCopy::Sink ChunkCopy::to(DeviceFile &remote)
{
    return [&remote](const char *buffer, uint32_t length) { return remote.write(buffer, length); };
}
