#pragma once
// The running module: instance handle, string resources, executable path.
#include <windows.h>

#include <string>

namespace win {

HINSTANCE Instance();
// A string resource, empty when absent (any length).
std::wstring LoadResString(UINT id);
// Full path of the running executable.
std::wstring ModulePath();

}  // namespace win
