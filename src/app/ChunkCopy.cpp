#include "ChunkCopy.h"

#include "AppTask.h"
#include "DeviceFile.h"
#include "DiagLog.h"
#include "TaskReporter.h"

#include <QFile>
#include <QIODevice>

#include <sys/stat.h>

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

int ChunkCopy::send(QFile &local, DeviceFile &remote, uint64_t total, TaskReporter &reporter, int readError,
                    const AppTask *task, const Progress &progress)
{
    // The source only measures what is left; the sink sends that much from
    // where the last block ended.
    const int fd = local.handle();
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || local.pos() != 0)
        return run(from(local, readError), to(remote), total, reporter, readError, task, progress);
    uint64_t offset = 0;
    const Source source = [fd, readError, &offset](char *, uint32_t *length) {
        struct stat st {};
        if (::fstat(fd, &st) != 0 || st.st_size < 0)
            return readError;
        const uint64_t size = uint64_t(st.st_size);
        *length = uint32_t(std::min<uint64_t>(*length, size > offset ? size - offset : 0));
        return 0;
    };
    const Sink sink = [fd, &remote, &offset](const char *, uint32_t length) {
        const int rc = remote.writeFrom(fd, offset, length);
        offset += length;
        return rc;
    };
    return run(source, sink, total, reporter, readError, task, progress);
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
