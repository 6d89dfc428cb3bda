// The library's platform part on Windows: the loader calls DllMain itself; file names are
// converted from the ANSI code page by the system.
#include "sonvar_platform.h"

std::optional<WideString> WideFromAnsi(const char* text) {
    const int length = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (length <= 0)
        return std::nullopt;
    WideString out(static_cast<std::size_t>(length), L'\0');
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, out.data(), length) != length)
        return std::nullopt;
    out.pop_back(); // the terminating null
    return out;
}
