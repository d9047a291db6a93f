// The main window on Win32: a top-level window with the Copy button, the hint label and the
// address edit box, run by a message loop that gives the window dialog-style keyboard handling.
// Texts stay code page 936 until the call that needs UTF-16.
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>

#include "app/main_window.h"
#include "app/main_window_texts.h"
#include "app/main_window_win32.h"
#include "text/codepage.h"

// Shared between the main thread and any thread that calls SetAddressText. Only `handle` is read
// off the main thread; the controls are touched on the main thread alone.
class MainWindow {
 public:
  // Set while the window exists; cleared when it is destroyed, so a late SetAddressText finds
  // nothing to write to.
  std::atomic<HWND> handle{nullptr};
  HWND 按钮_复制 = nullptr;
  HWND 标签1 = nullptr;
  HWND 编辑框_网址 = nullptr;
  // The control that gets the focus back when the window is activated again.
  HWND focusedControl = nullptr;
};

namespace {

constexpr wchar_t kClassName[] = L"AccessUrlMainWindow";
constexpr wchar_t kIconName[] = L"DEFAULT_ICON";

constexpr int kWindowWidth = 423;
constexpr int kWindowHeight = 112;
// A fixed frame: no sizing border and no maximise box.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
// Tab, Esc and Enter go through the dialog manager (IsDialogMessage in the message loop).
constexpr DWORD kWindowExStyle = WS_EX_CONTROLPARENT | WS_EX_APPWINDOW;

// With IsDialogMessage, Enter sends the window WM_COMMAND IDOK (1) and Esc IDCANCEL (2); the
// controls keep clear of both so that a click is never taken for either key.
constexpr int kCopyButtonId = 101;
constexpr int kHintLabelId = 102;
constexpr int kAddressEditId = 103;

// Carries a `const Text*` in lParam; handled on the main thread, see SetAddressText.
constexpr UINT kSetAddressTextMessage = WM_APP + 1;

struct ControlDefinition {
  HWND MainWindow::*handle;
  int id;
  const wchar_t* className;
  DWORD style;
  DWORD exStyle;
  int left;
  int top;
  int width;
  int height;
  const char* text;  // code page 936
};

// In creation order, which is also the tab order.
const ControlDefinition kControls[] = {
    {&MainWindow::按钮_复制, kCopyButtonId, L"Button",
     BS_PUSHBUTTON | BS_CENTER | BS_VCENTER | BS_MULTILINE | WS_TABSTOP, 0, 360, 40, 48, 32,
     kCopyCaption},
    {&MainWindow::标签1, kHintLabelId, L"Static", SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX, 0, 136, 8,
     136, 24, kHint},
    // No ES_NOHIDESEL: the selection is hidden while the box does not have the focus.
    {&MainWindow::编辑框_网址, kAddressEditId, L"Edit", ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP,
     WS_EX_CLIENTEDGE, 8, 40, 344, 32, kPlaceholder},
};

std::wstring Wide(const Text& text) {
  const std::u16string utf16 = TextToUtf16(text);
  return std::wstring(utf16.begin(), utf16.end());
}

HFONT GuiFont() {
  return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

// The dialog manager makes a push button the default button when Tab moves the focus onto it,
// and Enter would then press it. The Copy button refuses that and stays a plain push button.
LRESULT CALLBACK PlainPushButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR id, DWORD_PTR) {
  if (message == BM_SETSTYLE && (wParam & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
    wParam = (wParam & ~static_cast<WPARAM>(BS_TYPEMASK)) | BS_PUSHBUTTON;
  } else if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(hwnd, PlainPushButtonProc, id);
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

bool CreateControls(MainWindow& window, HWND parent) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  for (const ControlDefinition& control : kControls) {
    const HWND child = CreateWindowExW(
        control.exStyle, control.className, Wide(control.text).c_str(),
        WS_CHILD | WS_VISIBLE | control.style, control.left, control.top, control.width,
        control.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), instance,
        nullptr);
    if (!child)
      return false;
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(GuiFont()), FALSE);
    window.*control.handle = child;
  }
  window.focusedControl = window.编辑框_网址;
  return SetWindowSubclass(window.按钮_复制, PlainPushButtonProc, 0, 0) != FALSE;
}

