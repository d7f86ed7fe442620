#include "app/win32/Win32Controls.h"

#include <commctrl.h>
#include <uxtheme.h>
#include <windowsx.h>

#include <algorithm>
#include <utility>

#include "app/win32/Dpi.h"
#include "app/win32/GdiCanvas.h"
#include "app/win32/JpegPicture.h"
#include "app/win32/Utf16.h"
#include "controls/ColorBtnPainting.h"

namespace win32 {

// ---------------------------------------------------------------- ControlWindow

ControlWindow::ControlWindow(HWND window, ui::ControlLayout layout, HandlerRunner run)
    : window_(window),
      layout_(std::move(layout)),
      run_(std::move(run)),
      enabled_(layout_.enabled),
      visible_(layout_.visible),
      text_(layout_.caption) {
  if (window_ != nullptr) Subclass();
}

HWND ControlWindow::Handle() {
  if (window_ == nullptr && make_) {
    // Taken out first: making a radio button's group box makes the button too.
    const std::function<void()> make = std::exchange(make_, nullptr);
    make();
  }
  return window_;
}

void ControlWindow::Attach(HWND window) {
  window_ = window;
  make_ = nullptr;
  Subclass();
  OnAttach();
}

ui::ControlLayout ControlWindow::CurrentLayout() const {
  ui::ControlLayout now = layout_;
  now.caption = text_;
  now.enabled = enabled_;
  now.visible = visible_;
  return now;
}

void ControlWindow::Subclass() {
  SetWindowSubclass(window_, &ControlWindow::SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

LRESULT CALLBACK ControlWindow::SubclassProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam, UINT_PTR /*id*/, DWORD_PTR self) {
  if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(window, &ControlWindow::SubclassProc, 1);
    return DefSubclassProc(window, message, wParam, lParam);
  }
  return reinterpret_cast<ControlWindow*>(self)->SubclassMessage(message, wParam, lParam);
}

LRESULT ControlWindow::SubclassMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_MOUSEMOVE:
      if (mouseMove_ != nullptr && *mouseMove_ && PointerMoved(lParam)) Run(*mouseMove_);
      break;
    case WM_SETCURSOR:
      if (layout_.handCursor && LOWORD(lParam) == HTCLIENT) {
        SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
        return TRUE;
      }
      break;
    case WM_SETFOCUS:
      if (noFocus_) {
        // A click reaches it, the focus does not: it goes back where it was.
        const auto previous = reinterpret_cast<HWND>(wParam);
        SetFocus(previous != nullptr && IsWindow(previous) ? previous
                                                           : GetAncestor(window_, GA_ROOT));
        return 0;
      }
      break;
    default:
      break;
  }
  return Default(message, wParam, lParam);
}

namespace {

POINT lastPointer{-1, -1};

}  // namespace

void ControlWindow::Rescale(int /*dpi*/, HFONT font) {
  // One made later takes the form's font of the moment.
  if (window_ == nullptr) return;
  SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void ControlWindow::NotePointer() {
  GetCursorPos(&lastPointer);
}

bool ControlWindow::PointerMoved(LPARAM position) const {
  POINT now{GET_X_LPARAM(position), GET_Y_LPARAM(position)};
  ClientToScreen(window_, &now);
  const bool moved = now.x != lastPointer.x || now.y != lastPointer.y;
  lastPointer = now;
  return moved;
}

LRESULT ControlWindow::Default(UINT message, WPARAM wParam, LPARAM lParam) {
  return DefSubclassProc(window_, message, wParam, lParam);
}

void ControlWindow::Run(const std::function<void()>& handler) const {
  if (handler) run_(handler);
}

std::string ControlWindow::WindowText() const {
  if (window_ == nullptr) return text_;
  const int length = GetWindowTextLengthW(window_);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(window_, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(std::max(copied, 0)));
  return Utf8FromUtf16(text);
}

void ControlWindow::SetWindowText(std::string_view text) {
  if (window_ == nullptr) {
    text_ = text;
    return;
  }
  SetWindowTextW(window_, Utf16FromUtf8(text).c_str());
}

// ---------------------------------------------------------------- Label

Win32Label::Win32Label(HWND window, ui::ControlLayout layout, HandlerRunner run, HFONT font)
    : Win32Control(window, std::move(layout), std::move(run)),
      font_(font),
      color_(layout_.textColor.value_or(clWindowText)),
      labelText_(layout_.caption) {
  if (window_ != nullptr && layout_.sizeToContent) SizeToText();
}

void Win32Label::OnAttach() {
  if (layout_.sizeToContent) SizeToText();
}

void Win32Label::SetText(std::string_view text) {
  if (text == labelText_) return;
  labelText_ = text;
  SetWindowText(text);
  if (window_ != nullptr && layout_.sizeToContent) SizeToText();
}

void Win32Label::SetFontColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  // A null window would invalidate every window of the desktop.
  if (window_ != nullptr) InvalidateRect(window_, nullptr, TRUE);
}

