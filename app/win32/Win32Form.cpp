#include "app/win32/Win32Form.h"

#include <commctrl.h>

#include <utility>

#include "app/win32/Dpi.h"
#include "app/win32/Utf16.h"
#include "app/win32/Win32Timer.h"
#include "ui/Anchors.h"
#include "ui/ClientArea.h"

namespace win32 {
namespace {

constexpr const wchar_t* kFormClass = L"kbForm";
constexpr UINT_PTR kFirstTimerId = 1;

void RegisterFormClass(WNDPROC procedure) {
  static const bool registered = [procedure] {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.lpszClassName = kFormClass;
    return RegisterClassExW(&windowClass) != 0;
  }();
  (void)registered;
}

DWORD FrameStyle(const ui::FormLayout& layout) {
  // A single fixed border with the system menu and its close box; no
  // minimise or maximise box either way.
  DWORD style = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  if (!layout.fixedSize) style |= WS_THICKFRAME;
  return style;
}

DWORD FrameExStyle(const ui::FormLayout& layout) {
  return layout.stayOnTop ? WS_EX_TOPMOST : 0;
}

// The outer size of a window with that client size (in pixels at dpi).
SIZE OuterSize(const ui::FormLayout& layout, int clientWidth, int clientHeight, int dpi) {
  return OuterSizeAtDpi(FrameStyle(layout), FrameExStyle(layout), clientWidth, clientHeight, dpi);
}

// Where a window of that size stands centred: on the screen's work area, or
// on its owner.
POINT CentredOrigin(SIZE size, HWND owner) {
  RECT area{};
  if (owner != nullptr) {
    GetWindowRect(owner, &area);
  } else {
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  }
  return POINT{area.left + (area.right - area.left - size.cx) / 2,
               area.top + (area.bottom - area.top - size.cy) / 2};
}

DWORD AlignmentStyle(ui::Alignment alignment) {
  switch (alignment) {
    case ui::Alignment::kCenter:
      return SS_CENTER;
    case ui::Alignment::kRight:
      return SS_RIGHT;
    case ui::Alignment::kLeft:
    default:
      return SS_LEFT;
  }
}

DWORD CommonStyle(const ui::ControlLayout& layout) {
  DWORD style = WS_CHILD;
  if (layout.visible) style |= WS_VISIBLE;
  if (!layout.enabled) style |= WS_DISABLED;
  if (layout.tabStop) style |= WS_TABSTOP;
  return style;
}

}  // namespace

Win32Form::Win32Form(const ui::FormLayout& layout, Win32Form* owner, HandlerRunner run)
    : layout_(layout), owner_(owner), run_(std::move(run)), dpi_(SystemDpi()) {
  RegisterFormClass(&Win32Form::WindowProc);
  background_ = GdiObject<HBRUSH>(CreateSolidBrush(ColorRef(layout_.color.value_or(clWindow))));
  SIZE size = OuterSize(layout_, Scale(layout_.clientWidth), Scale(layout_.clientHeight), dpi_);
  HWND ownerWindow = owner_ != nullptr ? owner_->Handle() : nullptr;
  const POINT origin =
      layout_.centered ? CentredOrigin(size, ownerWindow) : POINT{CW_USEDEFAULT, CW_USEDEFAULT};
  CreateWindowExW(FrameExStyle(layout_), kFormClass, Utf16FromUtf8(layout_.caption).c_str(),
                  FrameStyle(layout_), origin.x, origin.y, size.cx, size.cy, ownerWindow, nullptr,
                  GetModuleHandleW(nullptr), this);
  // window_ is set by WM_NCCREATE, so that the messages of the creation
  // itself already reach this form.
  RECT client{};
  GetClientRect(window_, &client);
  clientWidth_ = client.right;
  clientHeight_ = client.bottom;
  const int shownAt = WindowDpi(window_);
  if (window_ != nullptr && shownAt != dpi_) {
    // Made on a monitor of another DPI than the system's (a dialog over an
    // owner there): sized for that one, before any control exists.
    dpi_ = shownAt;
    SizeClient(Scale(layout_.clientWidth), Scale(layout_.clientHeight));
    if (layout_.centered) {
      RECT outer{};
      GetWindowRect(window_, &outer);
      const POINT moved =
          CentredOrigin(SIZE{outer.right - outer.left, outer.bottom - outer.top}, ownerWindow);
      SetWindowPos(window_, nullptr, moved.x, moved.y, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
}

Win32Form::~Win32Form() {
  timers_.clear();
  if (window_ != nullptr) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);  // and with it every control's window
  }
  byWindow_.clear();
  controls_.clear();
}

Win32Form* Win32Form::FromHandle(HWND window) {
  wchar_t name[16] = {};
  if (window == nullptr || GetClassNameW(window, name, 16) == 0 || wcscmp(name, kFormClass) != 0) {
    return nullptr;
  }
  return reinterpret_cast<Win32Form*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

LRESULT CALLBACK Win32Form::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<Win32Form*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Win32Form*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  return self->Message(message, wParam, lParam);
}

ControlWindow* Win32Form::ControlOf(HWND window) const {
  const auto it = byWindow_.find(window);
  return it == byWindow_.end() ? nullptr : it->second;
}

LRESULT Win32Form::ControlColor(HDC dc, HWND control) {
  const ControlWindow* owner = ControlOf(control);
  const std::optional<TColor> text = owner != nullptr ? owner->TextColor() : std::nullopt;
  if (text) SetTextColor(dc, ColorRef(*text));
  SetBkColor(dc, ColorRef(layout_.color.value_or(clWindow)));
  return reinterpret_cast<LRESULT>(background_.Get());
}

LRESULT Win32Form::Message(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (ControlWindow* control = ControlOf(reinterpret_cast<HWND>(lParam))) {
        control->OnCommand(HIWORD(wParam));
        return 0;
      }
      break;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (ControlWindow* control = ControlOf(item->hwndItem)) {
        control->OnDrawItem(*item);
        return TRUE;
      }
      break;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return ControlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_ERASEBKGND: {
      RECT client{};
      GetClientRect(window_, &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, background_.Get());
      return 1;
    }
    case WM_TIMER:
      for (const auto& timer : timers_) {
        if (timer->Id() == wParam && timer->Enabled() && timer->OnTimer) {
          run_(timer->OnTimer);
          break;
        }
      }
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE && OnActivate) run_(OnActivate);
      break;
    case WM_SIZE:
      clientWidth_ = LOWORD(lParam);
      clientHeight_ = HIWORD(lParam);
      ApplyAnchors(clientWidth_, clientHeight_);
      MakeThoseNowInside();
      return 0;
    case WM_DPICHANGED:
      // Moved to a monitor of another DPI (per-monitor awareness): the
      // system suggests the window's new rectangle.
      Rescale(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_CLOSE:
      Close();  // hidden, not destroyed: the behaviour still reads its controls
      return 0;
    case WM_NCDESTROY:
      window_ = nullptr;
      break;
    default:
      break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

HFONT Win32Form::FontFor(const ui::ControlLayout& layout) {
  const ui::Font& font = layout.font ? *layout.font : layout_.font;
  const int height = Scale(font.pixels);
  auto key = std::make_tuple(font.family, height, font.bold);
  auto it = fonts_.find(key);
  if (it == fonts_.end()) {
    // A negative height asks for that character height, without the
    // internal leading, as the form gives it.
    HFONT made =
        CreateFontW(-height, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                    DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                    DEFAULT_PITCH | FF_DONTCARE, Utf16FromUtf8(font.family).c_str());
    it = fonts_.emplace(std::move(key), GdiObject<HFONT>(made)).first;
  }
  return it->second.Get();
}

bool Win32Form::OutsideClient(const ui::ControlLayout& layout, HWND parent) const {
  // A control sized to its content finds its edges only once it is made.
  if (layout.sizeToContent) return false;
  ui::Rect placed = layout.bounds;
  if (const ControlWindow* owner = parent != nullptr ? ControlOf(parent) : nullptr) {
    placed.left += owner->Layout().bounds.left;
    placed.top += owner->Layout().bounds.top;
  }
  return !ui::WhollyInsideClientArea(placed, layout_.clientWidth, layout_.clientHeight);
}

HWND Win32Form::MakeChild(const wchar_t* windowClass, const ui::ControlLayout& layout, DWORD style,
                          DWORD exStyle, HWND parent) {
  const RECT b = Scaled(layout.bounds);
  DWORD common = CommonStyle(layout);
  // Made without the tab stop that FinishCreation would take away again: a
  // style change is a round trip and two messages per control under Wine.
  if (OutsideClient(layout, parent)) common &= ~static_cast<DWORD>(WS_TABSTOP);
  HWND child = CreateWindowExW(exStyle, windowClass, Utf16FromUtf8(layout.caption).c_str(),
                               common | style, b.left, b.top, b.right - b.left, b.bottom - b.top,
                               parent != nullptr ? parent : window_,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(nextControlId_++)),
                               GetModuleHandleW(nullptr), nullptr);
  SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(layout)), FALSE);
  return child;
}

