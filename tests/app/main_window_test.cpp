// The real main window, created in this process and driven through its message loop.
#include "app/main_window_win32.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "text/codepage.h"

namespace {

// Byte escapes keep the code page 936 texts exact whatever the source encoding is.
const Text kCopyCaption = "\xB8\xB4\xD6\xC6";  // 复制
// 粘贴至浏览器地址栏访问
const Text kHint =
    "\xD5\xB3\xCC\xF9\xD6\xC1\xE4\xAF\xC0\xC0\xC6\xF7\xB5\xD8\xD6\xB7\xC0\xB8\xB7\xC3\xCE\xCA";
const Text kPlaceholder = "\xBB\xF1\xC8\xA1\xD6\xD0...";  // 获取中...
const Text kZhongWen = "\xD6\xD0\xCE\xC4";                // 中文
const Text kAccessUrl = "http://203.0.113.7:9600/static/web/index.html";

HWND HandleOf(const MainWindowRef& window) {
  return static_cast<HWND>(NativeWindowOf(window));
}

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  return name;
}

Text TextOf(HWND hwnd) {
  wchar_t buffer[512] = {};
  GetWindowTextW(hwnd, buffer, 512);
  return Utf16ToText(reinterpret_cast<const char16_t*>(buffer));
}

// Runs whatever is queued, without the dialog keys and without waiting. A quit request that a
// destroyed window posted is dropped.
void Pump() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT)
      continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

