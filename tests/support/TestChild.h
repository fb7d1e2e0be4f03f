#pragma once
#include <functional>
#include <string>
#include <vector>

// A test that needs the program in a process of its own (a signal ends it)
// starts this test program again with "--vantor-child NAME": the test main
// then runs the child registered under NAME instead of the tests, in the
// environment the parent gave it (offscreen, its HOME and XDG folders), and
// exits with the child's status.
namespace TestChild {

// Registers a child body at static initialisation.
struct Registration {
    Registration(const char *name, std::function<int()> body);
};
// Runs the child NAME; 127 when none is registered under it.
int run(const std::string &name);

// A started child process whose standard output and error are read through
// pipes. Waiting is bounded by deadlines (poll), never by sleeping.
class Process {
public:
    // Starts this test program as child NAME, with setEnv ("NAME=value")
    // added to the environment and unsetEnv removed from it.
    static Process child(const std::string &name, const std::vector<std::string> &setEnv = {},
                         const std::vector<std::string> &unsetEnv = {});
    // Starts program with its arguments (program first) the same way.
    Process(const std::vector<std::string> &argv, const std::vector<std::string> &setEnv,
            const std::vector<std::string> &unsetEnv);
    Process(Process &&other) noexcept;
    Process &operator=(Process &&) = delete;
    // Kills and reaps a child still running.
    ~Process();

    // Reads standard output until a line equal to line arrives; false when
    // the output ends or ms milliseconds pass first.
    bool waitForLine(const std::string &line, int ms);
    void signal(int signalNumber);
    // Waits up to ms milliseconds for the end; the wait status, or -1 when
    // the child still runs.
    int waitForEnd(int ms);
    const std::string &out() const { return out_; }
    const std::string &err() const { return err_; }

private:
    Process() = default;
    // Reads what is there from both pipes, waiting up to ms for something;
    // false when both have ended.
    bool readSome(int ms);

    int pid_ = -1;
    int outFd_ = -1, errFd_ = -1;
    size_t outSeen_ = 0;
    std::string out_, err_;
    int status_ = -1;
};

} // namespace TestChild
