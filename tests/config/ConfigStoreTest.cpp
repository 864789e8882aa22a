#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "version.h"
#include "config/ConfigStore.h"
#include "support/TraceCapture.h"
#include "support/win/WinTest.h"

using test::ScopedConfig;

namespace {

std::string ReadBytes(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
  out << bytes;
}

bool RegistryKeyExists(const std::wstring& path) {
  HKEY key;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  ::RegCloseKey(key);
  return true;
}

DWORD RegistryValueType(const std::wstring& path, const wchar_t* value, DWORD* size) {
  DWORD type = 0;
  *size = 0;
  ::RegGetValueW(HKEY_CURRENT_USER, path.c_str(), value, RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr, size);
  return type;
}

}  // namespace

TEST(ConfigStoreBackend, MissingIniFileSelectsTheRegistry) {
  ScopedConfig config;
  EXPECT_FALSE(config.Store().UsesIni());
  EXPECT_EQ(config.Store().BasePath(), config.RegistryPath() + L"\\");
  EXPECT_EQ(config.Store().CheckRegistryKey(), ConfigStore::StoreState::NoRegistryKey);
  config.Store().SetInt(L"CONFIG", L"RSS_TIMER", 45);
  EXPECT_EQ(config.Store().CheckRegistryKey(), ConfigStore::StoreState::RegistryKey);
  DWORD size;
  EXPECT_EQ(RegistryValueType(config.RegistryPath() + L"\\CONFIG", L"RSS_TIMER", &size), DWORD(REG_DWORD));
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(config.Store().GetInt(L"CONFIG", L"RSS_TIMER", 30), 45);
}

TEST(ConfigStoreBackend, ExistingIniFileIsUsedAndTraced) {
  ScopedConfig first;
  first.Store().CreateIniFile();
  TraceCapture trace;
  auto next = first.Reopen();
  EXPECT_TRUE(next->UsesIni());
  EXPECT_EQ(next->CheckRegistryKey(), ConfigStore::StoreState::IniFile);
  EXPECT_TRUE(trace.Contains(L"use ini config : " + first.IniPath() + L"\n"));
  // The registry key may exist too; the file still wins.
  first.Store().SetInt(L"CONFIG", L"X", 1);
  EXPECT_EQ(first.Reopen()->CheckRegistryKey(), ConfigStore::StoreState::IniFile);
}

