#include "test_server.h"

#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

TestServer::TestServer(const std::string& mode, const std::string& folder) {
    int out[2];
    if (::pipe(out) != 0)
        throw std::runtime_error("pipe failed");
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        ::execlp("python3", "python3", UPDATE_SERVER_SCRIPT, mode.c_str(), folder.c_str(),
                 static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    FILE* in = ::fdopen(out[0], "r");
    const bool read = in && std::fscanf(in, "%d", &port_) == 1;
    if (in)
        std::fclose(in);
    if (!read) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        throw std::runtime_error("the test server did not start");
    }
}

TestServer::~TestServer() {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
}

LoopbackListener::LoopbackListener() : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (socket_ < 0 ||
        ::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(socket_, 8) != 0 ||
        ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (socket_ >= 0)
            ::close(socket_);
        throw std::runtime_error("the loopback listener did not start");
    }
    port_ = ntohs(address.sin_port);
}

LoopbackListener::~LoopbackListener() {
    ::close(socket_);
}

bool LoopbackListener::WasContacted() const {
    pollfd waiting{socket_, POLLIN, 0};
    return ::poll(&waiting, 1, 0) > 0;
}

ScopedEnvironment::ScopedEnvironment(std::string name, const std::string& value)
    : name_(std::move(name)) {
    if (const char* previous = std::getenv(name_.c_str()))
        previous_ = previous;
    ::setenv(name_.c_str(), value.c_str(), 1);
}

ScopedEnvironment::~ScopedEnvironment() {
    if (previous_)
        ::setenv(name_.c_str(), previous_->c_str(), 1);
    else
        ::unsetenv(name_.c_str());
}

std::string RefusingUrl() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(s);
    return "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
}

void BuildArchive(const std::filesystem::path& archive, const std::filesystem::path& source,
                  const std::vector<std::pair<std::string, std::string>>& files) {
    std::filesystem::create_directories(source);
    std::filesystem::create_directories(archive.parent_path());
    std::string command = "cd '" + source.string() + "' && gcab -c '" + archive.string() + "'";
    for (const auto& [name, text] : files) {
        std::filesystem::create_directories((source / name).parent_path());
        std::ofstream(source / name, std::ios::binary | std::ios::trunc) << text;
        command += " '" + name + "'";
    }
    if (std::system(command.c_str()) != 0)
        throw std::runtime_error("gcab failed: " + command);
}
