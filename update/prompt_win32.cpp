// The update prompt: a modal message box of our own, since the service may add a notice strip
// (a check box or a link) beneath the buttons, which no system message box can hold.
#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "ui/win32/contrast.h"
#include "ui/win32/object_count.h"
#include "ui/win32/win32_ui.h"
#include "update/prompt.h"
#include "update/prompt_win32.h"
#include "update/update_win32.h"
#include "update/version.h"

namespace Vel::Update {
namespace {

namespace counted = ui::win32::counted;

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kSeparatorGrey = RGB(204, 204, 204);
constexpr COLORREF kLinkBlue = RGB(0, 0, 255);
constexpr int kCheckHeight = 17;  // a check box's or link's height at 96 DPI

template <class Fn>
Fn UserProc(const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

UINT DpiOf(HWND hwnd) {
  using Fn = UINT(WINAPI*)(HWND);
  static const auto forWindow = UserProc<Fn>("GetDpiForWindow");
  if (forWindow)
    if (UINT dpi = forWindow(hwnd)) return dpi;
  HDC dc = counted::GetDC(nullptr);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  counted::ReleaseDC(nullptr, dc);
  return dpi > 0 ? UINT(dpi) : 96u;
}

HFONT MessageFont(UINT dpi, bool underline) {
  using Fn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
  static const auto forDpi = UserProc<Fn>("SystemParametersInfoForDpi");
  NONCLIENTMETRICSW ncm{};
  ncm.cbSize = sizeof ncm;
  if (!(forDpi && forDpi(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0, dpi))) {
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0);
    ncm.lfMessageFont.lfHeight = MulDiv(ncm.lfMessageFont.lfHeight, int(dpi), int(DpiOf(nullptr)));
  }
  ncm.lfMessageFont.lfUnderline = underline;
  return counted::CreateFontIndirectW(&ncm.lfMessageFont);
}

SIZE TextSize(HDC dc, const std::wstring& text, UINT format, int maxWidth) {
  RECT r{0, 0, maxWidth, 0};
  DrawTextW(dc, text.c_str(), int(text.size()), &r, format | DT_CALCRECT | DT_NOPREFIX);
  return {r.right - r.left, r.bottom - r.top};
}

// Everything one showing of the prompt needs; lives on the caller's stack.
struct Prompt {
  const TUpdateInfo& info;
  std::wstring language, caption;
  int offset;
  bool ownWindow;  // stays on top and shows on the taskbar by itself
  bool stayOnTop;
  HICON appIcon = nullptr;
  bool rtlReading = false;  // the user interface's language reads right to left

  HFONT font = nullptr, linkFont = nullptr;
  HBRUSH white = counted::CreateSolidBrush(kWhite), grey = counted::CreateSolidBrush(kSeparatorGrey);
  HICON warning = nullptr;  // shared: the system's, never destroyed by us
  HWND check = nullptr, link = nullptr, separator = nullptr, tooltip = nullptr;
  bool held = false;

  ~Prompt() {
    for (HGDIOBJ o : {HGDIOBJ(font), HGDIOBJ(linkFont), HGDIOBJ(white), HGDIOBJ(grey)})
      if (o) counted::DeleteObject(o);
  }

  HWND Child(HWND dlg, const wchar_t* cls, const wchar_t* name, const std::wstring& text, DWORD style,
             const ui::Rect& r, int id, HFONT f, DWORD exStyle = 0) {
    HWND h = counted::CreateWindowExW(exStyle, cls, text.c_str(), WS_CHILD | WS_VISIBLE | style, r.Left, r.Top, r.Width,
                                      r.Height, dlg, reinterpret_cast<HMENU>(INT_PTR(id)), GetModuleHandleW(nullptr),
                                      nullptr);
    if (!h) return nullptr;
    // Named like the main window's controls, for outside tools.
    SetPropW(h, ui::win32::kNameProp, reinterpret_cast<HANDLE>(UINT_PTR(counted::GlobalAddAtomW(name))));
    SendMessageW(h, WM_SETFONT, WPARAM(f ? f : font), FALSE);
    return h;
  }

