#pragma once
// Helpers for in-process tests with real windows under Wine: pumping messages with a
// time-out, a throw-away settings store, and answering message boxes, dialogs and menus.
#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/ConfigStore.h"

namespace test {

// Dispatches messages (through the framework's pre-translation) until `done` holds or the
// time-out passes; true when it held. Never waits without bound.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);
// Dispatches messages for the given time.
void PumpFor(DWORD ms);

// A folder of its own below the temporary folder, removed with its files at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::wstring& Path() const { return path_; }
  std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

// A settings store of the test's own, installed as the program's store while it lives:
// registry key HKCU\SOFTWARE\<unique name>\ and a profile file in a TempDir. With
// Backend::Ini the (empty, UTF-16) profile file exists first, so the store uses it.
class ScopedConfig {
 public:
  enum class Backend { Registry, Ini };
  explicit ScopedConfig(Backend backend = Backend::Registry);
  ~ScopedConfig();
  ScopedConfig(const ScopedConfig&) = delete;
  ScopedConfig& operator=(const ScopedConfig&) = delete;

  ConfigStore& Store() { return *store_; }
  const std::wstring& Name() const { return name_; }
  const std::wstring& IniPath() const { return iniPath_; }
  std::wstring RegistryPath() const { return L"SOFTWARE\\" + name_; }
  // A new store over the same registry name and file, as the next start would build.
  std::unique_ptr<ConfigStore> Reopen() const;
  // Installs a reopened store as the program's store (the next start).
  void Restart();

 private:
  TempDir dir_;
  std::wstring name_;
  std::wstring iniPath_;
  std::unique_ptr<ConfigStore> store_;
};

// Answers every message box while it lives and records what was asked.
class MessageBoxAnswerer {
 public:
  struct Asked {
    std::wstring text, caption;
    UINT type;
  };
  explicit MessageBoxAnswerer(int answer = IDOK);
  ~MessageBoxAnswerer();
  void SetAnswer(int answer) { answer_ = answer; }
  const std::vector<Asked>& Asked_() const { return asked_; }
  size_t Count() const { return asked_.size(); }
  const Asked& Last() const { return asked_.back(); }

 private:
  int answer_;
  std::vector<Asked> asked_;
};

// Drives every modal dialog while it lives: records its caption and the text of its
// edit 1000 (if any), optionally types a text into it, then presses OK or Cancel.
class DialogAnswerer {
 public:
  struct Seen {
    std::wstring caption, editText;
  };
  DialogAnswerer(bool pressOk, std::wstring typeText = {}, bool typeIt = false);
  ~DialogAnswerer();
  const std::vector<Seen>& SeenDialogs() const { return seen_; }
  // Texts of the dialog's static controls (About box).
  const std::vector<std::wstring>& Statics() const { return statics_; }

 private:
  std::vector<Seen> seen_;
  std::vector<std::wstring> statics_;
};

// Records the items of the next popup menus that open on this thread (after the owner's
// update rules ran) and closes them without choosing anything. With several probes alive,
// the newest one records.
class MenuProbe {
 public:
  struct Item {
    UINT id;
    std::wstring text;  // empty for separators
    bool separator, grayed, checked;
  };
  MenuProbe();
  ~MenuProbe();
  const std::vector<std::vector<Item>>& Menus() const;
  // Chooses the entry with this command id in the next menu instead of closing it.
  void ChooseNext(UINT id);

  struct State;

 private:
  std::unique_ptr<State> state_;
};

}  // namespace test

namespace test {

// This process's GDI and USER objects. GetGuiResources where the platform counts; Wine
// answers 0 there, so the handle tables are probed instead: a handle value with a zero
// generation part names its table slot whatever the slot's generation, so every live
// object is seen once.
struct GuiObjects {
  unsigned gdi = 0;
  unsigned user = 0;
  bool probed = false;
};
GuiObjects CountGuiObjects();

// Memory this process has committed (private bytes), and its working set.
struct MemoryUse {
  size_t committed = 0;
  size_t workingSet = 0;
};
MemoryUse CurrentMemoryUse();

// Records the word parameters of one message as the receiving thread takes it from its
// queue (posted messages only), e.g. the codes of WM_USER posted to the main frame.
class PostedMessageSpy {
 public:
  PostedMessageSpy(HWND target, UINT message);
  ~PostedMessageSpy();
  PostedMessageSpy(const PostedMessageSpy&) = delete;
  PostedMessageSpy& operator=(const PostedMessageSpy&) = delete;
  std::vector<WPARAM> Seen() const { return seen_; }
  size_t Count(WPARAM wParam) const;
  void Clear() { seen_.clear(); }

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
  HWND target_;
  UINT message_;
  std::vector<WPARAM> seen_;
};

}  // namespace test
