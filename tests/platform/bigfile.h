#pragma once
// Measures what reading a large generated file costs: the growth of the
// process's peak resident size and the time, so a test can bound the memory
// by the file's size and see that twice the file takes about twice the time.
#include <QElapsedTimer>
#include <QFile>
#include <functional>
#include <optional>

struct ReadCost {
    qint64 peakGrowth = 0;  // bytes above the resident size before the read
    qint64 msecs = 0;
};

namespace bigfile_detail {
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

// nullopt where the peak cannot be reset (no /proc/self/clear_refs).
inline std::optional<ReadCost> measureRead(const std::function<void()>& read)
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (!clear.open(QIODevice::WriteOnly) || clear.write("5") != 1)
        return std::nullopt;
    clear.close();
    const qint64 before = bigfile_detail::statusBytes("VmRSS:");
    QElapsedTimer timer;
    timer.start();
    read();
    ReadCost cost;
    cost.msecs = timer.elapsed();
    const qint64 peak = bigfile_detail::statusBytes("VmHWM:");
    if (before < 0 || peak < 0)
        return std::nullopt;
    cost.peakGrowth = peak - before;
    return cost;
}
