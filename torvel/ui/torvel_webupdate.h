#pragma once
// How the main window gets its HTTP client and which server it asks for the
// data update. Tests replace both.

#include "data_update.h"
#include "web_client.h"

#include <functional>
#include <memory>
#include <string>

inline std::function<std::unique_ptr<TWebClient>()> CreateWebClient = [] {
    return std::make_unique<TWebClient>();
};

// "http://host:port" of the update server.
inline std::string UpdateServer = DefaultUpdateServer();
