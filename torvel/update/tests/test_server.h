#pragma once
// Runs update_server.py on 127.0.0.1 for the length of a test.

#include <string>
#include <sys/types.h>

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