void OnCommand(const MainWindowRef& window, HWND hwnd, int id, int code) {
  switch (id) {
    case kCopyButtonId:
      if (code == BN_CLICKED)
        OnCopyClicked(window);
      break;
    case kAddressEditId:
      if (code == EN_CHANGE)
        OnAddressTextChanged(window);
      break;
    case IDCANCEL:  // Esc, whichever control has the focus
      SendMessageW(hwnd, WM_CLOSE, 0, 0);
      break;
    default:  // IDOK (Enter) included: it does nothing
      break;
  }
}

LRESULT HandleMessage(const MainWindowRef& window, HWND hwnd, UINT message, WPARAM wParam,
                      LPARAM lParam) {
  MainWindow& state = *window;
  switch (message) {
    case WM_CREATE:
      return CreateControls(state, hwnd) ? 0 : -1;
    case WM_COMMAND:
      OnCommand(window, hwnd, LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lParam) == state.标签1) {
        const HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
      }
      break;
    case WM_CTLCOLOREDIT:
      if (reinterpret_cast<HWND>(lParam) == state.编辑框_网址) {
        const HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkMode(dc, OPAQUE);
        SetBkColor(dc, RGB(255, 255, 255));
        return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
      }
      break;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(GuiFont());
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        const HWND focus = GetFocus();
        if (focus && IsChild(hwnd, focus))
          state.focusedControl = focus;
      }
      break;  // DefWindowProc focuses the window on activation, which lands in WM_SETFOCUS
    case WM_SETFOCUS:
      if (state.focusedControl)
        SetFocus(state.focusedControl);
      return 0;
    case kSetAddressTextMessage:
      SetWindowTextW(state.编辑框_网址, Wide(*reinterpret_cast<const Text*>(lParam)).c_str());
      return 0;
    case WM_DESTROY:
      state.handle.store(nullptr);
      state.按钮_复制 = state.标签1 = state.编辑框_网址 = state.focusedControl = nullptr;
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// The window holds its own reference to the shared state in GWLP_USERDATA from WM_NCCREATE to
// WM_NCDESTROY, so the state outlives every message whoever else drops theirs.
LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    const MainWindowRef& creator = *static_cast<const MainWindowRef*>(create->lpCreateParams);
    creator->handle.store(hwnd);
    auto own = std::make_unique<MainWindowRef>(creator);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(own.release()));
  }
  auto* window = reinterpret_cast<MainWindowRef*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!window)
    return DefWindowProcW(hwnd, message, wParam, lParam);  // before WM_NCCREATE
  if (message == WM_NCDESTROY) {
    const std::unique_ptr<MainWindowRef> own(window);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  return HandleMessage(*window, hwnd, message, wParam, lParam);
}

HICON LoadProgramIcon(HINSTANCE instance, int widthMetric, int heightMetric) {
  return static_cast<HICON>(LoadImageW(instance, kIconName, IMAGE_ICON,
                                       GetSystemMetrics(widthMetric),
                                       GetSystemMetrics(heightMetric), LR_SHARED));
}

bool RegisterMainWindowClass(HINSTANCE instance) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  if (GetClassInfoExW(instance, kClassName, &windowClass))
    return true;
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadProgramIcon(instance, SM_CXICON, SM_CYICON);
  windowClass.hIconSm = LoadProgramIcon(instance, SM_CXSMICON, SM_CYSMICON);
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kClassName;
  return RegisterClassExW(&windowClass) != 0;
}

// Owns a movable global memory block until the clipboard takes it over.
class GlobalMemory {
 public:
  explicit GlobalMemory(std::size_t size) : handle_(GlobalAlloc(GMEM_MOVEABLE, size)) {}
  ~GlobalMemory() {
    if (handle_)
      GlobalFree(handle_);
  }
  GlobalMemory(const GlobalMemory&) = delete;
  GlobalMemory& operator=(const GlobalMemory&) = delete;

  // False when the block could not be allocated or locked.
  bool Fill(const void* data, std::size_t size) {
    void* target = handle_ ? GlobalLock(handle_) : nullptr;
    if (!target)
      return false;
    std::memcpy(target, data, size);
    GlobalUnlock(handle_);
    return true;
  }
  HGLOBAL get() const { return handle_; }
  void release() { handle_ = nullptr; }

