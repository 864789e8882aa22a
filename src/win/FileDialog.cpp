#include "win/FileDialog.h"

#include <commdlg.h>

#include <algorithm>
#include <vector>

#include "win/Handles.h"

namespace win {

namespace {
FileDialogHook& CurrentHook() {
  static FileDialogHook hook;
  return hook;
}
}  // namespace

void SetFileDialogHook(FileDialogHook hook) { CurrentHook() = std::move(hook); }

bool AskFileName(HWND owner, FileDialogKind kind, const wchar_t* filter, const wchar_t* defaultExt,
                 std::wstring& path) {
  if (auto& hook = CurrentHook()) return hook(kind, path);
  // Long paths are allowed by the dialog's buffer, not only MAX_PATH.
  std::vector<wchar_t> buffer(32768, L'\0');
  path.copy(buffer.data(), std::min(path.size(), buffer.size() - 1));
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter;
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = static_cast<DWORD>(buffer.size());
  ofn.lpstrDefExt = defaultExt;
  ofn.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_HIDEREADONLY |
              (kind == FileDialogKind::Open ? OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST : OFN_OVERWRITEPROMPT);
  const BOOL chosen = kind == FileDialogKind::Open ? ::GetOpenFileNameW(&ofn) : ::GetSaveFileNameW(&ofn);
  if (!chosen) return false;
  path = buffer.data();
  return true;
}

FileResult ReadWholeFile(const std::wstring& path, size_t maxBytes, std::string& bytes) {
  bytes.clear();
  FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return FileResult::CannotOpen;
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0) return FileResult::CannotOpen;
  if (static_cast<unsigned long long>(size.QuadPart) > maxBytes) return FileResult::TooLarge;
  bytes.resize(static_cast<size_t>(size.QuadPart));
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
    if (!::ReadFile(file.Get(), bytes.data() + done, want, &got, nullptr)) return FileResult::CannotOpen;
    if (got == 0) break;  // the file shrank meanwhile
    done += got;
  }
  bytes.resize(done);
  return FileResult::Ok;
}

FileResult WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  const std::wstring part = path + L".part";
  {
    FileHandle file(::CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return FileResult::CannotWrite;
    size_t done = 0;
    bool ok = true;
    while (ok && done < bytes.size()) {
      DWORD wrote = 0;
      const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
      ok = ::WriteFile(file.Get(), bytes.data() + done, want, &wrote, nullptr) && wrote == want;
      done += wrote;
    }
    if (!ok || !::FlushFileBuffers(file.Get())) {
      file.Reset();
      ::DeleteFileW(part.c_str());
      return FileResult::CannotWrite;
    }
  }
  if (!::MoveFileExW(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ::DeleteFileW(part.c_str());
    return FileResult::CannotWrite;
  }
  return FileResult::Ok;
}

}  // namespace win