// The raw bytes of one clipboard format, the allocation's whole size; nothing when absent.
std::optional<std::string> ClipboardBytes(UINT format) {
  if (!OpenClipboard(nullptr))
    return std::nullopt;
  std::optional<std::string> bytes;
  if (const HANDLE data = GetClipboardData(format)) {
    if (const void* locked = GlobalLock(data)) {
      bytes.emplace(static_cast<const char*>(locked), GlobalSize(data));
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return bytes;
}

std::string WithZero(const Text& text) {
  return text + '\0';
}

std::string Utf16WithZero(const Text& text) {
  const std::u16string utf16 = TextToUtf16(text) + u'\0';
  return std::string(reinterpret_cast<const char*>(utf16.data()), utf16.size() * 2);
}

// What the created handler saw. It is a plain function, so it reports through this record.
struct CreatedEvent {
  int calls = 0;
  bool windowVisible = true;
  int controls = 0;
  Text address;
};
CreatedEvent created;

void RecordCreated(const MainWindowRef& window) {
  const HWND hwnd = HandleOf(window);
  ++created.calls;
  created.windowVisible = IsWindowVisible(hwnd) != FALSE;
  for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    ++created.controls;
  }
  created.address = GetAddressText(window);
}

// Counts the edit box's change notifications on their way into the window procedure.
LRESULT CALLBACK CountChanges(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                              DWORD_PTR counter) {
  if (message == WM_COMMAND && HIWORD(wParam) == EN_CHANGE) {
    ++*reinterpret_cast<std::atomic<int>*>(counter);
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

enum Control { kButton, kLabel, kEdit };

// A shown main window; the controls are found in creation order, which is their z-order.
class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    created = CreatedEvent();
    window_ = CreateMainWindow(&RecordCreated);
    ASSERT_NE(window_, nullptr);
    hwnd_ = HandleOf(window_);
    ASSERT_NE(hwnd_, nullptr);
    SetWindowSubclass(hwnd_, CountChanges, 1, reinterpret_cast<DWORD_PTR>(&changes_));
    ShowMainWindow(window_);
    Pump();
  }

  void TearDown() override {
    if (IsWindow(hwnd_))
      DestroyWindow(hwnd_);
    Pump();
  }

  HWND Child(Control control) const {
    HWND child = GetWindow(hwnd_, GW_CHILD);
    for (int i = 0; i < control && child; ++i)
      child = GetWindow(child, GW_HWNDNEXT);
    return child;
  }

  MainWindowRef window_;
  HWND hwnd_ = nullptr;
  std::atomic<int> changes_{0};
};

TEST_F(MainWindowTest, CreatedEventRunsOnceWithTheControlsBeforeTheWindowShows) {
  EXPECT_EQ(created.calls, 1);
  EXPECT_FALSE(created.windowVisible);
  EXPECT_EQ(created.controls, 3);
  EXPECT_EQ(created.address, kPlaceholder);
  EXPECT_TRUE(IsWindowVisible(hwnd_));
  EXPECT_FALSE(IsIconic(hwnd_));
  EXPECT_FALSE(IsZoomed(hwnd_));
}

TEST_F(MainWindowTest, FixedFrameWithCaptionSystemMenuAndMinimiseBox) {
  RECT rect;
  GetWindowRect(hwnd_, &rect);
  EXPECT_EQ(rect.right - rect.left, 423);
  EXPECT_EQ(rect.bottom - rect.top, 112);

  const LONG_PTR style = GetWindowLongPtrW(hwnd_, GWL_STYLE);
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_FALSE(style & WS_CHILD);
  const LONG_PTR exStyle = GetWindowLongPtrW(hwnd_, GWL_EXSTYLE);
  EXPECT_FALSE(exStyle & WS_EX_TOPMOST);
  EXPECT_FALSE(exStyle & WS_EX_TOOLWINDOW);  // a tool window has no taskbar button
  EXPECT_EQ(GetWindow(hwnd_, GW_OWNER), nullptr);

  EXPECT_EQ(GetWindowTextLengthW(hwnd_), 0);
  EXPECT_EQ(GetClassLongPtrW(hwnd_, GCLP_HBRBACKGROUND), COLOR_BTNFACE + 1);

  // LR_SHARED hands back the icons already loaded from the program's DEFAULT_ICON group.
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  const auto icon = [&](int width, int height) {
    return reinterpret_cast<ULONG_PTR>(LoadImageW(instance, L"DEFAULT_ICON", IMAGE_ICON,
                                                  GetSystemMetrics(width), GetSystemMetrics(height),
                                                  LR_SHARED));
  };
  EXPECT_NE(GetClassLongPtrW(hwnd_, GCLP_HICON), 0u);
  EXPECT_EQ(GetClassLongPtrW(hwnd_, GCLP_HICON), icon(SM_CXICON, SM_CYICON));
  EXPECT_NE(GetClassLongPtrW(hwnd_, GCLP_HICONSM), 0u);
  EXPECT_EQ(GetClassLongPtrW(hwnd_, GCLP_HICONSM), icon(SM_CXSMICON, SM_CYSMICON));
}

TEST_F(MainWindowTest, CentredOnA1920By1080Screen) {
  if (GetSystemMetrics(SM_CXSCREEN) != 1920 || GetSystemMetrics(SM_CYSCREEN) != 1080) {
    GTEST_SKIP() << "needs a 1920x1080 primary screen, this one is "
                 << GetSystemMetrics(SM_CXSCREEN) << "x" << GetSystemMetrics(SM_CYSCREEN);
  }
  RECT rect;
  GetWindowRect(hwnd_, &rect);
  EXPECT_EQ(rect.left, 748);
  EXPECT_EQ(rect.top, 484);
  EXPECT_EQ(rect.right, 1171);
  EXPECT_EQ(rect.bottom, 596);
}

TEST_F(MainWindowTest, ControlsInCreationOrderWithTheirPlaceTextAndStyle) {
  struct Case {
    const wchar_t* className;
    RECT rect;  // client coordinates of the window
    Text text;
    LONG_PTR style;  // all of these bits
    LONG_PTR styleMask;
    LONG_PTR exStyle;  // these bits of WS_EX_CLIENTEDGE | WS_EX_STATICEDGE
  } cases[] = {
      {L"Button",
       {360, 40, 408, 72},
       kCopyCaption,
       BS_PUSHBUTTON | BS_CENTER | BS_VCENTER | BS_MULTILINE | WS_TABSTOP,
       BS_TYPEMASK | BS_CENTER | BS_VCENTER | BS_MULTILINE | BS_BITMAP | BS_ICON | WS_TABSTOP,
       0},
      {L"Static",
       {136, 8, 272, 32},
       kHint,
       SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX,
       SS_TYPEMASK | SS_CENTERIMAGE | SS_NOPREFIX | SS_SUNKEN | WS_BORDER | WS_TABSTOP,
       0},
      {L"Edit",
       {8, 40, 352, 72},
       kPlaceholder,
       ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP,
       ES_CENTER | ES_RIGHT | ES_MULTILINE | ES_AUTOHSCROLL | ES_NOHIDESEL | ES_READONLY |
           ES_PASSWORD | ES_UPPERCASE | ES_LOWERCASE | ES_NUMBER | WS_TABSTOP,
       WS_EX_CLIENTEDGE},
  };
  for (int i = 0; i < 3; ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(testing::Message() << "control " << i);
    const HWND control = Child(static_cast<Control>(i));
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(ClassOf(control), c.className);
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.left, c.rect.left);
    EXPECT_EQ(rect.top, c.rect.top);
    EXPECT_EQ(rect.right, c.rect.right);
    EXPECT_EQ(rect.bottom, c.rect.bottom);
    EXPECT_EQ(TextOf(control), c.text);
    const LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
    EXPECT_EQ(style & c.styleMask, c.style) << std::hex << style;
    EXPECT_TRUE(IsWindowVisible(control));
    EXPECT_TRUE(IsWindowEnabled(control));
    const LONG_PTR exStyle = GetWindowLongPtrW(control, GWL_EXSTYLE);
    EXPECT_EQ(exStyle & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE), c.exStyle) << std::hex << exStyle;
  }
  EXPECT_EQ(GetWindow(Child(kEdit), GW_HWNDNEXT), nullptr);  // three controls, no more

  DWORD start = 1, end = 1;
  SendMessageW(Child(kEdit), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
               reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);  // caret at the start
  EXPECT_EQ(end, 0u);    // nothing selected
}

