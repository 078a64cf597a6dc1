// launch RESULT COMMAND [ARG...]: runs COMMAND and writes its wall time in
// milliseconds, peak resident set in kilobytes and exit code to RESULT.
// A child's peak RSS starts from the memory image it was forked from, so the
// process that forks must be this small one, not the benchmark driver.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child < 0)
        return 2;
    if (child == 0) {
        execv(argv[2], argv + 2);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child)
        return 2;
    const double milliseconds =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    FILE* result = std::fopen(argv[1], "w");
    if (!result)
        return 2;
    std::fprintf(result, "%.3f %ld %d\n", milliseconds, usage.ru_maxrss, code);
    std::fclose(result);
    return code;
}