bool Win32Form::WhollyOutside(const ui::ControlLayout& layout) const {
  // One anchored to the right or bottom moves with those edges: made at once.
  if (layout.anchors != (ui::kAnchorLeft | ui::kAnchorTop)) return false;
  const RECT r = Scaled(layout.bounds);
  // One sized to its content has its size only once made; where it starts
  // can still put it beyond the right or bottom edge.
  if (layout.sizeToContent) return r.left >= clientWidth_ || r.top >= clientHeight_;
  return r.right <= 0 || r.bottom <= 0 || r.left >= clientWidth_ || r.top >= clientHeight_;
}

HWND Win32Form::MakeOrPutOff(const Recipe& recipe, const ui::ControlLayout& layout) {
  if (recipe.box != nullptr) {
    if (recipe.box->Existing() == nullptr) return nullptr;
    return MakeChild(recipe.windowClass, layout, recipe.style, recipe.exStyle,
                     recipe.box->Existing());
  }
  if (WhollyOutside(layout)) return nullptr;
  return MakeChild(recipe.windowClass, layout, recipe.style, recipe.exStyle);
}

template <typename Control>
Control& Win32Form::Keep(std::unique_ptr<Control> control, const Recipe& recipe) {
  Control& kept = *control;
  if (HWND window = kept.Existing()) {
    byWindow_[window] = &kept;
  } else {
    // Put off, or refused by the system: either way it keeps its state and
    // its window is tried again when first needed.
    putOff_.emplace(&kept, recipe);
    kept.PutOff([this, &kept] { MakePutOff(kept); });
  }
  controls_.push_back(std::move(control));
  return kept;
}

