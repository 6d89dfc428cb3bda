#pragma once
// Runs update_server.py on 127.0.0.1 for the length of a test, and builds the
// archives it serves.

#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

class TestServer {
public:
    // mode: "serve" (files of folder), "404", "500", "stall" or "trickle"
    // (one byte every 0.2 s, never finishing).
    TestServer(const std::string& mode, const std::string& folder);
    ~TestServer();
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_); }

private:
    pid_t pid_ = -1;
    int port_ = 0;
};

// A TCP socket listening on 127.0.0.1 that never accepts: it tells whether
// anybody tried to connect.
class LoopbackListener {
public:
    LoopbackListener();
    ~LoopbackListener();
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_); }
    // True when a connection is waiting to be accepted.
    bool WasContacted() const;

private:
    int socket_ = -1;
    int port_ = 0;
};

// Sets an environment variable for the lifetime of the object and then puts
// back what was there.
class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, const std::string& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string name_;
    std::optional<std::string> previous_;
};

// A loopback URL on which nothing listens.
std::string RefusingUrl();

// Writes the files (name and text) into source and packs them with gcab into
// archive, under their names.
void BuildArchive(const std::filesystem::path& archive, const std::filesystem::path& source,
                  const std::vector<std::pair<std::string, std::string>>& files);