void Win32Label::Rescale(int dpi, HFONT font) {
  ControlWindow::Rescale(dpi, font);
  font_ = font;
  if (window_ != nullptr && layout_.sizeToContent) SizeToText();
}

void Win32Label::SizeToText() {
  const std::wstring text = Utf16FromUtf8(labelText_);
  HDC dc = GetDC(window_);
  RECT measured{0, 0, 0, 0};
  {
    SelectedObject useFont(dc, font_);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &measured,
              DT_CALCRECT | DT_NOPREFIX);
    if (text.empty()) {
      TEXTMETRICW metrics{};
      GetTextMetricsW(dc, &metrics);
      measured.bottom = metrics.tmHeight;
    }
  }
  ReleaseDC(window_, dc);
  SetWindowPos(window_, nullptr, 0, 0, measured.right, measured.bottom,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---------------------------------------------------------------- Button

Win32Button::Win32Button(HWND window, ui::ControlLayout layout, HandlerRunner run)
    : Win32Control(window, std::move(layout), std::move(run)) {
  mouseMove_ = &OnMouseMove;
}

void Win32Button::OnCommand(WORD code) {
  if (code == BN_CLICKED) Run(OnClick);
}

// ---------------------------------------------------------------- ColorButton

Win32ColorButton::Win32ColorButton(HWND window, ui::ControlLayout layout, HandlerRunner run,
                                   HFONT font, int dpi)
    : Win32Control(window, std::move(layout), std::move(run)), font_(font), dpi_(dpi) {
  mouseMove_ = &OnMouseMove;
}

void Win32ColorButton::SetButtonColor(TColor color) {
  if (color == buttonColor_) return;
  buttonColor_ = color;
  if (window_ != nullptr) InvalidateRect(window_, nullptr, FALSE);
}

void Win32ColorButton::OnCommand(WORD code) {
  if (code == BN_CLICKED) Run(OnClick);
}

void Win32ColorButton::OnDrawItem(const DRAWITEMSTRUCT& item) {
  RECT client{};
  GetClientRect(window_, &client);
  GdiCanvas canvas(item.hDC, font_, TextColor().value_or(clBtnText), dpi_);
  const colorbtn::ButtonLook look{buttonColor_, layout_.frame3D, active_, Enabled(), WindowText()};
  const colorbtn::ItemState state{(item.itemState & ODS_SELECTED) != 0,
                                  (item.itemState & ODS_DISABLED) != 0,
                                  (item.itemState & ODS_FOCUS) != 0};
  colorbtn::PaintColorButton(canvas, {0, 0, client.right, client.bottom}, look, state);
}

void Win32ColorButton::Rescale(int dpi, HFONT font) {
  font_ = font;
  dpi_ = dpi;
  if (window_ != nullptr) InvalidateRect(window_, nullptr, FALSE);
}

LRESULT Win32ColorButton::SubclassMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDBLCLK:
      // The second click of a double click presses the button like the first
      // (an owner-drawn button would only report a double click).
      return Default(WM_LBUTTONDOWN, wParam, lParam);
    case WM_SETFOCUS:
      active_ = !noFocus_;
      break;
    case WM_KILLFOCUS:
      active_ = false;
      break;
    default:
      break;
  }
  return ControlWindow::SubclassMessage(message, wParam, lParam);
}

