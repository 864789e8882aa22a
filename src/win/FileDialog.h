#pragma once
// The common open and save dialogs, and whole-file reads and writes.
#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>

namespace win {

enum class FileDialogKind { Open, Save };

// Asks for a file name. `filter` is the dialog's NUL-separated list of pairs ending in an
// empty pair; `defaultExt` (no dot) is added to a typed name without one. False when the
// user cancels. `path` holds the suggested name on entry and the chosen one on return.
bool AskFileName(HWND owner, FileDialogKind kind, const wchar_t* filter, const wchar_t* defaultExt,
                 std::wstring& path);

// Tests answer the dialogs here: the hook returns what the dialog would.
using FileDialogHook = std::function<bool(FileDialogKind kind, std::wstring& path)>;
void SetFileDialogHook(FileDialogHook hook);

enum class FileResult { Ok, CannotOpen, TooLarge, CannotWrite };

// The whole file when it holds at most `maxBytes` bytes.
FileResult ReadWholeFile(const std::wstring& path, size_t maxBytes, std::string& bytes);
// Writes beside the target first and then replaces it, so a failed write never leaves a
// half-written file under the target's name.
FileResult WriteWholeFile(const std::wstring& path, const std::string& bytes);

}  // namespace win
