// Type library registration.
#pragma once

#include "guiddef.h"
#include "winerror.h"

enum SYSKIND { SYS_WIN16 = 0, SYS_WIN32 = 1, SYS_MAC = 2, SYS_WIN64 = 3 };

HRESULT WINAPI UnRegisterTypeLib(REFGUID libID, WORD wVerMajor, WORD wVerMinor, LCID lcid,
                                 SYSKIND syskind);

// Registers, or unregisters, the type library held as TYPELIB resource 1 of the module
// (lpszIndex NULL), or the resource with the number given as decimal text. The
// module's full path becomes the type library's path.
HRESULT WINAPI AtlRegisterTypeLib(HINSTANCE hInstTypeLib, const WCHAR* lpszIndex);
HRESULT WINAPI AtlUnRegisterTypeLib(HINSTANCE hInstTypeLib, const WCHAR* lpszIndex);
