#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "app/MainFrame.h"
#include "app/TrayIcon.h"
#include "res/resource.h"
#include "support/win/WinTest.h"
#include "win/Module.h"

namespace {

class TrayIconTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(frame.Create()); }
  void Click(UINT mouse) { ::SendMessageW(frame.Tray()->Hwnd(), WM_USER, 0, mouse); }

  test::ScopedConfig config{test::ScopedConfig::Backend::Ini};
  CMainFrame frame;
};

}  // namespace

TEST_F(TrayIconTest, IsSetUpWithIconTipAndCallback) {
  const NOTIFYICONDATAW& nid = frame.Tray()->Data();
  EXPECT_EQ(nid.cbSize, DWORD(NOTIFYICONDATAW_V2_SIZE));
  EXPECT_EQ(nid.uFlags, UINT(NIF_MESSAGE | NIF_ICON | NIF_TIP));
  EXPECT_EQ(nid.uCallbackMessage, UINT(WM_USER));
  EXPECT_EQ(nid.uID, 0u);
  EXPECT_NE(nid.hIcon, nullptr);
  EXPECT_STREQ(nid.szTip, L"pellora");
  EXPECT_FALSE(::IsWindowVisible(frame.Tray()->Hwnd()));
  EXPECT_EQ(::GetParent(frame.Tray()->Hwnd()), frame.Hwnd());
}

TEST_F(TrayIconTest, RightClickMenuHasItsFiveEntries) {
  test::MenuProbe probe;
  Click(WM_RBUTTONUP);
  ASSERT_EQ(probe.Menus().size(), 1u);
  const auto& items = probe.Menus()[0];
  ASSERT_EQ(items.size(), 5u);
  EXPECT_EQ(items[0].text, L"Pellora About");
  EXPECT_EQ(items[0].id, UINT(ID_APP_ABOUT));
  EXPECT_TRUE(items[1].separator);
  EXPECT_EQ(items[2].text, L"Show Ticker");
  EXPECT_EQ(items[2].id, UINT(IDM_RSS_TICKER));
  EXPECT_TRUE(items[3].separator);
  EXPECT_EQ(items[4].text, L"Exit(&X)");
  EXPECT_EQ(items[4].id, UINT(IDM_EXIT));
  // Other mouse messages do nothing.
  Click(WM_MOUSEMOVE);
  Click(WM_RBUTTONDOWN);
  EXPECT_EQ(probe.Menus().size(), 1u);
}

TEST_F(TrayIconTest, LeftClickShowsRestoresAndActivatesTheMainWindow) {
  HWND w = frame.Hwnd();
  ASSERT_FALSE(::IsWindowVisible(w));
  Click(WM_LBUTTONUP);
  EXPECT_TRUE(::IsWindowVisible(w));
  EXPECT_FALSE(::IsIconic(w));
  EXPECT_EQ(::GetForegroundWindow(), w);

  ::ShowWindow(w, SW_MINIMIZE);
  ASSERT_TRUE(::IsIconic(w));
  Click(WM_LBUTTONUP);
  EXPECT_FALSE(::IsIconic(w));
  EXPECT_TRUE(::IsWindowVisible(w));

  RECT before = win::WindowRect(w);
  HWND other = ::CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                 nullptr, nullptr);
  ::SetForegroundWindow(other);
  Click(WM_LBUTTONUP);
  EXPECT_EQ(::GetForegroundWindow(), w);
  RECT after = win::WindowRect(w);
  EXPECT_TRUE(::EqualRect(&before, &after));
  ::DestroyWindow(other);
}

namespace {
// The colour pixels of an icon, to tell which resource it was loaded from.
std::vector<uint32_t> IconPixels(HICON icon) {
  ICONINFO info{};
  if (!icon || !::GetIconInfo(icon, &info)) return {};
  win::Bitmap color(info.hbmColor), mask(info.hbmMask);
  BITMAPINFO header{};
  header.bmiHeader.biSize = sizeof(header.bmiHeader);
  HDC screen = ::GetDC(nullptr);
  ::GetDIBits(screen, color.Get(), 0, 0, nullptr, &header, DIB_RGB_COLORS);
  header.bmiHeader.biBitCount = 32;
  header.bmiHeader.biCompression = BI_RGB;
  std::vector<uint32_t> pixels(size_t(header.bmiHeader.biWidth) * std::abs(header.bmiHeader.biHeight));
  ::GetDIBits(screen, color.Get(), 0, std::abs(header.bmiHeader.biHeight), pixels.data(), &header, DIB_RGB_COLORS);
  ::ReleaseDC(nullptr, screen);
  return pixels;
}
std::vector<uint32_t> IconPixels(UINT resourceId) {
  win::Icon icon(win::LoadSmallIcon(resourceId));
  return IconPixels(icon.Get());
}
}  // namespace

TEST_F(TrayIconTest, AnimationAlternatesIconsUntilSetIconStopsIt) {
  TrayIcon* tray = frame.Tray();
  HICON still = tray->Data().hIcon;
  tray->Animate(IDI_TRAY, IDI_TRAY_ANIM, 30);
  EXPECT_TRUE(tray->Animating());
  EXPECT_EQ(tray->Data().hIcon, still);  // unchanged until the first tick
  std::vector<HICON> seen;
  std::vector<std::vector<uint32_t>> pixels;  // taken at once: a replaced icon is destroyed
  ASSERT_TRUE(test::PumpUntil([&] {
    if (seen.empty() || seen.back() != tray->Data().hIcon) {
      seen.push_back(tray->Data().hIcon);
      pixels.push_back(IconPixels(seen.back()));
    }
    return seen.size() >= 5;
  }));
  // After the still icon: the first frame at the first tick, then the second, and so on.
  const std::vector<uint32_t> still133 = IconPixels(IDI_TRAY), anim134 = IconPixels(IDI_TRAY_ANIM);
  ASSERT_NE(still133, anim134);
  for (size_t i = 1; i < 5; ++i) EXPECT_EQ(pixels[i], i % 2 ? still133 : anim134) << i;
  tray->SetIcon(IDI_TRAY);
  EXPECT_FALSE(tray->Animating());
  HICON now = tray->Data().hIcon;
  test::PumpFor(150);
  EXPECT_EQ(tray->Data().hIcon, now);
}

TEST_F(TrayIconTest, TipsAreCutTo127Characters) {
  std::wstring tip;
  for (int i = 0; i < 200; ++i) tip += static_cast<wchar_t>(L'a' + i % 26);
  frame.Tray()->SetTip(tip.c_str());
  EXPECT_EQ(std::wstring(frame.Tray()->Data().szTip), tip.substr(0, 127));
  frame.Tray()->SetTip(L"short");
  EXPECT_STREQ(frame.Tray()->Data().szTip, L"short");
}

TEST(TrayIconBase, DefaultMenuIsOneDisabledExitEntry) {
  class Bare : public TrayIcon {};
  HWND parent = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  Bare tray;
  ASSERT_TRUE(tray.Create(parent));
  test::MenuProbe probe;
  ::SendMessageW(tray.Hwnd(), WM_USER, 0, WM_RBUTTONUP);
  ASSERT_EQ(probe.Menus().size(), 1u);
  ASSERT_EQ(probe.Menus()[0].size(), 1u);
  EXPECT_EQ(probe.Menus()[0][0].text, L"Exit(&X)");
  EXPECT_TRUE(probe.Menus()[0][0].grayed);
  EXPECT_EQ(probe.Menus()[0][0].id, 0u);
  tray.Destroy();
  ::DestroyWindow(parent);
}
