#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

namespace clinora::cli::testing {
namespace {

int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
        return;
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(in[0], STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    in_ = in[1];
    outFd_ = out[0];
    errFd_ = err[0];
}

void ChildProcess::kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

void ChildProcess::signal(int signal) {
    if (pid_ > 0) ::kill(pid_, signal);
}

ChildProcess::~ChildProcess() {
    kill();
    CloseFd(in_);
    CloseFd(outFd_);
    CloseFd(errFd_);
}

bool ChildProcess::pump(int timeoutMs) {
    pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
    if (outFd_ < 0 && errFd_ < 0) return false;
    if (::poll(fds, 2, timeoutMs) <= 0) return true;
    for (int i = 0; i < 2; ++i) {
        if (fds[i].revents == 0) continue;
        char buffer[4096];
        const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
        if (n > 0) {
            (i == 0 ? out_ : err_).append(buffer, static_cast<size_t>(n));
        } else {
            CloseFd(i == 0 ? outFd_ : errFd_);
        }
    }
    return true;
}

std::string ChildProcess::readLine(int timeoutMs) {
    const int64_t end = NowMs() + timeoutMs;
    for (;;) {
        const size_t nl = out_.find('\n', outTaken_);
        if (nl != std::string::npos) {
            std::string line = out_.substr(outTaken_, nl - outTaken_);
            outTaken_ = nl + 1;
            return line;
        }
        const int64_t left = end - NowMs();
        if (left <= 0 || !pump(static_cast<int>(left))) return {};
    }
}

void ChildProcess::closeInput() { CloseFd(in_); }

int ChildProcess::wait(int timeoutMs) {
    const int64_t end = NowMs() + timeoutMs;
    while (NowMs() < end && pump(static_cast<int>(std::max<int64_t>(1, end - NowMs())))) {
    }
    int status = 0;
    if (pid_ <= 0) return -1;
    pid_t done = ::waitpid(pid_, &status, WNOHANG);
    while (done == 0 && NowMs() < end) {
        ::usleep(10000);
        done = ::waitpid(pid_, &status, WNOHANG);
    }
    if (done != pid_) return -1;  // the destructor kills it
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

ProcessResult RunProgram(const std::vector<std::string>& argv, int timeoutMs) {
    ChildProcess child(argv);
    child.closeInput();
    ProcessResult result;
    result.status = child.wait(timeoutMs);
    result.out = child.out();
    result.err = child.err();
    return result;
}

}  // namespace clinora::cli::testing
