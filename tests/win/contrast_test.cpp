// High contrast, forced on (Wine cannot switch it on) with the system colours set to a
// high-contrast-black scheme: the real main window and the update prompt paint with the scheme's
// colour pairs, and follow a change at once. Their pictures are read back from the screen (Wine's
// PrintWindow draws no child windows) and saved beside the end-to-end screenshots.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/main.h"
#include "named_child.h"
#include "pump.h"
#include "platform/threads.h"
#include "real_services.h"
#include "theme/theme.h"
#include "ui/win32/contrast.h"
#include "ui/win32/win32_ui.h"
#include "update/prompt_win32.h"

namespace {

// The colours of Windows' "High Contrast Black".
const int kIndexes[] = {COLOR_WINDOW,        COLOR_WINDOWTEXT, COLOR_BTNFACE, COLOR_BTNTEXT, COLOR_HIGHLIGHT,
                        COLOR_HIGHLIGHTTEXT, COLOR_GRAYTEXT,   COLOR_HOTLIGHT, COLOR_3DFACE};
const COLORREF kBlackScheme[] = {RGB(0, 0, 0),       RGB(255, 255, 255), RGB(0, 0, 0),
                                 RGB(255, 255, 255), RGB(26, 235, 255),  RGB(0, 0, 0),
                                 RGB(63, 242, 63),   RGB(255, 255, 0),   RGB(0, 0, 0)};
constexpr COLORREF kWindow = RGB(0, 0, 0), kText = RGB(255, 255, 255), kHighlight = RGB(26, 235, 255);

// A picture of a window's client area as the screen shows it, 32 bits a pixel.
struct Picture {
  int width = 0, height = 0;
  std::vector<DWORD> bits;  // 0x00RRGGBB, top row first
  COLORREF At(int x, int y) const {
    const DWORD p = bits[std::size_t(y) * std::size_t(width) + std::size_t(x)];  // alpha ignored
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }
  // Pixels of `color` inside the client rectangle `r`.
  int Count(const RECT& r, COLORREF color) const {
    int n = 0;
    for (int y = std::max(0L, r.top); y < std::min(LONG(height), r.bottom); ++y)
      for (int x = std::max(0L, r.left); x < std::min(LONG(width), r.right); ++x) n += At(x, y) == color;
    return n;
  }
};

Picture Render(HWND hwnd, const std::string& saveAs) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  Picture p;
  p.width = rc.right;
  p.height = rc.bottom;
  p.bits.resize(std::size_t(p.width) * std::size_t(p.height));
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof bi.bmiHeader, p.width, -p.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  void* raw = nullptr;
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &raw, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  POINT origin{0, 0};
  ClientToScreen(hwnd, &origin);
  BitBlt(mem, 0, 0, p.width, p.height, screen, origin.x, origin.y, SRCCOPY);
  GdiFlush();
  // Opaque, so that any viewer shows the picture as it was on the screen.
  for (std::size_t i = 0; i < p.bits.size(); ++i) static_cast<DWORD*>(raw)[i] |= 0xFF000000u;
  std::copy_n(static_cast<const DWORD*>(raw), p.bits.size(), p.bits.begin());
  // Saved as a BMP beside the end-to-end screenshots, to be looked at.
  char folder[MAX_PATH];
  const DWORD n = GetEnvironmentVariableA("QUORVANE_TEST_ARTEFACTS", folder, MAX_PATH);
  if (n > 0 && n < MAX_PATH) {
    const std::string path = std::string(folder) + "\\" + saveAs;
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
      const DWORD size = DWORD(p.bits.size() * 4);
      BITMAPFILEHEADER fh{0x4D42, DWORD(sizeof fh + sizeof bi.bmiHeader) + size, 0, 0,
                          DWORD(sizeof fh + sizeof bi.bmiHeader)};
      std::fwrite(&fh, sizeof fh, 1, f);
      std::fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f);
      std::fwrite(raw, size, 1, f);
      std::fclose(f);
    }
  }
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return p;
}

// A control's rectangle in the form's client coordinates.
RECT PlaceOf(HWND form, HWND child) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

BOOL CALLBACK FindDialog(HWND h, LPARAM found) {
  wchar_t cls[16] = {};
  GetClassNameW(h, cls, 16);
  if (lstrcmpW(cls, L"#32770") == 0 && IsWindowVisible(h)) *reinterpret_cast<HWND*>(found) = h;
  return TRUE;
}

