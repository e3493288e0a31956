#pragma once

// clinora-sim started from a benchmark: a child process whose standard input
// takes the simulator's commands and whose first output line is the
// pseudo-terminal path.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

extern char** environ;

namespace clinora {

// clinora-sim as a child process with its standard input and output on pipes.
class SimProcess {
public:
    ~SimProcess() { stop(); }

    bool start(const std::string& program, std::vector<std::string> args) {
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0) return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, in[1]);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        args.insert(args.begin(), program);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const int rc = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        input_ = in[1];
        output_ = fdopen(out[0], "r");
        if (rc != 0) {
            pid_ = -1;
            return false;
        }
        return output_ != nullptr;
    }

    // The first line the simulator prints: its pseudo-terminal path.
    std::string slavePath() {
        char line[PATH_MAX];
        if (!output_ || !std::fgets(line, sizeof line, output_)) return {};
        std::string path(line);
        while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) path.pop_back();
        return path;
    }

    void stop() {
        if (input_ >= 0) {
            const char quit[] = "quit\n";
            (void)!write(input_, quit, sizeof quit - 1);
            close(input_);
            input_ = -1;
        }
        if (pid_ > 0) {
            int status = 0;
            waitpid(pid_, &status, 0);
            pid_ = -1;
        }
        if (output_) {
            std::fclose(output_);
            output_ = nullptr;
        }
    }

private:
    pid_t pid_ = -1;
    int input_ = -1;
    FILE* output_ = nullptr;
};

// A program installed beside this one.
inline std::string SiblingProgram(const char* name) {
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return name;
    std::string path(self, static_cast<size_t>(n));
    return path.substr(0, path.rfind('/') + 1) + name;
}

}  // namespace clinora
