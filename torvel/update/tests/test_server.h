#pragma once
// Runs update_server.py on 127.0.0.1 for the length of a test, and builds the
// archives it serves.

#include <filesystem>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

class TestServer {
public:
    // mode: "serve" (files of folder), "404", "500" or "stall".
    TestServer(const std::string& mode, const std::string& folder);
    ~TestServer();
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_); }

private:
    pid_t pid_ = -1;
    int port_ = 0;
};

// A loopback URL on which nothing listens.
std::string RefusingUrl();

// Writes the files (name and text) into source and packs them with gcab into
// archive, under their names.
void BuildArchive(const std::filesystem::path& archive, const std::filesystem::path& source,
                  const std::vector<std::pair<std::string, std::string>>& files);
