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
// An icon resource of the program at the small-icon size of the primary monitor, owned by
// the caller (not a shared icon, so destroying it is correct).
HICON LoadSmallIcon(UINT resourceId);

}  // namespace win

namespace win {

// Writes a line for whoever started the program: the console it was started from, or the
// file or pipe its standard output or error goes to. Nothing when there is neither.
void WriteStdLine(DWORD stdHandle, const std::wstring& text);

}  // namespace win