 private:
  HGLOBAL handle_;
};

// Opens the clipboard with no owner window and closes it again when it goes out of scope.
class OpenedClipboard {
 public:
  OpenedClipboard() : open_(OpenClipboard(nullptr) != FALSE) {}
  ~OpenedClipboard() {
    if (open_)
      CloseClipboard();
  }
  OpenedClipboard(const OpenedClipboard&) = delete;
  OpenedClipboard& operator=(const OpenedClipboard&) = delete;

  // False when another program holds the clipboard.
  bool is_open() const { return open_; }

 private:
  bool open_;
};

// Puts a copy of the bytes on the open clipboard; false when no memory could be had.
bool PlaceOnClipboard(UINT format, const void* data, std::size_t size) {
  GlobalMemory memory(size);
  if (!memory.Fill(data, size))
    return false;
  if (!SetClipboardData(format, memory.get()))
    return false;
  memory.release();  // the clipboard owns the block now
  return true;
}

}  // namespace

void* NativeWindowOf(const MainWindowRef& window) {
  return window ? window->handle.load() : nullptr;
}

MainWindowRef CreateMainWindow(MainWindowCreatedHandler onCreated) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  if (!RegisterMainWindowClass(instance))
    return nullptr;
  MainWindowRef window = std::make_shared<MainWindow>();
  // Integer division truncates toward zero, also for a screen smaller than the window.
  const int left = (GetSystemMetrics(SM_CXSCREEN) - kWindowWidth) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - kWindowHeight) / 2;
  const HWND hwnd =
      CreateWindowExW(kWindowExStyle, kClassName, L"", kWindowStyle, left, top, kWindowWidth,
                      kWindowHeight, nullptr, nullptr, instance, &window);
  if (!hwnd)
    return nullptr;
  if (onCreated)
    onCreated(window);
  return window;
}

void ShowMainWindow(const MainWindowRef& window) {
  const HWND hwnd = static_cast<HWND>(NativeWindowOf(window));
  if (!hwnd)
    return;
  ShowWindow(hwnd, SW_SHOWNORMAL);
  UpdateWindow(hwnd);
}

int RunMessageLoop() {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    // The top-level window of the message does the dialog keys: Tab, Shift+Tab, Esc and Enter.
    const HWND root = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    if (root && IsDialogMessageW(root, &message))
      continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}

void ReportStartupFailure() {
  MessageBoxW(nullptr, Wide(kStartupFailureMessage).c_str(), nullptr, MB_OK | MB_ICONERROR);
}

void SetAddressText(const MainWindowRef& window, const Text& text) {
  const HWND hwnd = static_cast<HWND>(NativeWindowOf(window));
  if (!hwnd)
    return;
  // The window's thread writes the box while this thread waits. Should the window be destroyed
  // after the load above, SendMessageW fails on the dead handle and nothing is written.
  SendMessageW(hwnd, kSetAddressTextMessage, 0, reinterpret_cast<LPARAM>(&text));
}

Text GetAddressText(const MainWindowRef& window) {
  if (!window || !window->编辑框_网址)
    return Text();
  const HWND edit = window->编辑框_网址;
  const int length = GetWindowTextLengthW(edit);
  std::u16string utf16(static_cast<std::size_t>(length) + 1, u'\0');
  const int copied = GetWindowTextW(edit, reinterpret_cast<wchar_t*>(utf16.data()), length + 1);
  utf16.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
  return Utf16ToText(utf16);
}

bool SetClipboardText(const Text& text) {
  const OpenedClipboard clipboard;
  if (!clipboard.is_open())
    return false;
  EmptyClipboard();
  // The code page 936 bytes as they are, with the terminating zero.
  if (!PlaceOnClipboard(CF_TEXT, text.c_str(), text.size() + 1))
    return false;
  // The same text as UTF-16, so that pasting works where the ANSI code page is not 936: Windows
  // would otherwise derive the UTF-16 form from CF_TEXT with the clipboard locale's code page.
  const std::u16string utf16 = TextToUtf16(text);
  PlaceOnClipboard(CF_UNICODETEXT, utf16.c_str(), (utf16.size() + 1) * sizeof(char16_t));
  return true;
}
