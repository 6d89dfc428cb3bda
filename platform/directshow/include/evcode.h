// Filter graph event codes.
#pragma once

constexpr long EC_COMPLETE = 0x01;   // every stream has played to its end
constexpr long EC_USERABORT = 0x02;  // the user ended playback
constexpr long EC_ERRORABORT = 0x03; // playback failed; lParam1 holds the HRESULT
