// The registrar: runs registry scripts in register or unregister mode.
//
//   HKCR
//   {
//       NoRemove CLSID
//       {
//           ForceRemove {...} = s 'Name'
//           {
//               InprocServer32 = s '%MODULE%'
//               {
//                   val ThreadingModel = s 'Apartment'
//               }
//           }
//       }
//   }
//
// A key line is [NoRemove | ForceRemove | Delete] name [= type value] [{ children }];
// `val name = type value` sets a named value. Types: s (text), d (number), b (hex
// bytes). %NAME% is replaced by the text given with AddReplacement; %% is a percent.
#pragma once

#include "objbase.h"

#include <map>
#include <string>

namespace com {

class CRegObject {
public:
    HRESULT AddReplacement(LPCSTR key, LPCSTR item);
    HRESULT ClearReplacements();

    HRESULT StringRegister(LPCSTR script);
    HRESULT StringUnregister(LPCSTR script);
    // Runs the script held as resource `nID` of type `szType` in the module.
    HRESULT ResourceRegister(HMODULE module, UINT nID, LPCSTR szType);
    HRESULT ResourceUnregister(HMODULE module, UINT nID, LPCSTR szType);

private:
    HRESULT Run(LPCSTR script, bool registering);
    HRESULT RunResource(HMODULE module, UINT nID, LPCSTR szType, bool registering);

    std::map<std::string, std::string> replacements_;
};

} // namespace com