  void Init(HWND dlg) {
    const UINT dpi = DpiOf(dlg);
    const auto S = [&](int x) { return ScaleTo(x, int(dpi)); };
    font = MessageFont(dpi, false);
    SetWindowTextW(dlg, caption.c_str());

    const std::wstring message = UpdateText(0, language), yes = UpdateText(2, language), no = UpdateText(3, language);
    TPromptMetrics m;
    m.Dpi = int(dpi);
    HDC dc = counted::GetDC(dlg);
    HGDIOBJ old = SelectObject(dc, font);
    const SIZE text = TextSize(dc, message, DT_WORDBREAK | DT_EXPANDTABS, GetSystemMetrics(SM_CXSCREEN) / 2);
    m.TextWidth = text.cx;
    m.TextHeight = text.cy;
    m.CaptionWidth = std::max(TextSize(dc, yes, DT_SINGLELINE, 0).cx, TextSize(dc, no, DT_SINGLELINE, 0).cx);
    SelectObject(dc, old);
    counted::ReleaseDC(dlg, dc);
    const TPromptLayout l = PromptLayout(m);
    // Our own texts fall back to English in some languages, and English keeps its reading
    // order; the service's text is written for the user's language.
    const DWORD ownReading = rtlReading && TextsLanguage(language) == language ? WS_EX_RTLREADING : 0u;
    const DWORD stripReading = rtlReading ? WS_EX_RTLREADING : 0u;

    warning = static_cast<HICON>(counted::LoadImageW(nullptr, MAKEINTRESOURCEW(32515) /* OIC_WARNING */,
                                                     IMAGE_ICON, l.Icon.Width, l.Icon.Height, LR_SHARED));
    if (!warning) warning = LoadIconW(nullptr, IDI_WARNING);
    if (HWND icon = Child(dlg, L"STATIC", L"Image", L"", SS_ICON | SS_REALSIZECONTROL, l.Icon, -1, nullptr))
      SendMessageW(icon, STM_SETICON, WPARAM(warning), 0);
    Child(dlg, L"STATIC", L"Message", message, SS_LEFT | SS_NOPREFIX, l.Text, -1, nullptr, ownReading);
    HWND yesButton =
        Child(dlg, L"BUTTON", L"Yes", yes, WS_TABSTOP | BS_DEFPUSHBUTTON, l.Yes, IDYES, nullptr, ownReading);
    Child(dlg, L"BUTTON", L"No", no, WS_TABSTOP | BS_PUSHBUTTON, l.No, IDNO, nullptr, ownReading);
    SendMessageW(dlg, DM_SETDEFID, IDYES, 0);

    const DWORD style = DWORD(GetWindowLongW(dlg, GWL_STYLE)), exStyle = DWORD(GetWindowLongW(dlg, GWL_EXSTYLE));
    RECT outer{0, 0, l.ClientWidth, l.ClientHeight};
    using AdjustFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static const auto adjust = UserProc<AdjustFn>("AdjustWindowRectExForDpi");
    if (!(adjust && adjust(&outer, style, FALSE, exStyle, dpi))) AdjustWindowRectEx(&outer, style, FALSE, exStyle);
    const int width = outer.right - outer.left;
    int height = outer.bottom - outer.top;

    const StripKind strip = StripKindOf(info.Style);
    if (strip != StripKind::None) {
      const TStripGeometry g = StripGeometry(width, height, int(dpi), offset);
      height = g.OuterHeight;
      separator = Child(dlg, L"STATIC", L"Shape", L"", SS_LEFT, g.Separator, -1, nullptr);
      const ui::Rect item{g.ItemLeft, g.ItemTop, g.ItemWidth, S(kCheckHeight)};
      if (strip == StripKind::Hold) {
        check = Child(dlg, L"BUTTON", L"CheckBox", info.Text, WS_TABSTOP | BS_AUTOCHECKBOX, item, -1, nullptr,
                      stripReading);
      } else if (strip == StripKind::Note) {
        linkFont = MessageFont(dpi, true);
        HDC ldc = counted::GetDC(dlg);
        HGDIOBJ lold = SelectObject(ldc, linkFont);
        const SIZE size = TextSize(ldc, info.Text, DT_SINGLELINE, 0);
        SelectObject(ldc, lold);
        counted::ReleaseDC(dlg, ldc);
        link = Child(dlg, L"STATIC", L"Label", info.Text, SS_LEFT | SS_NOPREFIX | SS_NOTIFY,
                     {item.Left, item.Top, size.cx, std::max<int>(size.cy, item.Height)}, -1, linkFont, stripReading);
        AddHint(dlg, link, info.Url);
      }
    }

    // Centred on the screen the main window is on.
    HWND owner = GetWindow(dlg, GW_OWNER);
    MONITORINFO mi{sizeof mi};
    GetMonitorInfoW(MonitorFromWindow(owner ? owner : dlg, MONITOR_DEFAULTTOPRIMARY), &mi);
    const RECT& work = mi.rcWork;
    SetWindowPos(dlg, stayOnTop ? HWND_TOPMOST : nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, width, height,
                 (stayOnTop ? 0u : UINT(SWP_NOZORDER)) | SWP_NOACTIVATE);
    if (ownWindow) {
      // Started hidden in the tray: the prompt is a window of its own on the taskbar.
      if (appIcon) SendMessageW(dlg, WM_SETICON, ICON_SMALL, LPARAM(appIcon));
      SetWindowLongPtrW(dlg, GWLP_HWNDPARENT, 0);
    }
    SetFocus(yesButton);
  }

