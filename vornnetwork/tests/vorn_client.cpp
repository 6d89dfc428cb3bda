// A client of VornNetwork in a process of its own: creates the object by ProgID and
// gives it an address. Exit code 0 when every step succeeded.
#include "VornNetwork.h"

#include <cstdio>

int main() {
    if (FAILED(CoInitialize(nullptr))) {
        return 1;
    }
    int code = 0;
    CLSID clsid{};
    HRESULT hr = CLSIDFromProgID(u"VornNetwork.VornLANNetwork", &clsid);
    IVornLANNetwork* network = nullptr;
    if (SUCCEEDED(hr)) {
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IVornLANNetwork,
                              reinterpret_cast<void**>(&network));
    }
    if (SUCCEEDED(hr)) {
        char address[] = "127.0.0.1";
        hr = network->SetAddress(reinterpret_cast<LPWSTR>(address));
        network->Release();
    }
    if (FAILED(hr)) {
        std::fprintf(stderr, "vorn_client: 0x%08X\n", static_cast<unsigned>(hr));
        code = 2;
    }
    CoUninitialize();
    return code;
}
