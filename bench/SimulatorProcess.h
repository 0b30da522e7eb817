// podlink-sim as a child process serving a pseudo-terminal, for the
// benchmarks of the serial paths.
#ifndef BENCH_SIMULATORPROCESS_H
#define BENCH_SIMULATORPROCESS_H

#include <csignal>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

// Starts program with args and returns the pseudo-terminal it prints first;
// empty when it did not start.
inline std::string StartSimulator(const char* program, const std::vector<const char*>& args,
                                  pid_t* pid) {
    int out[2];
    if (pipe(out) != 0) return std::string();
    *pid = fork();
    if (*pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        std::vector<char*> argv{const_cast<char*>(program)};
        for (const char* arg : args)
            argv.push_back(const_cast<char*>(arg));
        argv.push_back(nullptr);
        execv(program, argv.data());
        _exit(127);
    }
    close(out[1]);
    std::string path;
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n')
        path += c;
    close(out[0]);
    return path;
}

inline void StopSimulator(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

#endif
