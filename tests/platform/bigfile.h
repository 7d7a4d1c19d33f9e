#pragma once
// Measures what reading a large generated file costs: the growth of the
// process's peak resident size and the user time of the reading thread (not
// the time on the clock, which other work on a busy machine stretches), so a test can bound
// the memory by the file's size and see that twice the file takes about
// twice the time.
#include <QFile>
#include <algorithm>
#include <malloc.h>
#include <sys/resource.h>
#include <functional>
#include <optional>

struct ReadCost {
    qint64 peakGrowth = 0;  // bytes above the resident size before the read
    qint64 msecs = 0;  // user time of the reading thread
};

namespace bigfile_detail {
// User time only: the kernel's share is mostly the pages a buffer takes on
// first touch, whose cost depends on the machine and the allocator, not on the reader.
inline qint64 threadMsecs()
{
    rusage u{};
    ::getrusage(RUSAGE_THREAD, &u);
    return qint64(u.ru_utime.tv_sec) * 1000 + u.ru_utime.tv_usec / 1000;
}

inline qint64 statusBytes(const char* field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (QByteArray line; !(line = f.readLine()).isEmpty();)
        if (line.startsWith(field))
            return line.mid(qsizetype(qstrlen(field))).trimmed().split(' ').first().toLongLong() * 1024;
    return -1;
}
} // namespace bigfile_detail

// The peak of one read, and the least time of three: a first read also pays
// for the pages the allocator takes from the system, which later ones may not.
// nullopt where the peak cannot be reset (no /proc/self/clear_refs).
inline std::optional<ReadCost> measureRead(const std::function<void()>& read)
{
    ::malloc_trim(0);  // what the allocator kept would hide the read's own growth
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (!clear.open(QIODevice::WriteOnly) || clear.write("5") != 1)
        return std::nullopt;
    clear.close();
    const qint64 before = bigfile_detail::statusBytes("VmRSS:");
    ReadCost cost;
    qint64 start = bigfile_detail::threadMsecs();
    read();
    cost.msecs = bigfile_detail::threadMsecs() - start;
    const qint64 peak = bigfile_detail::statusBytes("VmHWM:");
    for (int again = 0; again < 2; ++again) {
        start = bigfile_detail::threadMsecs();
        read();
        cost.msecs = std::min(cost.msecs, bigfile_detail::threadMsecs() - start);
    }
    if (before < 0 || peak < 0)
        return std::nullopt;
    cost.peakGrowth = peak - before;
    return cost;
}