  void AddHint(HWND dlg, HWND tool, const std::wstring& hint) {
    tooltip = counted::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                       WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                                       CW_USEDEFAULT, CW_USEDEFAULT, dlg, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!tooltip) return;
    TTTOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = dlg;
    ti.uId = reinterpret_cast<UINT_PTR>(tool);
    ti.lpszText = const_cast<wchar_t*>(hint.c_str());
    SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
  }

  HBRUSH Background() const {
    return ui::win32::HighContrast() ? GetSysColorBrush(COLOR_WINDOW) : white;
  }

  void End(HWND dlg, INT_PTR result) {
    held = check && SendMessageW(check, BM_GETCHECK, 0, 0) == BST_CHECKED;
    EndDialog(dlg, result);
  }

  INT_PTR Handle(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
      case WM_INITDIALOG:
        Init(dlg);
        return FALSE;  // the focus is set
      case WM_CTLCOLORDLG:
        return reinterpret_cast<INT_PTR>(Background());
      case WM_CTLCOLORSTATIC:
      case WM_CTLCOLORBTN: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        const HWND child = reinterpret_cast<HWND>(lParam);
        const bool contrast = ui::win32::HighContrast();
        if (child == separator) return reinterpret_cast<INT_PTR>(contrast ? GetSysColorBrush(COLOR_GRAYTEXT) : grey);
        const COLORREF own = child == link ? kLinkBlue : GetSysColor(COLOR_WINDOWTEXT);
        // In high contrast a link takes the scheme's link colour, everything else its text.
        SetTextColor(dc, contrast && child == link ? GetSysColor(COLOR_HOTLIGHT)
                                                   : ui::win32::WindowTextColor(own, IsWindowEnabled(child) != FALSE));
        SetBkColor(dc, contrast ? GetSysColor(COLOR_WINDOW) : kWhite);
        return reinterpret_cast<INT_PTR>(Background());
      }
      case WM_SYSCOLORCHANGE:
      case WM_SETTINGCHANGE:
        // High contrast on or off, or other colours: painted afresh with what is now in force.
        ui::win32::RefreshHighContrast();
        RedrawWindow(dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
        return FALSE;
      case WM_SETCURSOR:
        if (link && reinterpret_cast<HWND>(wParam) == link) {
          SetCursor(LoadCursorW(nullptr, IDC_HAND));
          SetWindowLongPtrW(dlg, DWLP_MSGRESULT, TRUE);
          return TRUE;
        }
        return FALSE;
      case WM_COMMAND:
        if (link && reinterpret_cast<HWND>(lParam) == link) {
          if (HIWORD(wParam) == STN_CLICKED) ShellOpen(info.Url);
          return TRUE;
        }
        switch (LOWORD(wParam)) {
          case IDYES:
          case IDOK:  // Enter with no button focused: the default, Yes
            End(dlg, IDYES);
            return TRUE;
          case IDNO:
          case IDCANCEL:  // Esc
            End(dlg, IDNO);
            return TRUE;
          default:
            return FALSE;
        }
      case WM_CLOSE:
        End(dlg, IDNO);
        return TRUE;
      case WM_DESTROY:
        for (HWND child = GetWindow(dlg, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
          if (ATOM a = ATOM(reinterpret_cast<UINT_PTR>(RemovePropW(child, ui::win32::kNameProp))))
            counted::GlobalDeleteAtom(a);
        // Owned windows usually go before their owner's WM_DESTROY; a stale handle may be reused.
        if (tooltip && IsWindow(tooltip) && GetWindow(tooltip, GW_OWNER) == dlg) DestroyWindow(tooltip);
        tooltip = nullptr;
        return FALSE;
      default:
        return FALSE;
    }
  }

  static INT_PTR CALLBACK Proc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    try {
      if (msg == WM_INITDIALOG) {
        SetWindowLongPtrW(dlg, DWLP_USER, lParam);
        counted::AdoptWindow(dlg);
      }
      auto* self = reinterpret_cast<Prompt*>(GetWindowLongPtrW(dlg, DWLP_USER));
      return self ? self->Handle(dlg, msg, wParam, lParam) : FALSE;
    } catch (...) {
      return FALSE;
    }
  }
};

// An empty dialog template: the prompt makes its own children at its DPI.
std::vector<WORD> EmptyTemplate() {
  std::vector<WORD> t(sizeof(DLGTEMPLATE) / sizeof(WORD) + 3, 0);  // + no menu, default class, no title
  auto* d = reinterpret_cast<DLGTEMPLATE*>(t.data());
  d->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFOREGROUND;
  d->dwExtendedStyle = WS_EX_DLGMODALFRAME;
  return t;
}

class Win32Prompt final : public UpdatePrompt {
 public:
  Win32Prompt(ui::Application& app, std::wstring language, std::wstring caption)
      : app_(app), language_(std::move(language)), caption_(std::move(caption)) {}