// ---------------------------------------------------------------- CheckButton

Win32CheckButton::Win32CheckButton(HWND window, ui::ControlLayout layout, HandlerRunner run,
                                   std::vector<Win32CheckButton*>* group)
    : Win32Control(window, std::move(layout), std::move(run)), group_(group) {
  mouseMove_ = &OnMouseMove;
  if (group_ != nullptr) group_->push_back(this);
  lastChecked_ = IsCheckedNow();
}

void Win32CheckButton::OnAttach() {
  if (!checked_) return;
  // Checking a radio button gives it the tab stop; it keeps the style it
  // was made with (none outside the client area).
  const LONG made = GetWindowLongW(window_, GWL_STYLE);
  SendMessageW(window_, BM_SETCHECK, BST_CHECKED, 0);
  if ((made & WS_TABSTOP) == 0) {
    const LONG now = GetWindowLongW(window_, GWL_STYLE);
    if ((now & WS_TABSTOP) != 0) SetWindowLongW(window_, GWL_STYLE, now & ~WS_TABSTOP);
  }
}

bool Win32CheckButton::IsCheckedNow() const {
  if (window_ == nullptr) return checked_;
  return SendMessageW(window_, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32CheckButton::Check(bool checked) {
  if (window_ == nullptr) {
    checked_ = checked;
  } else {
    SendMessageW(window_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  }
}

bool Win32CheckButton::Checked() const {
  return IsCheckedNow();
}

void Win32CheckButton::SetChecked(bool checked) {
  Check(checked);
  if (checked && group_ != nullptr) {
    // BM_SETCHECK leaves the others of the group as they are.
    for (Win32CheckButton* other : *group_) {
      if (other != this) other->Check(false);
    }
  }
  NoticeChanges();
}

void Win32CheckButton::NoticeChanges() {
  std::vector<Win32CheckButton*> alone{this};
  std::vector<Win32CheckButton*>& buttons = group_ != nullptr ? *group_ : alone;
  std::vector<Win32CheckButton*> becameChecked;
  for (Win32CheckButton* button : buttons) {
    const bool now = button->IsCheckedNow();
    if (now && !button->lastChecked_) becameChecked.push_back(button);
    button->lastChecked_ = now;
  }
  for (Win32CheckButton* button : becameChecked) button->Run(button->OnChecked);
}

void Win32CheckButton::OnCommand(WORD code) {
  if (code != BN_CLICKED) return;
  NoticeChanges();
  Run(OnClick);
}

// ---------------------------------------------------------------- ListBox

Win32ListBox::Win32ListBox(HWND window, ui::ControlLayout layout, HandlerRunner run, int dpi)
    : Win32Control(window, std::move(layout), std::move(run)), dpi_(dpi) {
  if (window_ != nullptr) SetRowHeight(dpi);
}

void Win32ListBox::OnAttach() {
  SetRowHeight(dpi_);
  for (const std::string& item : items_) {
    SendMessageW(window_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Utf16FromUtf8(item).c_str()));
  }
  items_.clear();
  if (selected_ >= 0) SendMessageW(window_, LB_SETCURSEL, static_cast<WPARAM>(selected_), 0);
}

void Win32ListBox::SetRowHeight(int dpi) {
  // After the font: WM_SETFONT sets the toolkit's own height again.
  if (layout_.itemHeight > 0) {
    SendMessageW(window_, LB_SETITEMHEIGHT, 0, ScaleToDpi(layout_.itemHeight, dpi));
  }
}

void Win32ListBox::Rescale(int dpi, HFONT font) {
  dpi_ = dpi;
  if (window_ == nullptr) return;
  ControlWindow::Rescale(dpi, font);
  SetRowHeight(dpi);
}

namespace {

constexpr UINT kRedrawList = WM_APP + 0x41;

}  // namespace

void Win32ListBox::HoldRedraw() {
  if (redrawHeld_ || !IsWindowVisible(window_)) return;
  redrawHeld_ = true;
  SendMessageW(window_, WM_SETREDRAW, FALSE, 0);
  PostMessageW(window_, kRedrawList, 0, 0);
}

LRESULT Win32ListBox::SubclassMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kRedrawList) {
    if (redrawHeld_) {
      redrawHeld_ = false;
      if (heldIndex_) {
        SendMessageW(window_, LB_SETCURSEL, static_cast<WPARAM>(*heldIndex_), 0);
        heldIndex_.reset();
      }
      SendMessageW(window_, WM_SETREDRAW, TRUE, 0);
      // Painted now, not at a WM_PAINT that waits until no posted message is
      // left: Wine's labels paint at once when their text is set, and the
      // list showed old lines beside their new text.
      RedrawWindow(window_, nullptr, nullptr,
                   RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
    }
    return 0;
  }
  return ControlWindow::SubclassMessage(message, wParam, lParam);
}

void Win32ListBox::Add(std::string_view text) {
  if (window_ == nullptr) {
    items_.emplace_back(text);
    ++count_;
    return;
  }
  HoldRedraw();
  const LRESULT added =
      SendMessageW(window_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Utf16FromUtf8(text).c_str()));
  if (added >= 0) ++count_;
}

