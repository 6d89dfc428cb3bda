#include "harness.h"

#include "directplay/environment.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace dptest {
namespace {

constexpr int kAnswerTimeoutMs = 20000;

unsigned FreeUdpPort() {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        throw std::runtime_error("no free UDP port");
    }
    close(fd);
    return ntohs(address.sin_port);
}

} // namespace

void UseLoopbackSettings(unsigned keepaliveMs) {
    setenv(directplay::kLoopbackOnlyVariable, "1", 1);
    setenv(directplay::kEnumerationAddressVariable, "127.255.255.255", 1);
    setenv(directplay::kTcpIpPortVariable, std::to_string(FreeUdpPort()).c_str(), 1);
    setenv(directplay::kIpxPortVariable, std::to_string(FreeUdpPort()).c_str(), 1);
    setenv(directplay::kKeepaliveVariable, std::to_string(keepaliveMs).c_str(), 1);
    unsetenv(directplay::kEnumerationTimeoutVariable);
}

PeerProcess::PeerProcess() : PeerProcess(DPLAY_PEER_PROGRAM) {}

PeerProcess::PeerProcess(const std::string& program, const std::vector<std::string>& arguments) {
    int toChild[2];
    int fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
    // A write to a process that has ended fails instead of ending the test program.
    signal(SIGPIPE, SIG_IGN);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const int error = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(toChild[0]);
    close(fromChild[1]);
    input_ = toChild[1];
    output_ = fromChild[0];
    if (error != 0) {
        pid_ = -1;
        throw std::runtime_error("cannot start " + program);
    }
}

PeerProcess::~PeerProcess() {
    if (pid_ > 0) {
        const char quit[] = "quit\n";
        if (write(input_, quit, sizeof quit - 1) < 0) {
            kill(pid_, SIGKILL);
        }
        close(input_);
        waitpid(pid_, nullptr, 0);
    } else {
        close(input_);
    }
    close(output_);
}

std::string PeerProcess::Command(const std::string& line) {
    return Send(line) ? ReadLine(kAnswerTimeoutMs) : "peer gone";
}

bool PeerProcess::Send(const std::string& line) {
    const std::string text = line + "\n";
    return pid_ > 0 && write(input_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

std::string PeerProcess::ReadLine(int timeoutMs) {
    for (;;) {
        const auto end = pending_.find('\n');
        if (end != std::string::npos) {
            std::string answer = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            return answer;
        }
        pollfd descriptor{output_, POLLIN, 0};
        char buffer[512];
        if (poll(&descriptor, 1, timeoutMs) <= 0) {
            return "peer silent";
        }
        const ssize_t size = read(output_, buffer, sizeof buffer);
        if (size <= 0) {
            return "peer gone";
        }
        pending_.append(buffer, static_cast<std::size_t>(size));
    }
}

void PeerProcess::Kill() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
}

int PeerProcess::Wait() {
    int status = -1;
    if (pid_ > 0) {
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }
    return status;
}

std::string Word(const std::string& answer, int index) {
    std::istringstream in(answer);
    std::string word;
    for (int i = 0; i <= index; ++i) {
        if (!(in >> word)) {
            return {};
        }
    }
    return word;
}

ProcessUsage UsageOf(pid_t pid) {
    ProcessUsage usage;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // The fields after the command name, which may hold blanks, start after its ')'.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    for (int index = 3; index <= 15 && fields >> field; ++index) {
        if (index == 14 || index == 15) { // utime, stime
            usage.ticks += std::stol(field);
        }
    }
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmRSS:")) {
            usage.residentKb = std::stol(line.substr(6));
        }
    }
    return usage;
}

} // namespace dptest