  bool UpdateDialog(const std::wstring&, const TUpdateAnswer& Answer) override {
    Prompt prompt{Answer.Info, language_, caption_, UpdateOffset(), false, IsStayOnTop(Answer.Info.Flag)};
    prompt.ownWindow = prompt.stayOnTop && !app_.ShowMainForm;
    prompt.rtlReading = app_.RightToLeftReading;
    // The application's icon, the exe's first; the system's own where the exe has none.
    prompt.appIcon = static_cast<HICON>(counted::LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1),
                                                            IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                            GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    if (!prompt.appIcon) prompt.appIcon = LoadIconW(nullptr, IDI_APPLICATION);
    ui::Form* main = app_.MainForm();
    HWND owner = main ? reinterpret_cast<HWND>(main->Handle()) : nullptr;
    const std::vector<WORD> tmpl = EmptyTemplate();
    const INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr),
                                                   reinterpret_cast<const DLGTEMPLATE*>(tmpl.data()), owner,
                                                   &Prompt::Proc, reinterpret_cast<LPARAM>(&prompt));
    // Ticked means "remind me later", whatever the answer.
    if (prompt.held) StartHoldRequest();
    return result == IDYES;
  }

  void ShowUpdateStatus(const std::wstring& Address) override {
    Vel::Update::ShowUpdateStatus(app_.MainForm(), Address, language_,
                                  [](const std::wstring& address) { ShellOpen(address); });
  }

 private:
  ui::Application& app_;
  std::wstring language_, caption_;
};

}  // namespace

std::shared_ptr<UpdatePrompt> Win32UpdatePrompt(ui::Application& App, std::wstring Language, std::wstring Caption) {
  return std::make_shared<Win32Prompt>(App, std::move(Language), std::move(Caption));
}

}  // namespace Vel::Update
