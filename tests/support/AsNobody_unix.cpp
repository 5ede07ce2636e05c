#include "AsNobody.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <iostream>

namespace {

const unsigned kChildSeconds = 5;

// Forks a child that drops to "nobody" and then runs `inChild`, which sends
// its report to the given descriptor and ends the child (by _exit or exec).
// Collects the report into `report`; returns how the child ended when that
// was not an exit with status 0, else "".
std::string runChildAsNobody(const std::function<void(int reportTo)>& inChild, std::string& report)
{
    const passwd* nobody = ::getpwnam("nobody");
    if (!nobody)
        return "no user \"nobody\" to drop privileges to";
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0)
        return "pipe failed";
    const pid_t child = ::fork();
    if (child == 0) {
        ::alarm(kChildSeconds);  // kept across exec
        ::close(pipeEnds[0]);
        if (::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0) {
            const char failure[] = "cannot drop privileges";
            ::_exit(::write(pipeEnds[1], failure, sizeof failure - 1) > 0 ? 1 : 2);
        }
        inChild(pipeEnds[1]);
        ::_exit(3);
    }
    ::close(pipeEnds[1]);
    char buffer[512];
    for (ssize_t got; (got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        report.append(buffer, static_cast<std::size_t>(got));
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM)
        return "the check never finished: stopped after " + std::to_string(kChildSeconds) + " s";
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "child ended with status " + std::to_string(status);
    return "";
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

}  // namespace

std::string asNobody(const std::function<std::string()>& check)
{
    std::string failure;
    const std::string ending = runChildAsNobody(
        [&check](int reportTo) {
            const std::string result = check();
            const ssize_t written = ::write(reportTo, result.data(), result.size());
            ::_exit(written == static_cast<ssize_t>(result.size()) ? 0 : 1);
        },
        failure);
    if (!ending.empty())
        failure += (failure.empty() ? "" : " ") + ("(" + ending + ")");
    return failure;
}

bool ranAgainAsNobody()
{
    if (::geteuid() != 0)
        return false;
    if (!::getpwnam("nobody")) {
        [] { GTEST_SKIP() << "running as root, and there is no user \"nobody\" to run the test as"; }();
        return true;
    }
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string filter = std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
    std::string output;
    const std::string ending = runChildAsNobody(
        [&filter](int reportTo) {
            ::dup2(reportTo, STDOUT_FILENO);
            ::dup2(reportTo, STDERR_FILENO);
            ::execl("/proc/self/exe", "/proc/self/exe", filter.c_str(), "--gtest_color=no",
                    static_cast<char*>(nullptr));
            ::perror("cannot run this test program again");
            ::_exit(127);
        },
        output);
    const std::string said = "as user \"nobody\" in a child process:\n" + output;
    if (ending.empty() && contains(output, "[  SKIPPED ] 1 test"))
        [&said] { GTEST_SKIP() << "skipped " << said; }();
    else if (ending.empty() && contains(output, "[  PASSED  ] 1 test."))
        std::cout << "[ as nobody ] " << test->name() << " passed in a child process\n";
    else
        ADD_FAILURE() << "failed " << said << (ending.empty() ? "" : "(" + ending + ")");
    return true;
}
