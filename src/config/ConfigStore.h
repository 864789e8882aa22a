#pragma once
// All persistent settings: typed values in named sections, kept in the registry below
// HKEY_CURRENT_USER\SOFTWARE\<name>\ or in <name>.ini beside the executable. The back end
// is chosen once, at construction: the .ini file when it exists and is readable and
// writable, the registry otherwise. No handle stays open between operations, so the store
// may be used from the UI thread and the fetch thread at once.
#include <windows.h>

#include <string>
#include <vector>

class ConfigStore {
 public:
  // The store of the executable: <exe directory>\<name>.ini or the registry.
  ConfigStore(const wchar_t* name, HKEY root);
  // The same with an explicit profile file path (tests use throw-away paths).
  ConfigStore(const wchar_t* name, HKEY root, std::wstring iniPath);

  std::wstring GetString(const std::wstring& section, const wchar_t* value, const std::wstring& def) const;
  int GetInt(const std::wstring& section, const wchar_t* value, int def) const;
  void SetString(const std::wstring& section, const wchar_t* value, const std::wstring& text) const;
  void SetInt(const std::wstring& section, const wchar_t* value, int number) const;
  // Appends the names of the sections one level below `section`.
  void EnumSubsections(const std::wstring& section, std::vector<std::wstring>& out) const;
  // Registry: the section with all its subsections; .ini: that one section only.
  void DeleteSection(const std::wstring& section) const;
  // Where the settings are: in the .ini file, in the program's registry key, or nowhere yet
  // (the registry back end without its key: the first start).
  enum class StoreState { IniFile, RegistryKey, NoRegistryKey };
  StoreState CheckRegistryKey() const;
  // Creates the program's registry key (registry back end only), so that the choice of
  // the registry is remembered even before any value is written.
  void CreateRegistryKey() const;
  // Creates an empty profile file (starting with a UTF-16LE byte-order mark).
  void CreateIniFile() const;

  bool UsesIni() const { return useIni_; }
  const std::wstring& IniPath() const { return iniPath_; }
  const std::wstring& BasePath() const { return basePath_; }

 private:
  void Choose(const wchar_t* name);

  bool useIni_ = false;
  HKEY rootKey_ = nullptr;
  std::wstring basePath_;
  std::wstring iniPath_;
};

// The process-wide store the program reads and writes. Tests point it at a throw-away
// store with ScopedConfigOverride (tests/support).
ConfigStore& Config();
void SetConfigOverride(ConfigStore* store);

// The executable's file version, "%d.%d.%d.%d"; empty without a version resource.
std::wstring GetProgramVersion();

// Section names used across the program.
namespace section {
inline const std::wstring kWindow = L"WINDOW";
inline const std::wstring kConfig = L"CONFIG";
inline std::wstring Channel(const std::wstring& id) { return L"CONFIG\\" + id; }
}  // namespace section