class HighContrastBlack : public ::testing::Test {
 protected:
  void SetUp() override {
    for (std::size_t i = 0; i < std::size(kIndexes); ++i) saved_[i] = GetSysColor(kIndexes[i]);
    ASSERT_TRUE(SetSysColors(int(std::size(kIndexes)), kIndexes, kBlackScheme));
    ui::win32::ForceHighContrast(true);
  }
  void TearDown() override {
    ui::win32::ForceHighContrast(std::nullopt);
    SetSysColors(int(std::size(kIndexes)), kIndexes, saved_);
  }
  COLORREF saved_[std::size(kIndexes)]{};
};

TEST_F(HighContrastBlack, TheMainWindowPaintsWithTheSchemesPairsAndFollowsAChange) {
  Vel::Theme::RegisterButtonStyles();
  real::MainWindow<> window;
  HWND hwnd = window.Create();
  ASSERT_TRUE(hwnd);
  window.form.SetVisible(true);
  SetForegroundWindow(hwnd);
  ASSERT_TRUE(pump::Until([&] { return named::Child(hwnd, L"EditInfo") != nullptr; }));
  const Picture on = Render(hwnd, "high-contrast-main.bmp");

  // The window's background, the labels' text and the accent line: the scheme's own.
  EXPECT_EQ(on.At(on.width - 3, on.height - 3), kWindow);
  HWND label = named::Child(hwnd, L"LblPhys");
  ASSERT_TRUE(label);
  const RECT labelRect = PlaceOf(hwnd, label);
  const int labelArea = (labelRect.right - labelRect.left) * (labelRect.bottom - labelRect.top);
  EXPECT_GT(on.Count(labelRect, kWindow), labelArea / 2) << "the label is not on the scheme's background";
  EXPECT_GT(on.Count(labelRect, kText), 10) << "the label's text is not in the scheme's text colour";
  const COLORREF line = on.At(on.width / 2, 0);
  EXPECT_TRUE(line == kHighlight || line == RGB(63, 242, 63)) << std::hex << line;
  // The clean button: the scheme's face with its text, no colour of the family's.
  HWND clean = named::Child(hwnd, L"BtnClean");
  ASSERT_TRUE(clean);
  const RECT button = PlaceOf(hwnd, clean);
  const int area = (button.right - button.left) * (button.bottom - button.top);
  EXPECT_GT(on.Count(button, kWindow) + on.Count(button, kText), area * 8 / 10);
  EXPECT_GT(on.Count(button, kText), 10);

  // Turned off, the colours back as they were, announced as Windows does: painted with our own
  // white at once.
  SetSysColors(int(std::size(kIndexes)), kIndexes, saved_);
  ui::win32::ForceHighContrast(false);
  SendMessageW(hwnd, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
  pump::For(300);  // only so the saved picture is whole
  const Picture off = Render(hwnd, "high-contrast-off-main.bmp");
  EXPECT_EQ(off.At(off.width - 3, off.height - 3), RGB(255, 255, 255));
}

TEST_F(HighContrastBlack, ThePromptPaintsWithTheSchemesPairs) {
  ui::win32::Win32Application application(GetModuleHandleW(nullptr));
  auto prompt = Vel::Update::Win32UpdatePrompt(application.App(), L"en", L"Quorvane");
  Vel::Update::TUpdateAnswer answer;
  answer.Update = L"https://a.test/Quorvane.exe";
  answer.Info.Style = L"hold";
  answer.Info.Text = L"Remind me later";
  Picture seen;
  RECT message{};
  const DWORD uiThread = GetCurrentThreadId();
  platform::Thread watcher;
  ASSERT_TRUE(watcher.Start([&] {
    HWND dlg = nullptr;
    for (int i = 0; i < 400 && !dlg; ++i, Sleep(25)) {
      EnumThreadWindows(uiThread, FindDialog, reinterpret_cast<LPARAM>(&dlg));
    }
    if (!dlg) return;
    Sleep(200);  // let it paint once
    seen = Render(dlg, "high-contrast-prompt.bmp");
    if (HWND text = named::Child(dlg, L"Message")) message = PlaceOf(dlg, text);
    PostMessageW(dlg, WM_COMMAND, IDNO, 0);
  }));
  EXPECT_FALSE(prompt->UpdateDialog(L"", answer));
  watcher.Join();
  ASSERT_GT(seen.width, 0) << "no prompt was shown";
  EXPECT_EQ(seen.At(2, 2), kWindow);
  EXPECT_GT(seen.Count(message, kText), 10) << "the message is not in the scheme's text colour";
  EXPECT_EQ(seen.Count({0, 0, seen.width, seen.height}, RGB(204, 204, 204)), 0) << "our own grey is left";
}

}  // namespace