void Win32ListBox::Clear() {
  items_.clear();
  selected_ = -1;
  heldIndex_.reset();
  if (window_ == nullptr) {
    count_ = 0;
    return;
  }
  SendMessageW(window_, LB_RESETCONTENT, 0, 0);
  count_ = 0;
}

std::string Win32ListBox::Item(int index) const {
  if (window_ == nullptr) {
    return index >= 0 && index < Count() ? items_[static_cast<std::size_t>(index)] : std::string();
  }
  const LRESULT length = SendMessageW(window_, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length == LB_ERR) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const LRESULT copied = SendMessageW(window_, LB_GETTEXT, static_cast<WPARAM>(index),
                                      reinterpret_cast<LPARAM>(text.data()));
  text.resize(copied == LB_ERR ? 0 : static_cast<std::size_t>(copied));
  return Utf8FromUtf16(text);
}

void Win32ListBox::SetItemIndex(int index) {
  if (window_ == nullptr) {
    selected_ = index >= 0 && index < Count() ? index : -1;
    return;
  }
  HoldRedraw();
  if (redrawHeld_) {
    // As LB_SETCURSEL: an index outside the list selects nothing.
    heldIndex_ = index >= 0 && index < Count() ? index : -1;
    return;
  }
  SendMessageW(window_, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int Win32ListBox::ItemIndex() const {
  if (window_ == nullptr) return selected_;
  if (heldIndex_) return *heldIndex_;
  const LRESULT index = SendMessageW(window_, LB_GETCURSEL, 0, 0);
  return index == LB_ERR ? -1 : static_cast<int>(index);
}

void Win32ListBox::OnCommand(WORD code) {
  if (code == LBN_SELCHANGE) Run(OnClick);
}

// ---------------------------------------------------------------- Memo

Win32Memo::Win32Memo(HWND window, ui::ControlLayout layout, HandlerRunner run)
    : Win32Control(window, std::move(layout), std::move(run)) {
  // The staged image is far longer than the default limit of the control.
  if (window_ != nullptr) SendMessageW(window_, EM_SETLIMITTEXT, 0, 0);
}

void Win32Memo::OnAttach() {
  SendMessageW(window_, EM_SETLIMITTEXT, 0, 0);
  if (!lines_.empty()) ShowLines();
}

namespace {

constexpr UINT kShowMemoLines = WM_APP + 0x40;

}  // namespace

void Win32Memo::AppendLine(std::string_view line) {
  lines_.emplace_back(line);
  if (showPending_ || window_ == nullptr) return;
  showPending_ = true;
  PostMessageW(window_, kShowMemoLines, 0, 0);
}

std::string Win32Memo::Line(int index) const {
  if (index < 0 || index >= LineCount()) return {};
  return lines_[static_cast<std::size_t>(index)];
}

void Win32Memo::Clear() {
  lines_.clear();
  ShowLines();
}

void Win32Memo::ShowLines() {
  showPending_ = false;
  std::string text;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (i > 0) text += "\r\n";
    text += lines_[i];
  }
  SetWindowText(text);
}

LRESULT Win32Memo::SubclassMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kShowMemoLines) {
    if (showPending_) ShowLines();
    return 0;
  }
  return ControlWindow::SubclassMessage(message, wParam, lParam);
}

