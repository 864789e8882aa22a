#include "config/ConfigStore.h"

#include <io.h>

#include <atomic>
#include <cwchar>

#include "common/DebugTrace.h"
#include "common/TextUtil.h"
#include "win/Handles.h"
#include "win/Module.h"

namespace {

constexpr DWORD kIniStringChars = 10240;
constexpr DWORD kIniLongestChars = 64u << 20;  // beyond any sensible file
constexpr DWORD kIniIntChars = 1024;
constexpr DWORD kRegStringBytes = 4096;
constexpr DWORD kRegEnumChars = 2048;
constexpr DWORD kRegDeleteChars = 256;

std::wstring FormatLong(long value) {
  wchar_t buffer[16];
  std::swprintf(buffer, 16, L"%ld", value);
  return buffer;
}

// Deletes `name` below `parent` with every descendant, children first.
LSTATUS DeleteKeyTree(HKEY parent, const wchar_t* name) {
  win::RegKey key;
  LSTATUS status = ::RegOpenKeyExW(parent, name, 0, KEY_READ | KEY_WRITE, key.Put());
  if (status != ERROR_SUCCESS) return status;
  for (;;) {
    wchar_t child[kRegDeleteChars];
    DWORD length = kRegDeleteChars;
    if (::RegEnumKeyExW(key.Get(), 0, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      key.Reset();
      return ::RegDeleteKeyW(parent, name);
    }
    status = DeleteKeyTree(key.Get(), child);
    if (status != ERROR_SUCCESS) return status;
  }
}

std::wstring DefaultIniPath(const wchar_t* name) {
  // Drive and directory of the executable, then <name>.ini.
  std::wstring path = win::ModulePath();
  size_t slash = path.find_last_of(L"\\/");
  std::wstring dir = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
  return dir + name + L".ini";
}

std::atomic<ConfigStore*> overrideStore{nullptr};

// The profile functions drop white space around a value and one pair of quotes around
// it when reading. A value that would lose something is written inside quotes, so that
// every text reads back exactly as it was written.
std::wstring IniValue(const std::wstring& text) {
  if (text.empty()) return text;
  auto blank = [](wchar_t c) { return c == L' ' || c == L'\t'; };
  const wchar_t first = text.front(), last = text.back();
  const bool quoted = text.size() >= 2 && first == last && (first == L'"' || first == L'\'');
  if (blank(first) || blank(last) || quoted) return L"\"" + text + L"\"";
  return text;
}

// A profile string read whole: the buffer grows until the text fits. The functions say
// "cut short" by filling all but one character (all but two for a list of names, when
// `section` or `value` is null).
std::wstring ReadProfileString(const wchar_t* section, const wchar_t* value, const wchar_t* def,
                               const std::wstring& path) {
  const DWORD slack = (section && value) ? 1 : 2;
  std::wstring buffer;
  for (DWORD size = kIniStringChars;; size *= 2) {
    buffer.assign(size, L'\0');
    const DWORD n = ::GetPrivateProfileStringW(section, value, def, buffer.data(), size, path.c_str());
    if (n + slack < size || size >= kIniLongestChars) {
      buffer.resize(n);
      return buffer;
    }
  }
}

}  // namespace

ConfigStore::ConfigStore(const wchar_t* name, HKEY root) : rootKey_(root), iniPath_(DefaultIniPath(name)) {
  Choose(name);
}

ConfigStore::ConfigStore(const wchar_t* name, HKEY root, std::wstring iniPath)
    : rootKey_(root), iniPath_(std::move(iniPath)) {
  Choose(name);
}

void ConfigStore::Choose(const wchar_t* name) {
  // Read and write access are both required: a read-only file keeps the registry.
  if (rootKey_ && _waccess(iniPath_.c_str(), 6) != 0) {
    useIni_ = false;
    basePath_ = std::wstring(L"SOFTWARE\\") + name + L"\\";
    return;
  }
  useIni_ = true;
  DebugTrace(L"use ini config : %ls\n", iniPath_.c_str());
}

std::wstring ConfigStore::GetString(const std::wstring& section, const wchar_t* value,
                                    const std::wstring& def) const {
  if (useIni_) return ReadProfileString(section.c_str(), value, def.c_str(), iniPath_);
  win::RegKey key;
  if (::RegOpenKeyExW(rootKey_, (basePath_ + section).c_str(), 0, KEY_ALL_ACCESS, key.Put()) != ERROR_SUCCESS)
    return def;
  DWORD type = 0;
  std::wstring buffer(kRegStringBytes / sizeof(wchar_t), L'\0');
  DWORD bytes = kRegStringBytes;
  LSTATUS status = ::RegQueryValueExW(key.Get(), value, nullptr, &type,
                                      reinterpret_cast<BYTE*>(buffer.data()), &bytes);
  if (status == ERROR_MORE_DATA) {
    // Longer than the usual buffer: read it whole rather than lose the value.
    buffer.assign(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    status = ::RegQueryValueExW(key.Get(), value, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &bytes);
  }
  // Only text types read as text; anything else is not a value this program wrote.
  if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return def;
  buffer.resize(bytes / sizeof(wchar_t));
  if (size_t nul = buffer.find(L'\0'); nul != std::wstring::npos) buffer.resize(nul);
  return buffer;
}

int ConfigStore::GetInt(const std::wstring& section, const wchar_t* value, int def) const {
  if (useIni_) {
    std::wstring defText = FormatLong(def);
    wchar_t buffer[kIniIntChars];
    DWORD n = ::GetPrivateProfileStringW(section.c_str(), value, defText.c_str(), buffer, kIniIntChars,
                                         iniPath_.c_str());
    return ParseLeadingInt(std::wstring_view(buffer, n));
  }
  win::RegKey key;
  if (::RegOpenKeyExW(rootKey_, (basePath_ + section).c_str(), 0, KEY_ALL_ACCESS, key.Put()) != ERROR_SUCCESS)
    return def;
  DWORD type = 0;
  DWORD number = static_cast<DWORD>(def);
  DWORD bytes = sizeof(number);
  LSTATUS status = ::RegQueryValueExW(key.Get(), value, nullptr, &type, reinterpret_cast<BYTE*>(&number), &bytes);
  // A value of another type or size would read as raw bytes; it is not ours: default.
  if (status != ERROR_SUCCESS || type != REG_DWORD || bytes != sizeof(number)) return def;
  return static_cast<int>(number);
}

void ConfigStore::SetString(const std::wstring& section, const wchar_t* value, const std::wstring& text) const {
  if (useIni_) {
    ::WritePrivateProfileStringW(section.c_str(), value, IniValue(text).c_str(), iniPath_.c_str());
    return;
  }
  win::RegKey key;
  if (::RegCreateKeyExW(rootKey_, (basePath_ + section).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        key.Put(), nullptr) != ERROR_SUCCESS)
    return;
  ::RegSetValueExW(key.Get(), value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void ConfigStore::SetInt(const std::wstring& section, const wchar_t* value, int number) const {
  if (useIni_) {
    ::WritePrivateProfileStringW(section.c_str(), value, FormatLong(number).c_str(), iniPath_.c_str());
    return;
  }
  win::RegKey key;
  if (::RegCreateKeyExW(rootKey_, (basePath_ + section).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        key.Put(), nullptr) != ERROR_SUCCESS)
    return;
  DWORD data = static_cast<DWORD>(number);
  ::RegSetValueExW(key.Get(), value, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data));
}

void ConfigStore::EnumSubsections(const std::wstring& section, std::vector<std::wstring>& out) const {
  if (useIni_) {
    // All section names of the file, NUL-separated, however many there are.
    const std::wstring names = ReadProfileString(nullptr, nullptr, L"", iniPath_);
    for (size_t pos = 0; pos < names.size();) {
      size_t end = names.find(L'\0', pos);
      if (end == std::wstring::npos) end = names.size();
      std::wstring_view name(names.data() + pos, end - pos);
      if (name.empty()) break;
      if (name.size() > section.size() && name.compare(0, section.size(), section) == 0 &&
          name[section.size()] == L'\\')
        out.emplace_back(name.substr(section.size() + 1));
      pos = end + 1;
    }
    return;
  }
  win::RegKey key;
  if (::RegOpenKeyExW(rootKey_, (basePath_ + section).c_str(), 0, KEY_ALL_ACCESS, key.Put()) != ERROR_SUCCESS)
    return;
  for (DWORD index = 0;; ++index) {
    wchar_t name[kRegEnumChars];
    if (::RegEnumKeyW(key.Get(), index, name, kRegEnumChars) != ERROR_SUCCESS) break;
    out.emplace_back(name);
  }
}

void ConfigStore::DeleteSection(const std::wstring& section) const {
  if (useIni_) {
    ::WritePrivateProfileStringW(section.c_str(), nullptr, nullptr, iniPath_.c_str());
    return;
  }
  win::RegKey base;
  if (::RegOpenKeyExW(rootKey_, basePath_.c_str(), 0, KEY_ALL_ACCESS, base.Put()) != ERROR_SUCCESS) return;
  DeleteKeyTree(base.Get(), section.c_str());
}

ConfigStore::StoreState ConfigStore::CheckRegistryKey() const {
  if (useIni_) return StoreState::IniFile;
  win::RegKey key;
  return ::RegOpenKeyExW(rootKey_, basePath_.c_str(), 0, KEY_ALL_ACCESS, key.Put()) == ERROR_SUCCESS
             ? StoreState::RegistryKey
             : StoreState::NoRegistryKey;
}

void ConfigStore::CreateRegistryKey() const {
  if (useIni_) return;
  win::RegKey key;
  ::RegCreateKeyExW(rootKey_, basePath_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Put(), nullptr);
}

void ConfigStore::CreateIniFile() const {
  // The byte-order mark makes the profile functions keep the file in UTF-16, so Hangul
  // keywords and addresses survive whatever the system's ANSI code page is.
  win::FileHandle file(::CreateFileW(iniPath_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file) {
    static const BYTE bom[2] = {0xFF, 0xFE};
    DWORD written = 0;
    ::WriteFile(file.Get(), bom, sizeof(bom), &written, nullptr);
    file.Reset();
  }
  ::WritePrivateProfileStringW(L"", L"", nullptr, iniPath_.c_str());
  ::WritePrivateProfileStringW(L"", nullptr, nullptr, iniPath_.c_str());
}

ConfigStore& Config() {
  // Built on first use, before the main frame exists; the back end is chosen once.
  if (ConfigStore* test = overrideStore.load(std::memory_order_acquire)) return *test;
  static ConfigStore store(L"pellora", HKEY_CURRENT_USER);
  return store;
}

void SetConfigOverride(ConfigStore* store) { overrideStore.store(store, std::memory_order_release); }

std::wstring GetProgramVersion() {
  std::wstring path = win::ModulePath();
  DWORD handle = 0;
  DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &handle);
  if (size == 0) return {};
  std::vector<BYTE> data(size);
  if (!::GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return {};
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info ||
      length < sizeof(VS_FIXEDFILEINFO))
    return {};
  wchar_t text[64];
  std::swprintf(text, 64, L"%d.%d.%d.%d", HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
  return text;
}
