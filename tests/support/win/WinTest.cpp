#include "support/win/WinTest.h"

#include <shellapi.h>

#include <atomic>
#include <utility>

#include "win/Dialog.h"
#include "win/Window.h"

namespace test {

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) continue;  // a test has no loop to end
      win::Window::ProcessMessage(msg);
    }
    if (done()) return true;
    if (::GetTickCount() - start >= timeoutMs) return done();
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
}

void PumpFor(DWORD ms) {
  PumpUntil([] { return false; }, ms);
}

namespace {
std::atomic<int> counter{0};

std::wstring UniqueName(const wchar_t* prefix) {
  return prefix + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(::GetTickCount()) + L"-" +
         std::to_wstring(counter++);
}
}  // namespace

TempDir::TempDir() {
  wchar_t base[MAX_PATH];
  ::GetTempPathW(MAX_PATH, base);
  path_ = std::wstring(base) + UniqueName(L"pellora-test-");
  ::CreateDirectoryW(path_.c_str(), nullptr);
}

TempDir::~TempDir() {
  // Double-NUL-terminated list for the shell's recursive delete.
  std::wstring from = path_ + L'\0';
  SHFILEOPSTRUCTW op{};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_NO_UI;
  ::SHFileOperationW(&op);
}

ScopedConfig::ScopedConfig(Backend backend) : name_(UniqueName(L"pellora-test-")) {
  iniPath_ = dir_.File(L"pellora.ini");
  if (backend == Backend::Ini) {
    HANDLE file = ::CreateFileW(iniPath_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    static const BYTE bom[2] = {0xFF, 0xFE};
    DWORD written = 0;
    ::WriteFile(file, bom, 2, &written, nullptr);
    ::CloseHandle(file);
  }
  store_ = Reopen();
  SetConfigOverride(store_.get());
}

ScopedConfig::~ScopedConfig() {
  SetConfigOverride(nullptr);
  ::RegDeleteTreeW(HKEY_CURRENT_USER, RegistryPath().c_str());
}

std::unique_ptr<ConfigStore> ScopedConfig::Reopen() const {
  return std::make_unique<ConfigStore>(name_.c_str(), HKEY_CURRENT_USER, iniPath_);
}

void ScopedConfig::Restart() {
  store_ = Reopen();
  SetConfigOverride(store_.get());
}

MessageBoxAnswerer::MessageBoxAnswerer(int answer) : answer_(answer) {
  win::SetMessageBoxHook([this](HWND, const std::wstring& text, const std::wstring& caption, UINT type) {
    asked_.push_back({text, caption, type});
    return answer_;
  });
}

MessageBoxAnswerer::~MessageBoxAnswerer() { win::SetMessageBoxHook(nullptr); }

DialogAnswerer::DialogAnswerer(bool pressOk, std::wstring typeText, bool typeIt) {
  win::Dialog::SetAutomation([this, pressOk, typeText, typeIt](HWND dialog) {
    Seen seen;
    wchar_t buffer[4096];
    ::GetWindowTextW(dialog, buffer, 4096);
    seen.caption = buffer;
    if (HWND edit = ::GetDlgItem(dialog, 1000)) {
      ::GetWindowTextW(edit, buffer, 4096);
      seen.editText = buffer;
      if (typeIt) ::SetWindowTextW(edit, typeText.c_str());
    }
    seen_.push_back(seen);
    statics_.clear();
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
      wchar_t cls[32];
      ::GetClassNameW(child, cls, 32);
      if (::lstrcmpiW(cls, L"Static") == 0) {
        ::GetWindowTextW(child, buffer, 4096);
        statics_.push_back(buffer);
      }
    }
    ::PostMessageW(dialog, WM_COMMAND, pressOk ? IDOK : IDCANCEL, 0);
  });
}

DialogAnswerer::~DialogAnswerer() { win::Dialog::SetAutomation(nullptr); }

struct MenuProbe::State {
  std::vector<std::vector<Item>> menus;
  UINT choose = 0;
};

namespace {
// The newest probe records; older ones alive meanwhile wait (one hook for all of them).
std::vector<MenuProbe::State*> activeProbes;
HHOOK probeHook = nullptr;

std::vector<MenuProbe::Item> ReadMenu(HMENU menu) {
  std::vector<MenuProbe::Item> items;
  const int count = ::GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    wchar_t text[512] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STATE | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = 511;
    ::GetMenuItemInfoW(menu, i, TRUE, &info);
    items.push_back({info.wID, text, (info.fType & MFT_SEPARATOR) != 0, (info.fState & MFS_DISABLED) != 0,
                     (info.fState & MFS_CHECKED) != 0});
  }
  return items;
}

