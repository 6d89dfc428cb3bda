// Reads the symbol tables of a shared object, for tests of what a library exports and of
// its hidden state.
#pragma once

#include <set>
#include <string>

namespace testmodule {

// The names a shared object exports: defined, non-local entries of its dynamic symbol
// table (what `nm -D --defined-only` lists).
std::set<std::string> ExportedSymbols(const std::string& path);

// The address of `name` in the object loaded as `handle` (from dlopen), looked up in its
// full symbol table so that hidden symbols are found too; nullptr when it has none.
void* FindSymbol(void* handle, const std::string& name);

} // namespace testmodule
