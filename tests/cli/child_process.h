#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace clinora::cli::testing {

// Another program run by a test, with pipes on its standard input, output and
// error. Killed at destruction when it still runs.
class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& argv);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }
    // The next line of standard output, without its line break; empty when
    // none comes within `timeoutMs`.
    std::string readLine(int timeoutMs);
    // Closes standard input (end of input for the program).
    void closeInput();
    // Ends the program at once (SIGKILL: no chance to tidy up) and waits for it.
    void kill();
    // Sends `signal` and returns at once.
    void signal(int signal);
    // Waits for the end, collecting both outputs; the exit status, or -1 when
    // the program did not end within `timeoutMs` (it is then killed).
    int wait(int timeoutMs);

    const std::string& out() const { return out_; }
    const std::string& err() const { return err_; }
    // Collects what the program has written so far, waiting at most `timeoutMs`.
    void collect(int timeoutMs) { pump(timeoutMs); }

private:
    // Moves what is readable into out_/err_, waiting at most `timeoutMs`.
    // False when both pipes have ended.
    bool pump(int timeoutMs);

    pid_t pid_ = -1;
    int in_ = -1, outFd_ = -1, errFd_ = -1;
    std::string out_, err_;
    size_t outTaken_ = 0;  // bytes of out_ already returned by readLine
};

// Runs a program to its end: exit status (-1 after `timeoutMs`) and outputs.
struct ProcessResult {
    int status = -1;
    std::string out, err;
};
ProcessResult RunProgram(const std::vector<std::string>& argv, int timeoutMs);

}  // namespace clinora::cli::testing