void Win32Form::MakePutOff(ControlWindow& control) {
  const auto it = putOff_.find(&control);
  if (it == putOff_.end()) return;
  const Recipe recipe = it->second;
  if (recipe.box != nullptr && recipe.box->Existing() == nullptr) {
    // The box makes its buttons in their order, which is their radio group's.
    MakePutOff(*recipe.box);
    return;
  }
  putOff_.erase(it);
  HWND parent = recipe.box != nullptr ? recipe.box->Existing() : window_;
  HWND window =
      MakeChild(recipe.windowClass, control.CurrentLayout(), recipe.style, recipe.exStyle, parent);
  if (window == nullptr) {
    // Not made: it keeps its state, and the next need tries again.
    putOff_.emplace(&control, recipe);
    control.PutOff([this, &control] { MakePutOff(control); });
    return;
  }
  if (recipe.box == nullptr) {
    // In the place among its siblings it would have had if made at once:
    // behind the form's last window made before it (the tab order).
    HWND after = HWND_TOP;
    for (const auto& other : controls_) {
      if (other.get() == &control) break;
      HWND made = other->Existing();
      if (made != nullptr && GetParent(made) == window_) after = made;
    }
    SetWindowPos(window, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  byWindow_[window] = &control;
  control.Attach(window);
  if (auto* box = dynamic_cast<Win32GroupBox*>(&control)) {
    for (Win32CheckButton* button : box->buttons) MakePutOff(*button);
  }
}

void Win32Form::MakeThoseNowInside() {
  if (putOff_.empty()) return;
  for (const auto& control : controls_) {
    const auto it = putOff_.find(control.get());
    if (it == putOff_.end() || it->second.box != nullptr) continue;
    if (!WhollyOutside(control->Layout())) control->Handle();
  }
}

ui::Label& Win32Form::AddLabel(const ui::ControlLayout& layout) {
  DWORD style = AlignmentStyle(layout.alignment) | SS_NOPREFIX;
  if (layout.centerVertically) style |= SS_CENTERIMAGE;
  ui::ControlLayout label = layout;
  label.tabStop = false;
  const Recipe recipe{L"STATIC", style};
  HWND window = MakeOrPutOff(recipe, label);
  return Keep(std::make_unique<Win32Label>(window, label, run_, FontFor(layout)), recipe);
}

ui::Button& Win32Form::AddButton(const ui::ControlLayout& layout) {
  const Recipe recipe{L"BUTTON", BS_PUSHBUTTON};
  HWND window = MakeOrPutOff(recipe, layout);
  return Keep(std::make_unique<Win32Button>(window, layout, run_), recipe);
}

ui::ColorButton& Win32Form::AddColorButton(const ui::ControlLayout& layout) {
  const Recipe recipe{L"BUTTON", BS_OWNERDRAW};
  HWND window = MakeOrPutOff(recipe, layout);
  return Keep(std::make_unique<Win32ColorButton>(window, layout, run_, FontFor(layout), dpi_),
              recipe);
}

ui::Static& Win32Form::AddGroupBox(const ui::ControlLayout& layout) {
  ui::ControlLayout group = layout;
  group.tabStop = false;
  // It ends the radio group before it and parents its own buttons.
  const Recipe recipe{L"BUTTON", BS_GROUPBOX | WS_GROUP | WS_CLIPCHILDREN};
  HWND window = MakeOrPutOff(recipe, group);
  return Keep(std::make_unique<Win32GroupBox>(window, group, run_, window_), recipe);
}

ui::CheckButton& Win32Form::AddRadioButton(const ui::ControlLayout& layout, ui::Static& group) {
  auto* box = dynamic_cast<Win32GroupBox*>(&group);
  if (box == nullptr) {
    const Recipe recipe{L"BUTTON", BS_AUTORADIOBUTTON | WS_GROUP};
    HWND window = MakeOrPutOff(recipe, layout);
    return Keep(std::make_unique<Win32CheckButton>(window, layout, run_, nullptr), recipe);
  }
  // The first of a group box starts its radio group; the buttons of one box
  // exclude each other and no others.
  const DWORD first = box->buttons.empty() ? WS_GROUP : 0;
  const Recipe recipe{L"BUTTON", BS_AUTORADIOBUTTON | first, 0, box};
  HWND window = MakeOrPutOff(recipe, layout);
  return Keep(std::make_unique<Win32CheckButton>(window, layout, run_, &box->buttons), recipe);
}

ui::CheckButton& Win32Form::AddSpeedButton(const ui::ControlLayout& layout) {
  const Recipe recipe{L"BUTTON", BS_AUTOCHECKBOX | BS_PUSHLIKE | WS_GROUP};
  HWND window = MakeOrPutOff(recipe, layout);
  return Keep(std::make_unique<Win32CheckButton>(window, layout, run_, nullptr), recipe);
}

ui::ListBox& Win32Form::AddListBox(const ui::ControlLayout& layout) {
  const Recipe recipe{L"LISTBOX", LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL, WS_EX_CLIENTEDGE};
  HWND window = MakeOrPutOff(recipe, layout);
  return Keep(std::make_unique<Win32ListBox>(window, layout, run_, dpi_), recipe);
}

ui::Edit& Win32Form::AddEdit(const ui::ControlLayout& layout) {
  const Recipe recipe{L"EDIT", ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
  HWND window = MakeOrPutOff(recipe, layout);
  return Keep(std::make_unique<Win32Edit>(window, layout, run_), recipe);
}

ui::Memo& Win32Form::AddMemo(const ui::ControlLayout& layout) {
  // No wrapping: one line of the text is one line of the memo.
  const Recipe recipe{L"EDIT",
                      ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_VSCROLL | WS_HSCROLL,
                      WS_EX_CLIENTEDGE};
  HWND window = MakeOrPutOff(recipe, layout);
  return Keep(std::make_unique<Win32Memo>(window, layout, run_), recipe);
}

ui::ProgressBar& Win32Form::AddProgressBar(const ui::ControlLayout& layout) {
  // One continuous bar, as Qt's, rather than the classic blocks.
  const Recipe recipe{PROGRESS_CLASSW, PBS_SMOOTH};
  HWND window = MakeOrPutOff(recipe, layout);
  return Keep(std::make_unique<Win32ProgressBar>(window, layout, run_), recipe);
}

ui::Static& Win32Form::AddPicture(const ui::ControlLayout& layout) {
  ui::ControlLayout picture = layout;
  picture.tabStop = false;
  // SS_BITMAP sizes the control to its bitmap.
  const Recipe recipe{L"STATIC", SS_BITMAP};
  HWND window = MakeOrPutOff(recipe, picture);
  return Keep(std::make_unique<Win32Picture>(window, picture, run_, dpi_), recipe);
}

ui::Timer& Win32Form::AddTimer(std::chrono::milliseconds interval) {
  const UINT_PTR id = kFirstTimerId + timers_.size();
  timers_.push_back(std::make_unique<Win32Timer>(window_, id, interval));
  return *timers_.back();
}

void Win32Form::FinishCreation() {
  const int clientWidth = Scale(layout_.clientWidth);
  const int clientHeight = Scale(layout_.clientHeight);
  for (const auto& control : controls_) {
    HWND window = control->Existing();
    if (window == nullptr) {
      control->SetNoFocus();  // put off, so wholly outside; made without a tab stop
      continue;
    }
    RECT placed{};
    GetWindowRect(window, &placed);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&placed), 2);
    const ui::Rect bounds{placed.left, placed.top, placed.right - placed.left,
                          placed.bottom - placed.top};
    if (ui::WhollyInsideClientArea(bounds, clientWidth, clientHeight)) continue;
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    if ((style & WS_TABSTOP) != 0) SetWindowLongW(window, GWL_STYLE, style & ~WS_TABSTOP);
    control->SetNoFocus();
  }
}

void Win32Form::Show() {
  if (OnShow) run_(OnShow);
  ControlWindow::NotePointer();
  ShowWindow(window_, SW_SHOW);
  UpdateWindow(window_);
}

void Win32Form::Close() {
  if (modalOwnerDisabled_ && owner_ != nullptr) {
    EnableWindow(owner_->Handle(), TRUE);
    modalOwnerDisabled_ = false;
  }
  const bool wasShown = IsShown();
  ShowWindow(window_, SW_HIDE);
  // Closing the main window ends the application's message loop.
  if (owner_ == nullptr && wasShown) PostQuitMessage(0);
}

bool Win32Form::IsShown() const {
  return window_ != nullptr && IsWindowVisible(window_) != FALSE;
}

void Win32Form::ApplyAnchors(int clientWidth, int clientHeight) {
  const int dx = clientWidth - Scale(layout_.clientWidth);
  const int dy = clientHeight - Scale(layout_.clientHeight);
  for (const auto& control : controls_) {
    const ui::ControlLayout& layout = control->Layout();
    if (!ui::FollowsResize(layout.anchors)) continue;
    if (control->Existing() == nullptr || GetParent(control->Existing()) != window_) continue;
    const RECT designed = Scaled(layout.bounds);
    const ui::Rect placed =
        ui::AnchoredBounds({designed.left, designed.top, designed.right - designed.left,
                            designed.bottom - designed.top},
                           layout.anchors, dx, dy);
    SetWindowPos(control->Handle(), nullptr, placed.left, placed.top, placed.width, placed.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void Win32Form::SizeClient(int width, int height) {
  // The frame as the window has it now: its metrics follow the DPI of its
  // monitor, which need not be the one the form is being scaled to yet.
  RECT outer{};
  RECT client{};
  GetWindowRect(window_, &outer);
  GetClientRect(window_, &client);
  SetWindowPos(window_, nullptr, 0, 0, width + (outer.right - outer.left) - client.right,
               height + (outer.bottom - outer.top) - client.bottom,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int Win32Form::Scale(int length) const {
  return ScaleToDpi(length, dpi_);
}

RECT Win32Form::Scaled(const ui::Rect& bounds) const {
  // Both edges scaled, so that neighbours that touch in the form still touch.
  return RECT{Scale(bounds.left), Scale(bounds.top), Scale(bounds.left + bounds.width),
              Scale(bounds.top + bounds.height)};
}

void Win32Form::Rescale(int dpi, const RECT* suggested) {
  if (dpi <= 0 || dpi == dpi_) return;
  dpi_ = dpi;
  // The fonts for the new DPI replace the old ones only once every control
  // has taken its new one.
  auto oldFonts = std::move(fonts_);
  fonts_.clear();
  for (const auto& control : controls_) {
    const ui::ControlLayout& layout = control->Layout();
    if (HWND window = control->Existing()) {
      const RECT r = Scaled(layout.bounds);
      SetWindowPos(window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    }
    control->Rescale(dpi_, FontFor(layout));
  }
  if (suggested != nullptr) {
    SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                 suggested->right - suggested->left, suggested->bottom - suggested->top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    SizeClient(Scale(layout_.clientWidth), Scale(layout_.clientHeight));
  }
  RECT client{};
  GetClientRect(window_, &client);
  ApplyAnchors(client.right, client.bottom);
  InvalidateRect(window_, nullptr, TRUE);
}

HWND Win32Form::HandleOf(const ui::Control& control) const {
  const auto* window = dynamic_cast<const ControlWindow*>(&control);
  for (const auto& kept : controls_) {
    if (kept.get() == window) return kept->Handle();
  }
  return nullptr;
}

}  // namespace win32
