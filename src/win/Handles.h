#pragma once
// Move-only owners for every kind of handle the program uses. A raw handle is borrowed;
// one of these owns it and releases it exactly once.
#include <windows.h>
#include <commctrl.h>
#include <wininet.h>
#include <wtsapi32.h>

#include <utility>

namespace win {

template <typename Traits>
class UniqueHandle {
 public:
  using Type = typename Traits::Type;

  UniqueHandle() noexcept = default;
  explicit UniqueHandle(Type h) noexcept : h_(h) {}
  UniqueHandle(UniqueHandle&& other) noexcept : h_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { Reset(); }

  Type Get() const noexcept { return h_; }
  explicit operator bool() const noexcept { return h_ != Traits::Invalid(); }
  Type Release() noexcept { return std::exchange(h_, Traits::Invalid()); }
  void Reset(Type h = Traits::Invalid()) noexcept {
    Type old = std::exchange(h_, h);
    if (old != Traits::Invalid()) Traits::Close(old);
  }
  // For out-parameters of creating calls; releases what was held.
  Type* Put() noexcept {
    Reset();
    return &h_;
  }

 private:
  Type h_ = Traits::Invalid();
};

namespace traits {
struct Kernel {  // events, semaphores, threads, file mappings
  using Type = HANDLE;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::CloseHandle(h); }
};
struct File {  // CreateFileW reports failure as INVALID_HANDLE_VALUE, not null
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) { ::CloseHandle(h); }
};
struct RegKey {
  using Type = HKEY;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::RegCloseKey(h); }
};
struct Internet {
  using Type = HINTERNET;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::InternetCloseHandle(h); }
};
struct Menu {
  using Type = HMENU;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::DestroyMenu(h); }
};
struct Icon {
  using Type = HICON;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::DestroyIcon(h); }
};
struct Cursor {
  using Type = HCURSOR;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::DestroyCursor(h); }
};
template <typename T>
struct Gdi {
  using Type = T;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::DeleteObject(h); }
};
struct MemoryDC {  // from CreateCompatibleDC / CreateDC
  using Type = HDC;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::DeleteDC(h); }
};
struct ImageList {
  using Type = HIMAGELIST;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::ImageList_Destroy(h); }
};
struct Accelerators {
  using Type = HACCEL;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::DestroyAcceleratorTable(h); }
};
struct Library {
  using Type = HMODULE;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::FreeLibrary(h); }
};
struct PowerNotify {
  using Type = HPOWERNOTIFY;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::UnregisterPowerSettingNotification(h); }
};
// A window registered for the session's lock and unlock (WM_WTSSESSION_CHANGE).
struct SessionNotify {
  using Type = HWND;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::WTSUnRegisterSessionNotification(h); }
};
}  // namespace traits

using KernelHandle = UniqueHandle<traits::Kernel>;
using FileHandle = UniqueHandle<traits::File>;
using RegKey = UniqueHandle<traits::RegKey>;
using InternetHandle = UniqueHandle<traits::Internet>;
using Menu = UniqueHandle<traits::Menu>;
using Icon = UniqueHandle<traits::Icon>;
using Font = UniqueHandle<traits::Gdi<HFONT>>;
using Bitmap = UniqueHandle<traits::Gdi<HBITMAP>>;
using Brush = UniqueHandle<traits::Gdi<HBRUSH>>;
using Pen = UniqueHandle<traits::Gdi<HPEN>>;
using MemoryDC = UniqueHandle<traits::MemoryDC>;
using ImageList = UniqueHandle<traits::ImageList>;
using Accelerators = UniqueHandle<traits::Accelerators>;
using Library = UniqueHandle<traits::Library>;
using PowerNotification = UniqueHandle<traits::PowerNotify>;
using SessionNotification = UniqueHandle<traits::SessionNotify>;

// A window's device context from GetDC, released to the same window.
class WindowDC {
 public:
  explicit WindowDC(HWND hwnd) : hwnd_(hwnd), dc_(::GetDC(hwnd)) {}
  ~WindowDC() {
    if (dc_) ::ReleaseDC(hwnd_, dc_);
  }
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  HDC Get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND hwnd_;
  HDC dc_;
};

// BeginPaint / EndPaint in one place.
class PaintScope {
 public:
  explicit PaintScope(HWND hwnd) : hwnd_(hwnd) { dc_ = ::BeginPaint(hwnd, &ps_); }
  ~PaintScope() { ::EndPaint(hwnd_, &ps_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  HDC Get() const { return dc_; }
  const PAINTSTRUCT& Info() const { return ps_; }

 private:
  HWND hwnd_;
  PAINTSTRUCT ps_{};
  HDC dc_;
};

// Selects a GDI object into a DC and puts the previous one back into that same DC.
class SelectScope {
 public:
  SelectScope(HDC dc, HGDIOBJ object) : dc_(dc), previous_(object ? ::SelectObject(dc, object) : nullptr) {}
  ~SelectScope() {
    if (previous_ && previous_ != HGDI_ERROR) ::SelectObject(dc_, previous_);
  }
  SelectScope(const SelectScope&) = delete;
  SelectScope& operator=(const SelectScope&) = delete;
  HDC Dc() const { return dc_; }
  HGDIOBJ Previous() const { return previous_; }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// Minimal owning COM pointer.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      Reset();
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }
  ComPtr(const ComPtr& other) : p_(other.p_) {
    if (p_) p_->AddRef();
  }
  ComPtr& operator=(const ComPtr& other) {
    if (this != &other) {
      if (other.p_) other.p_->AddRef();
      Reset();
      p_ = other.p_;
    }
    return *this;
  }
  ~ComPtr() { Reset(); }
  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T** Put() {
    Reset();
    return &p_;
  }
  void Reset() {
    if (p_) std::exchange(p_, nullptr)->Release();
  }

 private:
  T* p_ = nullptr;
};

}  // namespace win