TEST_F(MainWindowTest, FocusStartsInTheEditBoxAndComesBackAfterAnotherWindowWasActive) {
  EXPECT_EQ(GetFocus(), Child(kEdit));
  SetFocus(Child(kButton));
  const HWND other = CreateWindowW(L"Static", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100,
                                   nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(other, nullptr);
  SetActiveWindow(other);
  Pump();
  EXPECT_EQ(GetActiveWindow(), other);
  SetActiveWindow(hwnd_);
  Pump();
  EXPECT_EQ(GetFocus(), Child(kButton));
  DestroyWindow(other);
}

TEST_F(MainWindowTest, GuiFontEverywhereAndTheLabelAndEditColours) {
  const auto font = reinterpret_cast<LRESULT>(GetStockObject(DEFAULT_GUI_FONT));
  EXPECT_EQ(SendMessageW(hwnd_, WM_GETFONT, 0, 0), font);
  for (Control control : {kButton, kLabel, kEdit}) {
    EXPECT_EQ(SendMessageW(Child(control), WM_GETFONT, 0, 0), font) << "control " << control;
  }

  struct Case {
    Control control;
    UINT message;
    COLORREF brush;
    COLORREF text;
    int mode;
    COLORREF background;  // only where the mode is OPAQUE
  } cases[] = {
      {kLabel, WM_CTLCOLORSTATIC, GetSysColor(COLOR_BTNFACE), RGB(0, 0, 0), TRANSPARENT, 0},
      {kEdit, WM_CTLCOLOREDIT, RGB(255, 255, 255), RGB(0, 0, 0), OPAQUE, RGB(255, 255, 255)},
  };
  const HDC dc = CreateCompatibleDC(nullptr);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "control " << c.control);
    // Colours the window must change, so that leaving them alone shows.
    SetTextColor(dc, RGB(10, 20, 30));
    SetBkColor(dc, RGB(40, 50, 60));
    SetBkMode(dc, c.mode == TRANSPARENT ? OPAQUE : TRANSPARENT);
    const auto brush =
        reinterpret_cast<HBRUSH>(SendMessageW(hwnd_, c.message, reinterpret_cast<WPARAM>(dc),
                                              reinterpret_cast<LPARAM>(Child(c.control))));
    LOGBRUSH logBrush{};
    ASSERT_EQ(GetObjectW(brush, sizeof logBrush, &logBrush), static_cast<int>(sizeof logBrush));
    EXPECT_EQ(logBrush.lbStyle, static_cast<UINT>(BS_SOLID));
    EXPECT_EQ(logBrush.lbColor, c.brush);
    EXPECT_EQ(GetTextColor(dc), c.text);
    EXPECT_EQ(GetBkMode(dc), c.mode);
    if (c.mode == OPAQUE) {
      EXPECT_EQ(GetBkColor(dc), c.background);
    }
  }
  DeleteDC(dc);
}

