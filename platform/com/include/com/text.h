// Conversions between the 8-bit strings of the A functions and COM's UTF-16 strings,
// and between GUIDs and their registry form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#pragma once

#include "guiddef.h"

#include <optional>
#include <string>
#include <string_view>

namespace com {

// 8-bit text here is Latin-1, the system's ANSI code page on these machines.
std::u16string Widen(std::string_view text);
std::string Narrow(std::u16string_view text);

std::string GuidToString(const GUID& guid);
std::optional<GUID> GuidFromString(std::string_view text);

} // namespace com
