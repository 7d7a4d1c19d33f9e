#pragma once
// Runs a check as a user without privileges: root may write anything, so a
// read-only hive or folder means nothing to it. As root the check runs in a
// child process under "nobody"; otherwise it runs here. Returns the check's
// result (0 for success), kCannotDropPrivileges where root cannot become
// "nobody" (a container without the capability), or -1 when the child failed.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

inline constexpr int kCannotDropPrivileges = 100;

// Compares a runUnprivileged result with success; skips where it cannot run.
#define QUILLET_COMPARE_UNPRIVILEGED(result)                                     \
    do {                                                                         \
        const int r_ = (result);                                                 \
        if (r_ == kCannotDropPrivileges)                                         \
            QSKIP("root cannot drop its privileges here");                      \
        QCOMPARE(r_, 0);                                                         \
    } while (false)

inline int runUnprivileged(const std::function<int()>& check)
{
    if (::geteuid() != 0)
        return check();
    const pid_t pid = ::fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(kCannotDropPrivileges);
        ::_exit(check());
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// A copy of file that "nobody" can read, in a folder of its own below
// `folder` (a temporary folder of the test, made enterable by all here). The
// build tree may lie where other users cannot enter (a clone in root's home,
// a folder made by mktemp -d), so a check run unprivileged must not reach into
// it. Empty when the copy cannot be made.
inline QString reachableCopy(const QString& file, const QString& folder)
{
    const QString into = folder + QStringLiteral("/reachable");
    if (!QDir().mkpath(into))
        return {};
    const QString copy = into + u'/' + QFileInfo(file).fileName();
    QFile::remove(copy);
    if (!QFile::copy(file, copy))
        return {};
    ::chmod(QFile::encodeName(folder).constData(), 0755);
    ::chmod(QFile::encodeName(into).constData(), 0755);
    ::chmod(QFile::encodeName(copy).constData(), 0755);
    return copy;
}