TEST_F(MainWindowTest, SetAddressTextFromAnotherThreadReturnsOnceTheBoxHoldsTheText) {
  const HWND edit = Child(kEdit);
  std::atomic<bool> done{false};
  Text seen;
  std::thread worker([&] {
    SetAddressText(window_, kAccessUrl);
    // Served by the pump below; a call that returned before the box was written reads the
    // placeholder here.
    seen = TextOf(edit);
    done = true;
  });
  while (!done) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    Pump();
  }
  worker.join();
  Pump();
  EXPECT_EQ(seen, kAccessUrl);
  EXPECT_EQ(GetAddressText(window_), kAccessUrl);
  EXPECT_EQ(changes_, 1);
}

TEST_F(MainWindowTest, SetAddressTextAfterTheWindowIsGoneReturnsAtOnce) {
  ASSERT_TRUE(DestroyWindow(hwnd_));
  Pump();
  EXPECT_EQ(NativeWindowOf(window_), nullptr);
  SetAddressText(window_, kAccessUrl);

  std::promise<void> returned;
  std::future<void> result = returned.get_future();
  std::thread worker([&returned, window = window_] {
    SetAddressText(window, kAccessUrl);
    returned.set_value();
  });
  if (result.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    worker.detach();
    FAIL() << "SetAddressText on a destroyed window did not return";
  }
  worker.join();
}

TEST_F(MainWindowTest, UserEditRaisesTheChangeEvent) {
  SendMessageW(Child(kEdit), WM_CHAR, L'x', 1);
  EXPECT_EQ(changes_, 1);
  EXPECT_EQ(GetAddressText(window_), "x" + kPlaceholder);
}

// How the Copy button is pressed.
enum class Press { kHandler, kMouse };

