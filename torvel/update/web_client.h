#pragma once
// HTTP download of one URL into a file, on libcurl.

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>

class EWebClientError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TWebClient {
public:
    // Throws EWebClientError when libcurl cannot be initialised.
    TWebClient();

    // A server that does not accept within this time fails the download.
    std::chrono::seconds ConnectTimeout{10};
    // A transfer that moves no byte for this long fails the download.
    std::chrono::seconds StallTimeout{20};
    // A download that has not completed within this time fails, however
    // steadily bytes arrive.
    std::chrono::seconds TotalTimeout{60};
    // A response body larger than this fails the download.
    std::int64_t MaxBodySize = 16 * 1024 * 1024;

    // GETs url and writes the response body to path (created or truncated).
    // The server is asked directly: proxies named in the environment are not
    // used. No connection, an error status, a stall, the overall time limit
    // or an oversized body raise EWebClientError; the file then holds what
    // arrived.
    void Get(const std::string& url, const std::string& path) const;
};
