// What the benchmarks that run programs share: starting orn10sim and the
// masters beside it, their output, the figures' percentiles, and reading
// which addresses orn10ctl's and mbpoll's scans found.  POSIX only.
#pragma once

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace bench {

// The p-th percentile (0..100) by nearest rank; 0 for no figures.
inline double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t rank = size_t(std::max(1.0, std::ceil(p / 100.0 * double(v.size()))));
    return v[std::min(rank, v.size()) - 1];
}

// Starts a program with its standard output on `outFd` (when >= 0), else
// into `outFile` (or /dev/null); its standard input and error on
// /dev/null.  -1 when it could not start.
inline pid_t Spawn(const std::vector<std::string>& args, int outFd, const char* outFile = nullptr) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    if (outFd >= 0) posix_spawn_file_actions_adddup2(&fa, outFd, 1);
    else posix_spawn_file_actions_addopen(&fa, 1, outFile ? outFile : "/dev/null", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&fa);
    return pid;
}

// Its exit status; -1 when it did not exit by itself.
inline int Wait(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs a program to its end with standard output into `outFile` (or
// /dev/null); its exit status, -1 when it could not run.
inline int RunProgram(const std::vector<std::string>& args, const char* outFile = nullptr) {
    const pid_t pid = Spawn(args, -1, outFile);
    return pid < 0 ? -1 : Wait(pid);
}

inline std::string ReadFile(const std::string& path) {
    std::string s;
    if (std::FILE* f = std::fopen(path.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
        std::fclose(f);
    }
    return s;
}

// orn10sim (its whole command line in `args`) for the life of the object.
// Its first line names where it serves: ORN10_COM1=/dev/pts/N, or the URL
// of its TCP listener; path() is that name ("" when it did not start).
class Simulator {
public:
    explicit Simulator(const std::vector<std::string>& args) {
        int out[2];
        if (pipe(out) != 0) return;
        pid_ = Spawn(args, out[1]);
        close(out[1]);
        std::string line;
        pollfd p{out[0], POLLIN, 0};
        char c;
        while (pid_ > 0 && poll(&p, 1, 5000) > 0 && read(out[0], &c, 1) == 1 && c != '\n') line += c;
        close(out[0]);
        path_ = line.rfind("ORN10_COM1=", 0) == 0 ? line.substr(11) : line;
    }
    ~Simulator() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        Wait(pid_);
    }
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;
    const std::string& path() const { return path_; }

private:
    pid_t pid_ = -1;
    std::string path_;
};

// The addresses of `orn10ctl --json scan`'s "found" list.
inline std::vector<int> CtlFound(const std::string& json) {
    std::vector<int> found;
    const size_t from = json.find("\"found\":["), to = json.find("],\"errors\"");
    for (size_t at = from; from != std::string::npos && (at = json.find("\"address\":", at)) < to; at += 10)
        found.push_back(std::atoi(json.c_str() + at + 10));
    return found;
}

// The addresses mbpoll printed a value for: "-- Polling slave N..." then "[1]: v".
inline std::vector<int> MbpollFound(const std::string& out) {
    std::vector<int> found;
    for (size_t at = 0; (at = out.find("-- Polling slave ", at)) != std::string::npos;) {
        const int address = std::atoi(out.c_str() + at + 17);
        at = out.find('\n', at);
        if (at != std::string::npos && out.compare(at + 1, 4, "[1]:") == 0) found.push_back(address);
    }
    return found;
}

// "1, 3, 5" in ascending order, or "none".
inline std::string List(std::vector<int> v) {
    std::sort(v.begin(), v.end());
    std::string s;
    for (int a : v) s += (s.empty() ? "" : ", ") + std::to_string(a);
    return s.empty() ? "none" : s;
}

} // namespace bench