void CALLBACK CloseMenuTimer(HWND, UINT, UINT_PTR id, DWORD) {
  ::KillTimer(nullptr, id);
  ::EndMenu();
}

// Runs after the owner handled WM_INITMENUPOPUP, so the update rules have been applied.
LRESULT CALLBACK AfterWindowProc(int code, WPARAM wParam, LPARAM lParam) {
  auto* info = reinterpret_cast<CWPRETSTRUCT*>(lParam);
  MenuProbe::State* activeProbe = activeProbes.empty() ? nullptr : activeProbes.back();
  if (code == HC_ACTION && activeProbe && info->message == WM_INITMENUPOPUP) {
    HMENU menu = reinterpret_cast<HMENU>(info->wParam);
    activeProbe->menus.push_back(ReadMenu(menu));
    if (UINT id = std::exchange(activeProbe->choose, 0)) {
      // The command a click on the entry would post to the menu's owner.
      ::PostMessageW(info->hwnd, WM_COMMAND, MAKEWPARAM(id, 0), 0);
    }
    ::SetTimer(nullptr, 0, 1, &CloseMenuTimer);
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
}  // namespace

MenuProbe::MenuProbe() : state_(std::make_unique<State>()) {
  if (activeProbes.empty())
    probeHook = ::SetWindowsHookExW(WH_CALLWNDPROCRET, &AfterWindowProc, nullptr, ::GetCurrentThreadId());
  activeProbes.push_back(state_.get());
}

MenuProbe::~MenuProbe() {
  std::erase(activeProbes, state_.get());
  if (activeProbes.empty() && probeHook) ::UnhookWindowsHookEx(std::exchange(probeHook, nullptr));
}

const std::vector<std::vector<MenuProbe::Item>>& MenuProbe::Menus() const { return state_->menus; }

void MenuProbe::ChooseNext(UINT id) { state_->choose = id; }

}  // namespace test

#include <psapi.h>

namespace test {

GuiObjects CountGuiObjects() {
  GuiObjects counts;
  counts.gdi = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
  counts.user = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
  if (counts.gdi != 0 || counts.user != 0) return counts;
  counts.probed = true;
  // GDI: the low word of a handle is its slot, from 0x20 on.
  for (uintptr_t value = 0x20; value < 0x20 + 16384; ++value)
    if (::GetObjectType(reinterpret_cast<HGDIOBJ>(value)) != 0) ++counts.gdi;
  // USER: windows and menus of this process; slots are every second value from 0x20 on.
  const DWORD self = ::GetCurrentProcessId();
  for (uintptr_t value = 0x20; value < 0x20 + 2 * 32768; value += 2) {
    HWND window = reinterpret_cast<HWND>(value);
    DWORD pid = 0;
    if (::IsWindow(window) && ::GetWindowThreadProcessId(window, &pid) && pid == self) ++counts.user;
    else if (::IsMenu(reinterpret_cast<HMENU>(value))) ++counts.user;
  }
  return counts;
}

MemoryUse CurrentMemoryUse() {
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof(memory);
  ::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory));
  MemoryUse use;
  use.committed = memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage;
  use.workingSet = memory.WorkingSetSize;
  return use;
}

}  // namespace test

namespace test {

namespace {
// One hook for all spies alive at a time, so that each message is recorded once per spy.
std::vector<PostedMessageSpy*> activeSpies;
HHOOK spyHook = nullptr;
}  // namespace

PostedMessageSpy::PostedMessageSpy(HWND target, UINT message) : target_(target), message_(message) {
  if (activeSpies.empty())
    spyHook = ::SetWindowsHookExW(WH_GETMESSAGE, &PostedMessageSpy::Hook, nullptr, ::GetCurrentThreadId());
  activeSpies.push_back(this);
}

PostedMessageSpy::~PostedMessageSpy() {
  std::erase(activeSpies, this);
  if (activeSpies.empty() && spyHook) ::UnhookWindowsHookEx(std::exchange(spyHook, nullptr));
}

size_t PostedMessageSpy::Count(WPARAM wParam) const {
  size_t n = 0;
  for (WPARAM w : seen_) n += w == wParam;
  return n;
}

LRESULT CALLBACK PostedMessageSpy::Hook(int code, WPARAM wParam, LPARAM lParam) {
  auto* msg = reinterpret_cast<MSG*>(lParam);
  if (code == HC_ACTION && wParam == PM_REMOVE)
    for (PostedMessageSpy* spy : activeSpies)
      if (msg->hwnd == spy->target_ && msg->message == spy->message_) spy->seen_.push_back(msg->wParam);
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace test
