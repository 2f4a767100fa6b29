// Running a piece of a test where folder permissions apply.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace testsupport {

// Runs f and gives its result; as root, in a child process that has given up its
// privileges first (root may write into any folder). 98: the child did not end normally;
// 99: it could not give them up.
inline int runUnprivileged(const std::function<int()>& f)
{
    if (geteuid() != 0)
        return f();
    const pid_t pid = fork();
    if (pid == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(99);
        _exit(f());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
}

} // namespace testsupport