TEST(ConfigStoreBackend, ReadOnlyIniFileKeepsTheRegistry) {
  ScopedConfig config(ScopedConfig::Backend::Ini);
  ASSERT_TRUE(config.Store().UsesIni());
  ::SetFileAttributesW(config.IniPath().c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(config.Reopen()->UsesIni());
  ::SetFileAttributesW(config.IniPath().c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(ConfigStoreBackend, NullRootForcesTheIniFile) {
  test::TempDir dir;
  ConfigStore store(L"pellora-null-root", nullptr, dir.File(L"pellora.ini"));
  EXPECT_TRUE(store.UsesIni());
}

TEST(ConfigStoreRegistry, ValuesDefaultsAndEncodings) {
  ScopedConfig config;
  ConfigStore& s = config.Store();
  EXPECT_EQ(s.GetString(L"CONFIG", L"TICKER_FONT", L"Tahoma"), L"Tahoma");
  EXPECT_EQ(s.GetInt(L"CONFIG", L"TICKER_CNT", 100), 100);
  s.SetString(L"CONFIG\\0a1b2c3d", L"URL", L"http://example.org/rss?a=1&b=\xD55C\xAE00");
  EXPECT_EQ(s.GetString(L"CONFIG\\0a1b2c3d", L"URL", L""), L"http://example.org/rss?a=1&b=\xD55C\xAE00");
  EXPECT_TRUE(RegistryKeyExists(config.RegistryPath() + L"\\CONFIG\\0a1b2c3d"));
  // Missing values in an existing key still give the default.
  EXPECT_EQ(s.GetInt(L"CONFIG\\0a1b2c3d", L"NOTI", 0), 0);
  EXPECT_EQ(s.GetInt(L"CONFIG\\0a1b2c3d", L"TICKER", 1), 1);
  s.SetInt(L"CONFIG", L"NEG", -5);
  EXPECT_EQ(s.GetInt(L"CONFIG", L"NEG", 0), -5);
  // An empty text is an empty REG_SZ of two bytes (the terminator).
  s.SetString(L"CONFIG", L"KEYWORD", L"");
  DWORD size;
  EXPECT_EQ(RegistryValueType(config.RegistryPath() + L"\\CONFIG", L"KEYWORD", &size), DWORD(REG_SZ));
  EXPECT_EQ(size, 2u);
  EXPECT_EQ(s.GetString(L"CONFIG", L"KEYWORD", L"default"), L"");
}

TEST(ConfigStoreRegistry, LongStringsReadWholeAndForeignTypesReadAsDefault) {
  ScopedConfig config;
  ConfigStore& s = config.Store();
  std::wstring longText(5000, L'k');
  s.SetString(L"CONFIG", L"KEYWORD", longText);
  EXPECT_EQ(s.GetString(L"CONFIG", L"KEYWORD", L""), longText);

  HKEY key;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, (config.RegistryPath() + L"\\CONFIG").c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const BYTE binary[3] = {1, 2, 3};
  ::RegSetValueExW(key, L"BIN", 0, REG_BINARY, binary, 3);
  ::RegSetValueExW(key, L"TEXT", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"12"), 6);
  const DWORD number = 7;
  ::RegSetValueExW(key, L"NUM", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
  ::RegCloseKey(key);
  EXPECT_EQ(s.GetString(L"CONFIG", L"BIN", L"dflt"), L"dflt");
  EXPECT_EQ(s.GetString(L"CONFIG", L"NUM", L"dflt"), L"dflt");
  EXPECT_EQ(s.GetInt(L"CONFIG", L"TEXT", 30), 30);
  EXPECT_EQ(s.GetInt(L"CONFIG", L"BIN", 30), 30);
  EXPECT_EQ(s.GetInt(L"CONFIG", L"NUM", 30), 7);
}

TEST(ConfigStoreIni, IntegersParseLikeTheRuntimeAndTextKeepsHangul) {
  ScopedConfig config(ScopedConfig::Backend::Ini);
  ConfigStore& s = config.Store();
  s.SetString(L"CONFIG", L"A", L"abc");
  s.SetString(L"CONFIG", L"B", L"12xyz");
  s.SetString(L"CONFIG", L"C", L"  -3");
  EXPECT_EQ(s.GetInt(L"CONFIG", L"A", 99), 0);
  EXPECT_EQ(s.GetInt(L"CONFIG", L"B", 99), 12);
  EXPECT_EQ(s.GetInt(L"CONFIG", L"C", 99), -3);
  EXPECT_EQ(s.GetInt(L"CONFIG", L"MISSING", 99), 99);
  EXPECT_EQ(s.GetInt(L"CONFIG", L"MISSING", -7), -7);
  s.SetInt(L"WINDOW", L"MAIN_X", -1234);
  EXPECT_EQ(s.GetInt(L"WINDOW", L"MAIN_X", 0), -1234);
  s.SetString(L"CONFIG\\a1", L"KEYWORD", L"\xC0AC\xACFC \xD30C\xC774%20\xB808\xC2DC\xD53C");
  EXPECT_EQ(config.Reopen()->GetString(L"CONFIG\\a1", L"KEYWORD", L""),
            L"\xC0AC\xACFC \xD30C\xC774%20\xB808\xC2DC\xD53C");
  EXPECT_EQ(s.GetString(L"CONFIG\\a1", L"URL", L"none"), L"none");
}

TEST(ConfigStoreIni, TextsReadBackExactlyWhateverTheirEdges) {
  ScopedConfig config(ScopedConfig::Backend::Ini);
  for (const wchar_t* text : {L" http://a.example/rss ", L"\tx", L"\"quoted\"", L"'single'", L"\"", L"a\"b\"",
                              L"pie%20recipe ", L"  "}) {
    config.Store().SetString(L"CONFIG\\e1", L"URL", text);
    EXPECT_EQ(config.Reopen()->GetString(L"CONFIG\\e1", L"URL", L"default"), text);
  }
}

TEST(ConfigStoreIni, CreateIniFileWritesAUtf16FileThatTheNextStartUses) {
  ScopedConfig config;
  ASSERT_FALSE(config.Store().UsesIni());
  config.Store().CreateIniFile();
  std::string bytes = ReadBytes(config.IniPath());
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE"));
  auto next = config.Reopen();
  ASSERT_TRUE(next->UsesIni());
  next->SetString(L"CONFIG\\b2", L"URL", L"http://\xB274\xC2A4.kr/rss");
  EXPECT_EQ(ReadBytes(config.IniPath()).substr(0, 2), std::string("\xFF\xFE"));
  EXPECT_EQ(config.Reopen()->GetString(L"CONFIG\\b2", L"URL", L""), L"http://\xB274\xC2A4.kr/rss");
  // Creating it again keeps what is there.
  next->CreateIniFile();
  EXPECT_EQ(config.Reopen()->GetString(L"CONFIG\\b2", L"URL", L""), L"http://\xB274\xC2A4.kr/rss");
}

TEST(ConfigStoreIni, ExistingAnsiFilesStillRead) {
  ScopedConfig config;
  WriteBytes(config.IniPath(), "[CONFIG]\r\nRSS_TIMER=60\r\n[CONFIG\\c3]\r\nURL=http://a.example/\r\n");
  auto store = config.Reopen();
  ASSERT_TRUE(store->UsesIni());
  EXPECT_EQ(store->GetInt(L"CONFIG", L"RSS_TIMER", 30), 60);
  EXPECT_EQ(store->GetString(L"CONFIG\\c3", L"URL", L""), L"http://a.example/");
}

TEST(ConfigStoreIni, CorruptFileGivesDefaultsAndIsNotWritten) {
  ScopedConfig config;
  std::string garbage("\x00\xFF[[\r\n=\x01\x02\nCONFIG]\r\n\xC3\x28==\n[\n", 27);
  WriteBytes(config.IniPath(), garbage);
  auto store = config.Reopen();
  ASSERT_TRUE(store->UsesIni());
  EXPECT_EQ(store->GetInt(L"CONFIG", L"RSS_TIMER", 30), 30);
  EXPECT_EQ(store->GetString(L"CONFIG", L"TICKER_FONT", L"Tahoma"), L"Tahoma");
  std::vector<std::wstring> ids;
  store->EnumSubsections(L"CONFIG", ids);
  EXPECT_TRUE(ids.empty());
  EXPECT_EQ(ReadBytes(config.IniPath()), garbage);
}

TEST(ConfigStoreEnum, IniFollowsFileOrderAndNeedsABackslashAfterThePrefix) {
  ScopedConfig config;
  WriteBytes(config.IniPath(),
             "[CONFIG]\r\nA=1\r\n[CONFIG\\a1]\r\nURL=x\r\n[WINDOW]\r\nB=2\r\n[CONFIG\\b2]\r\nURL=y\r\n"
             "[CONFIGX\\c3]\r\nURL=z\r\n[config\\d4]\r\nURL=w\r\n");
  auto store = config.Reopen();
  std::vector<std::wstring> ids{L"kept"};
  store->EnumSubsections(L"CONFIG", ids);
  EXPECT_EQ(ids, (std::vector<std::wstring>{L"kept", L"a1", L"b2"}));
}

TEST(ConfigStoreEnum, RegistryListsSubkeys) {
  ScopedConfig config;
  std::vector<std::wstring> ids;
  config.Store().EnumSubsections(L"CONFIG", ids);
  EXPECT_TRUE(ids.empty());
  for (const wchar_t* id : {L"5c2e0001", L"01ab7fff", L"7fff0000"}) config.Store().SetString(section::Channel(id), L"URL", L"u");
  config.Store().EnumSubsections(L"CONFIG", ids);
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(ids, (std::vector<std::wstring>{L"01ab7fff", L"5c2e0001", L"7fff0000"}));
}

TEST(ConfigStoreDelete, RegistryDeletesTheWholeTreeIniOnlyTheSection) {
  ScopedConfig reg;
  reg.Store().SetString(L"CONFIG\\a1", L"URL", L"u");
  reg.Store().SetInt(L"CONFIG\\a1\\deep\\deeper", L"X", 1);
  reg.Store().SetInt(L"CONFIG\\a1\\other", L"Y", 1);
  reg.Store().SetString(L"CONFIG\\b2", L"URL", L"v");
  reg.Store().DeleteSection(L"CONFIG\\a1");
  EXPECT_FALSE(RegistryKeyExists(reg.RegistryPath() + L"\\CONFIG\\a1"));
  EXPECT_EQ(reg.Store().GetString(L"CONFIG\\b2", L"URL", L""), L"v");
  reg.Store().DeleteSection(L"CONFIG\\missing");  // nothing to delete: no effect

  ScopedConfig ini(ScopedConfig::Backend::Ini);
  ini.Store().SetString(L"CONFIG\\a1", L"URL", L"u");
  ini.Store().SetInt(L"CONFIG\\a1", L"NOTI", 1);
  ini.Store().SetString(L"CONFIG\\a1\\x", L"URL", L"w");
  ini.Store().DeleteSection(L"CONFIG\\a1");
  EXPECT_EQ(ini.Store().GetString(L"CONFIG\\a1", L"URL", L"gone"), L"gone");
  EXPECT_EQ(ini.Store().GetInt(L"CONFIG\\a1", L"NOTI", 0), 0);
  EXPECT_EQ(ini.Store().GetString(L"CONFIG\\a1\\x", L"URL", L""), L"w");
}

TEST(ProgramVersion, ComesFromTheVersionResource) { EXPECT_EQ(GetProgramVersion(), L"" PELLORA_VERSION_TEXT); }

// However many channels there are, each is seen, read and can be deleted, in both back
// ends; a value longer than any buffer reads back whole.
TEST(ConfigStoreEnum, FiveThousandChannelsInEachBackEnd) {
  constexpr int kChannels = 5000;
  auto id = [](int i) {
    wchar_t text[16];
    std::swprintf(text, 16, L"%08x", 0x10000000 + i);
    return std::wstring(text);
  };
  ScopedConfig reg;
  ScopedConfig ini(ScopedConfig::Backend::Ini);
  std::string file = "[CONFIG]\r\nRSS_TIMER=30\r\n";
  for (int i = 0; i < kChannels; ++i) {
    const std::wstring name = id(i);
    file += "[CONFIG\\" + std::string(name.begin(), name.end()) + "]\r\nURL=http://c.example/" + std::to_string(i) + "\r\n";
    reg.Store().SetString(section::Channel(name), L"URL", L"http://c.example/" + std::to_wstring(i));
  }
  WriteBytes(ini.IniPath(), file);
  auto iniStore = ini.Reopen();
  for (const ConfigStore* store : {&reg.Store(), iniStore.get()}) {
    std::vector<std::wstring> ids;
    store->EnumSubsections(L"CONFIG", ids);
    ASSERT_EQ(ids.size(), size_t(kChannels));
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids.front(), id(0));
    EXPECT_EQ(ids.back(), id(kChannels - 1));
    EXPECT_EQ(store->GetString(section::Channel(id(kChannels - 1)), L"URL", L""),
              L"http://c.example/" + std::to_wstring(kChannels - 1));
    for (int i : {0, kChannels / 2, kChannels - 1}) store->DeleteSection(section::Channel(id(i)));
    ids.clear();
    store->EnumSubsections(L"CONFIG", ids);
    EXPECT_EQ(ids.size(), size_t(kChannels - 3));
    const std::wstring longText(100 * 1024, L'u');
    store->SetString(L"CONFIG", L"LONG", longText);
    EXPECT_EQ(store->GetString(L"CONFIG", L"LONG", L""), longText);
  }
}
