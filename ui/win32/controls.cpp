// Realisation of the form's controls: one native window per model control, made in tab order
// down the tree, and every later change of the model mirrored onto its window.
#include "ui/win32/form_window.h"

#include <commctrl.h>

#include <algorithm>

namespace ui::win32 {

HWND Win32Application::FormWindow::CreateNative(Control& c, HWND parent, HWND& frame) {
  HINSTANCE inst = owner_.instance_;
  const DWORD child = WS_CHILD | WS_CLIPSIBLINGS | (c.Visible() ? WS_VISIBLE : 0u);
  // Made in its place, so that ApplyBounds has nothing left to move.
  const RECT at = PlaceFor(c);
  // Reading order only: no window is mirrored, so every place stays as the layout has it.
  const DWORD reading = owner_.app_.RightToLeftReading ? WS_EX_RTLREADING : 0u;
  auto make = [&](DWORD exStyle, const wchar_t* cls, DWORD style, const std::wstring& text) {
    return counted::CreateWindowExW(exStyle, cls, text.c_str(), child | style, at.left, at.top, at.right - at.left,
                                    at.bottom - at.top, parent, nullptr, inst, nullptr);
  };
  switch (c.Kind()) {
    case ControlKind::Panel:
    case ControlKind::PageControl:
    case ControlKind::Page:
    case ControlKind::ToolBar:
    case ControlKind::Image:
    case ControlKind::Indicator:
      return make(WS_EX_CONTROLPARENT, kPanelClass, WS_CLIPCHILDREN, L"");
    case ControlKind::GroupBox: {
      HWND box = make(WS_EX_CONTROLPARENT, kPanelClass, 0, L"");
      frame = counted::CreateWindowExW(reading, L"BUTTON", c.Caption().c_str(),
                                       WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | BS_GROUPBOX, 0, 0,
                                       at.right - at.left, at.bottom - at.top, box, nullptr, inst, nullptr);
      return box;
    }
    case ControlKind::ToolButton:
    case ControlKind::Button: {
      // Drawn by their family; the pointer handling is ours, so that they never take the focus.
      // The reading order is kept on the window, where their painting finds it.
      HWND b = make(reading, L"BUTTON", BS_OWNERDRAW, c.Caption());
      Subclass(b, kButtonProcProp, StyledButtonProc);
      return b;
    }
    case ControlKind::CheckBox:
      return make(reading, L"BUTTON", WS_TABSTOP | BS_CHECKBOX, c.Caption());
    case ControlKind::Label:
      return make(reading, L"STATIC",
                  SS_NOTIFY | SS_NOPREFIX | (static_cast<Label&>(c).Centred ? SS_CENTER : SS_LEFT), c.Caption());
    case ControlKind::Edit: {
      HWND e = make(0, L"EDIT", WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL, c.Caption());
      Subclass(e, kEditProcProp, EditProc);
      return e;
    }
    case ControlKind::ComboBox:
      return make(0, L"COMBOBOX", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, L"");
    case ControlKind::ProgressBar:
      return make(0, PROGRESS_CLASSW, PBS_SMOOTH | PBS_SMOOTHREVERSE, L"");
    case ControlKind::StatusBar: {
      // Placed by us, not by itself: its height is the model's.
      HWND bar = make(reading, STATUSCLASSNAMEW, CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER, c.Caption());
      Subclass(bar, kStatusBarProcProp, StatusBarProc);
      return bar;
    }
    case ControlKind::Form:
      break;
  }
  return nullptr;
}

void Win32Application::FormWindow::RealiseChildren(Control& parent, HWND parentHwnd) {
  std::vector<Control*> kids = parent.Children();
  std::stable_sort(kids.begin(), kids.end(), [](Control* a, Control* b) { return a->TabOrder() < b->TabOrder(); });
  for (Control* c : kids) RealiseControl(*c, parentHwnd);
}

HWND Win32Application::FormWindow::RealiseControl(Control& c, HWND parentHwnd) {
  if (deferPages_ && c.Kind() == ControlKind::Page && !c.Visible()) {
    deferredPages_.push_back(&c);
    c.AttachPeer(this);  // to hear when it is shown
    return nullptr;
  }
  HWND frame = nullptr;
  HWND h = CreateNative(c, parentHwnd, frame);
  if (!h) return nullptr;
  natives_.push_back({&c, h, frame});
  if (!nameLater_) NameWindow(natives_.back());
  c.AttachPeer(this);
  // The model may have changed before its window existed; bring the window up to date.
  for (Prop p : {Prop::Enabled, Prop::Checked, Prop::Items, Prop::Position, Prop::Hint}) {
    const ControlKind k = c.Kind();
    const bool applies = p == Prop::Enabled || (p == Prop::Checked && k == ControlKind::CheckBox) ||
                         (p == Prop::Items && k == ControlKind::ComboBox) ||
                         (p == Prop::Position && k == ControlKind::ProgressBar) ||
                         (p == Prop::Hint && !c.Hint().empty());
    if (applies) Changed(c, p);
  }
  RealiseChildren(c, h);
  // The frame stays beneath the box's controls, or it paints over them.
  if (frame) SetWindowPos(frame, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return h;
}

// A control made after the form was realised gets its window at once, placed and in the
// form's font like the rest.
void Win32Application::FormWindow::RealiseLate(Control& c) {
  if (&c == &form_ || Find(c) || !c.Parent() || IsDeferred(c)) return;
  HWND parentHwnd = nullptr;
  if (c.Parent() == &form_) {
    parentHwnd = hwnd_;
  } else if (Native* p = Find(*c.Parent())) {
    parentHwnd = p->hwnd;
  }
  if (!parentHwnd) return;
  const std::size_t first = natives_.size();
  // Named only once finished, so that whoever looks for them by name finds them whole.
  nameLater_ = true;
  RealiseControl(c, parentHwnd);
  nameLater_ = false;
  // The font first: a drop-down list's height follows it, and the bounds then fit it.
  for (std::size_t i = first; i < natives_.size(); ++i) {
    ApplyFont(natives_[i]);
    ApplyBounds(natives_[i]);
  }
  for (std::size_t i = first; i < natives_.size(); ++i) NameWindow(natives_[i]);
}

void Win32Application::FormWindow::NameWindow(const Native& n) {
  if (!n.model->Name().empty())
    SetPropW(n.hwnd, kNameProp, reinterpret_cast<HANDLE>(UINT_PTR(counted::GlobalAddAtomW(n.model->Name().c_str()))));
}

bool Win32Application::FormWindow::IsDeferred(const Control& c) const {
  return std::find(deferredPages_.begin(), deferredPages_.end(), &c) != deferredPages_.end();
}

void Win32Application::FormWindow::RealiseDeferredPages() {
  KillTimer(hwnd_, kDeferredPagesTimer);
  std::vector<Control*> pages;
  pages.swap(deferredPages_);
  for (Control* page : pages) {
    RealiseLate(*page);
    // Not made (no window to be had): it must not keep pointing at us.
    if (!Find(*page)) page->AttachPeer(nullptr);
  }
}

Win32Application::FormWindow::Native* Win32Application::FormWindow::Find(Control& c) {
  for (Native& n : natives_)
    if (n.model == &c) return &n;
  return nullptr;
}

Win32Application::FormWindow::Native* Win32Application::FormWindow::FindHwnd(HWND hwnd) {
  for (Native& n : natives_)
    if (n.hwnd == hwnd) return &n;
  return nullptr;
}

void Win32Application::FormWindow::Changed(Control& c, Prop what) {
  if (&c == &form_) {
    switch (what) {
      case Prop::Visible:
        ShowWindow(hwnd_, c.Visible() ? SW_SHOW : SW_HIDE);
        break;
      case Prop::Caption:
        SetWindowTextW(hwnd_, c.Caption().c_str());
        break;
      case Prop::Font:
        ApplyFonts();
        break;
      case Prop::Focus:
        SetFocus(hwnd_);
        break;
      case Prop::Border: {
        const DWORD keep = DWORD(GetWindowLongW(hwnd_, GWL_STYLE)) & (WS_VISIBLE | WS_DISABLED | WS_MINIMIZE);
        SetWindowLongW(hwnd_, GWL_STYLE, LONG(keep | FormStyle()));
        SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
        FitClientSize();
        break;
      }
      default:
        break;
    }
    return;
  }
  Native* n = Find(c);
  if (!n) {
    // A page kept back is wanted now: made, it takes the model as it is.
    if (what == Prop::Visible && c.Visible() && IsDeferred(c)) RealiseDeferredPages();
    return;
  }
  switch (what) {
    case Prop::Caption:
      SetWindowTextW(n->frame ? n->frame : n->hwnd, c.Caption().c_str());
      break;
    case Prop::Visible:
      ShowWindow(n->hwnd, c.Visible() ? SW_SHOW : SW_HIDE);
      break;
    case Prop::Enabled:
      if (IsStyledButton(c)) ResetPointer(*n);
      EnableWindow(n->hwnd, c.Enabled());
      if (IsStyledButton(c)) InvalidateRect(n->hwnd, nullptr, FALSE);
      break;
    case Prop::Bounds:
      ApplyBounds(*n);
      break;
    case Prop::Down:
      InvalidateRect(n->hwnd, nullptr, FALSE);
      break;
    case Prop::Style:
      // A toolbar's look is its buttons' look.
      InvalidateRect(n->hwnd, nullptr, FALSE);
      for (Control* child : c.Children())
        if (Native* b = Find(*child)) InvalidateRect(b->hwnd, nullptr, FALSE);
      break;
    case Prop::Checked:
      SendMessageW(n->hwnd, BM_SETCHECK, static_cast<CheckBox&>(c).Checked() ? BST_CHECKED : BST_UNCHECKED, 0);
      break;
    case Prop::Items: {
      auto& combo = static_cast<ComboBox&>(c);
      SendMessageW(n->hwnd, CB_RESETCONTENT, 0, 0);
      for (const auto& item : combo.Items()) SendMessageW(n->hwnd, CB_ADDSTRING, 0, LPARAM(item.c_str()));
      SendMessageW(n->hwnd, CB_SETCURSEL, WPARAM(combo.ItemIndex()), 0);
      break;
    }
    case Prop::ItemIndex:
      SendMessageW(n->hwnd, CB_SETCURSEL, WPARAM(static_cast<ComboBox&>(c).ItemIndex()), 0);
      break;
    case Prop::Position:
      SendMessageW(n->hwnd, PBM_SETPOS, WPARAM(static_cast<ProgressBar&>(c).Position()), 0);
      break;
    case Prop::Font:
      SendMessageW(n->hwnd, WM_SETFONT, WPARAM(FontFor(c)), TRUE);
      break;
    case Prop::Color:
      InvalidateRect(n->hwnd, nullptr, TRUE);
      break;
    case Prop::Hint:
      SetHint(*n, c.Hint());
      break;
    case Prop::ActivePage:
    case Prop::Focus:
    case Prop::Border:
      break;
  }
}

}  // namespace ui::win32