TEST_F(MainWindowTest, CopyPutsTheShownTextOnTheClipboard) {
  const HWND edit = Child(kEdit);
  struct Case {
    const char* what;
    std::optional<Text> written;  // by SetAddressText; none leaves the placeholder
    const wchar_t* typed;         // replaces everything, as the user would
    Press press;
    Text expected;
  } cases[] = {
      {"placeholder", std::nullopt, nullptr, Press::kHandler, kPlaceholder},
      {"access URL", kAccessUrl, nullptr, Press::kMouse, kAccessUrl},
      {"Chinese text", "http://" + kZhongWen + ":9600/", nullptr, Press::kHandler,
       "http://" + kZhongWen + ":9600/"},
      {"user's edit", kAccessUrl, L"\u4E2D\u6587", Press::kMouse, kZhongWen},  // 中文
      {"empty box", "", nullptr, Press::kMouse, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(SetClipboardText("sentinel"));
    if (c.written)
      SetAddressText(window_, *c.written);
    if (c.typed) {
      SendMessageW(edit, EM_SETSEL, 0, -1);
      for (const wchar_t* ch = c.typed; *ch; ++ch)
        SendMessageW(edit, WM_CHAR, *ch, 1);
    }
    if (c.press == Press::kHandler) {
      OnCopyClicked(window_);
    } else {
      SendMessageW(Child(kButton), BM_CLICK, 0, 0);
      Pump();
    }
    EXPECT_EQ(ClipboardBytes(CF_TEXT), WithZero(c.expected));
    EXPECT_EQ(ClipboardBytes(CF_UNICODETEXT), Utf16WithZero(c.expected));
  }
}

TEST(Clipboard, HeldByAnotherWindowLeavesItAlone) {
  ASSERT_TRUE(SetClipboardText("before"));
  std::promise<bool> opened;
  std::promise<void> release;
  std::thread holder([&] {
    const HWND owner =
        CreateWindowW(L"Static", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    opened.set_value(OpenClipboard(owner) != FALSE);
    release.get_future().wait();
    CloseClipboard();
    DestroyWindow(owner);
  });
  const bool held = opened.get_future().get();
  const bool placed = held ? SetClipboardText("after") : true;
  release.set_value();
  holder.join();
  ASSERT_TRUE(held);
  EXPECT_FALSE(placed);
  EXPECT_EQ(ClipboardBytes(CF_TEXT), WithZero("before"));
}

// Keys pressed on a focused control, each run through RunMessageLoop as the program does.
enum class Modifier { kNone, kShift, kAlt };

struct Key {
  Modifier modifier;
  WORD code;
};

struct KeyCase {
  const char* what;
  Control focus;
  std::vector<Key> keys;
  bool closes;
  Control focusAfter;  // when the window stays
  bool copies;         // when the window stays
};

std::ostream& operator<<(std::ostream& out, const KeyCase& c) {
  return out << c.what;
}

class MainWindowKeyTest : public MainWindowTest, public testing::WithParamInterface<KeyCase> {
 protected:
  // Posts the key to the focused control; the modifier shows in the thread's key state and, for
  // Alt, in the message and its context bit, as the system delivers it.
  static void PressKey(Key key) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = key.modifier == Modifier::kShift ? 0x80 : 0;
    keys[VK_MENU] = key.modifier == Modifier::kAlt ? 0x80 : 0;
    SetKeyboardState(keys);
    const bool alt = key.modifier == Modifier::kAlt;
    const HWND target = GetFocus();
    PostMessageW(target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, key.code, alt ? 0x20000001 : 1);
    PostMessageW(target, alt ? WM_SYSKEYUP : WM_KEYUP, key.code, alt ? 0xE0000001 : 0xC0000001);
    PostQuitMessage(0);  // taken once what is queued has run
    EXPECT_EQ(RunMessageLoop(), 0);
    keys[VK_SHIFT] = keys[VK_MENU] = 0;
    SetKeyboardState(keys);
  }
};

TEST_P(MainWindowKeyTest, KeysOnFocusedControl) {
  const KeyCase& c = GetParam();
  const Text text = "abc";
  SetAddressText(window_, text);
  ASSERT_TRUE(SetClipboardText("sentinel"));
  SetFocus(Child(c.focus));
  ASSERT_EQ(GetFocus(), Child(c.focus));

  for (const Key& key : c.keys)
    PressKey(key);

  if (c.closes) {
    EXPECT_FALSE(IsWindow(hwnd_));
    return;
  }
  ASSERT_TRUE(IsWindow(hwnd_));
  EXPECT_EQ(GetFocus(), Child(c.focusAfter));
  EXPECT_EQ(GetAddressText(window_), text);  // no tab, line break or other key typed into it
  EXPECT_EQ(ClipboardBytes(CF_TEXT), WithZero(c.copies ? text : "sentinel"));
  EXPECT_EQ(GetWindowLongPtrW(Child(kButton), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON)
      << "the Copy button became a default button";
}

constexpr Key kEsc{Modifier::kNone, VK_ESCAPE};
constexpr Key kAltF4{Modifier::kAlt, VK_F4};
constexpr Key kEnter{Modifier::kNone, VK_RETURN};
constexpr Key kTab{Modifier::kNone, VK_TAB};
constexpr Key kShiftTab{Modifier::kShift, VK_TAB};
constexpr Key kSpace{Modifier::kNone, VK_SPACE};
constexpr bool kCloses = true;
constexpr bool kStays = false;

INSTANTIATE_TEST_SUITE_P(
    Keys, MainWindowKeyTest,
    testing::Values(
        KeyCase{"EscInEditCloses", kEdit, {kEsc}, kCloses, kEdit, false},
        KeyCase{"EscOnButtonCloses", kButton, {kEsc}, kCloses, kButton, false},
        KeyCase{"AltF4InEditCloses", kEdit, {kAltF4}, kCloses, kEdit, false},
        KeyCase{"EnterInEditDoesNothing", kEdit, {kEnter}, kStays, kEdit, false},
        KeyCase{"EnterOnButtonDoesNothing", kButton, {kEnter}, kStays, kButton, false},
        // Tabbing onto a push button is where the dialog manager would make it the default.
        KeyCase{
            "EnterOnButtonReachedByTabDoesNothing", kEdit, {kTab, kEnter}, kStays, kButton, false},
        KeyCase{"EnterInEditReachedByShiftTabDoesNothing",
                kButton,
                {kShiftTab, kEnter},
                kStays,
                kEdit,
                false},
        KeyCase{"TabFromEditToButton", kEdit, {kTab}, kStays, kButton, false},
        KeyCase{"TabFromButtonToEdit", kButton, {kTab}, kStays, kEdit, false},
        KeyCase{"ShiftTabFromButtonToEdit", kButton, {kShiftTab}, kStays, kEdit, false},
        KeyCase{"ShiftTabFromEditToButton", kEdit, {kShiftTab}, kStays, kButton, false},
        KeyCase{"SpaceOnButtonCopies", kButton, {kSpace}, kStays, kButton, true},
        KeyCase{"SpaceOnButtonReachedByTabCopies", kEdit, {kTab, kSpace}, kStays, kButton, true}),
    [](const testing::TestParamInfo<KeyCase>& info) { return std::string(info.param.what); });

}  // namespace
