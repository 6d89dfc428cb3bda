// The VornNetwork library loaded into the test process, with its four exports, and a
// registry file of the test's own.
#pragma once

#include "VornNetwork.h"

#include <string>

struct ServerLibrary {
    HMODULE module = nullptr;
    HRESULT (*DllCanUnloadNow)() = nullptr;
    HRESULT (*DllGetClassObject)(REFCLSID, REFIID, LPVOID*) = nullptr;
    HRESULT (*DllRegisterServer)() = nullptr;
    HRESULT (*DllUnregisterServer)() = nullptr;
};

// Loaded once for the whole test program.
const ServerLibrary& Server();

// Points VORN_REGISTRY_FILE at a new empty file for this test; child processes inherit it.
std::string UseFreshRegistry();
