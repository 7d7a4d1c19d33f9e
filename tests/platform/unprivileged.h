#pragma once
// Runs a check as a user without privileges: root may write anything, so a
// read-only hive or folder means nothing to it. As root the check runs in a
// child process under "nobody"; otherwise it runs here. Returns the check's
// result (0 for success), or -1 when the child could not be run.
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

inline int runUnprivileged(const std::function<int()>& check)
{
    if (::geteuid() != 0)
        return check();
    const pid_t pid = ::fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(100);
        ::_exit(check());
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}