// ---------------------------------------------------------------- ProgressBar

Win32ProgressBar::Win32ProgressBar(HWND window, ui::ControlLayout layout, HandlerRunner run)
    : Win32Control(window, std::move(layout), std::move(run)) {
  if (window_ != nullptr) Prepare();
}

void Win32ProgressBar::Prepare() {
  // A themed bar ignores its bar colour; without a theme class (no class
  // is named " ") it is drawn the classic way, in the bar colour.
  SetWindowTheme(window_, L" ", L" ");
  SendMessageW(window_, PBM_SETRANGE32, 0, maximum_);
}

void Win32ProgressBar::OnAttach() {
  Prepare();
  if (position_ != 0) SendMessageW(window_, PBM_SETPOS, static_cast<WPARAM>(position_), 0);
  if (barColorSet_) {
    SendMessageW(window_, PBM_SETBARCOLOR, 0, static_cast<LPARAM>(ColorRef(barColor_)));
  }
}

void Win32ProgressBar::SetMaximum(int maximum) {
  if (window_ == nullptr) {
    // As the control does: the position stays within the new range.
    maximum_ = maximum;
    position_ = std::min(std::max(position_, 0), maximum_);
    return;
  }
  SendMessageW(window_, PBM_SETRANGE32, 0, maximum);
}

int Win32ProgressBar::Maximum() const {
  if (window_ == nullptr) return maximum_;
  return static_cast<int>(SendMessageW(window_, PBM_GETRANGE, FALSE, 0));
}

void Win32ProgressBar::SetPosition(int position) {
  if (window_ == nullptr) {
    position_ = std::min(std::max(position, 0), maximum_);
    return;
  }
  const int low = static_cast<int>(SendMessageW(window_, PBM_GETRANGE, TRUE, 0));
  SendMessageW(window_, PBM_SETPOS, static_cast<WPARAM>(std::clamp(position, low, Maximum())), 0);
}

int Win32ProgressBar::Position() const {
  if (window_ == nullptr) return position_;
  return static_cast<int>(SendMessageW(window_, PBM_GETPOS, 0, 0));
}

void Win32ProgressBar::SetBarColor(TColor color) {
  barColor_ = color;
  barColorSet_ = true;
  if (window_ == nullptr) return;
  SendMessageW(window_, PBM_SETBARCOLOR, 0, static_cast<LPARAM>(ColorRef(color)));
}

// ---------------------------------------------------------------- GroupBox, Picture

Win32GroupBox::Win32GroupBox(HWND window, ui::ControlLayout layout, HandlerRunner run, HWND form)
    : Win32Static(window, std::move(layout), std::move(run)), form_(form) {}

LRESULT Win32GroupBox::SubclassMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      // The radio buttons' notifications belong to the form.
      return SendMessageW(form_, message, wParam, lParam);
    default:
      return ControlWindow::SubclassMessage(message, wParam, lParam);
  }
}

Win32Picture::Win32Picture(HWND window, ui::ControlLayout layout, HandlerRunner run, int dpi)
    : Win32Static(window, std::move(layout), std::move(run)), dpi_(dpi) {
  if (window_ != nullptr) ShowPicture();
}

void Win32Picture::OnAttach() {
  ShowPicture();
}

void Win32Picture::ShowPicture() {
  bitmap_ = LoadJpegResource(layout_.resource, dpi_);
  if (bitmap_) {
    SendMessageW(window_, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap_.Get()));
  }
}

void Win32Picture::Rescale(int dpi, HFONT /*font*/) {
  dpi_ = dpi;
  if (window_ == nullptr) return;  // decoded at this DPI when it is made
  GdiObject<HBITMAP> scaled = LoadJpegResource(layout_.resource, dpi);
  if (!scaled) return;
  // The window lets go of the old bitmap before it is deleted.
  SendMessageW(window_, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(scaled.Get()));
  bitmap_ = std::move(scaled);
}

}  // namespace win32
