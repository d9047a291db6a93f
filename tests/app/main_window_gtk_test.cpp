// The real GTK main window, created in this process on the X display named by DISPLAY and driven
// through the GTK main loop. Keys and clicks are fake input of the X server (XTest), so they take
// the user's way through the server, GDK and the window's key handling.
#include "app/main_window_gtk.h"

// GoogleTest before Xlib, whose macros (None, Bool, Status) would otherwise rename GoogleTest's
// own types.
#include <gtest/gtest.h>

#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <poll.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "text/codepage.h"

// Under LeakSanitizer: fontconfig, beneath GTK's text rendering, keeps its font caches for the
// life of the process and never frees them. Leaks with no frame in it are still reported.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

namespace {

using namespace std::chrono_literals;

// The test display has no accessibility bus for GTK's accessibility bridge to look for.
const bool kNoAccessibilityBridge = g_setenv("NO_AT_BRIDGE", "1", TRUE);

// Byte escapes keep the code page 936 texts exact whatever the source encoding is.
const Text kCopyCaption = "\xB8\xB4\xD6\xC6";  // 复制
// 粘贴至浏览器地址栏访问
const Text kHint =
    "\xD5\xB3\xCC\xF9\xD6\xC1\xE4\xAF\xC0\xC0\xC6\xF7\xB5\xD8\xD6\xB7\xC0\xB8\xB7\xC3\xCE\xCA";
const Text kPlaceholder = "\xBB\xF1\xC8\xA1\xD6\xD0...";  // 获取中...
const Text kZhongWen = "\xD6\xD0\xCE\xC4";                // 中文
const Text kStartupFailure =
    "\xCE\xDE\xB7\xA8\xB4\xB4\xBD\xA8\xB4\xB0\xBF\xDA\xA1\xA3";  // 无法创建窗口。
const Text kAccessUrl = "http://203.0.113.7:9600/static/web/index.html";

GtkWidget* TopOf(const MainWindowRef& window) {
  return static_cast<GtkWidget*>(NativeWindowOf(window));
}

// Runs the main loop until `done` holds or the time is up; returns whether it holds.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 5s) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline)
      return false;
    if (!g_main_context_iteration(nullptr, FALSE))
      std::this_thread::sleep_for(2ms);
  }
  return true;
}

// Runs the main loop for the whole time, for what comes late.
void PumpFor(std::chrono::milliseconds time) {
  PumpUntil([] { return false; }, time);
}

// Runs what is pending, including what X has still to deliver for the requests made so far.
void Pump() {
  gdk_display_sync(gdk_display_get_default());
  while (g_main_context_iteration(nullptr, FALSE)) {
  }
}

// The exact UTF-8 bytes that the clipboard's owner hands out as text; nothing when it has none.
std::optional<std::string> ClipboardText() {
  gchar* text = gtk_clipboard_wait_for_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD));
  if (!text)
    return std::nullopt;
  std::string result(text);
  g_free(text);
  return result;
}

// What the created handler saw. It is a plain function, so it reports through this record.
struct CreatedEvent {
  int calls = 0;
  bool windowVisible = true;
  bool windowMapped = true;
  int controls = 0;
  Text address;
};
CreatedEvent created;

GList* ControlsOf(GtkWidget* top) {
  return gtk_container_get_children(GTK_CONTAINER(gtk_bin_get_child(GTK_BIN(top))));
}

void RecordCreated(const MainWindowRef& window) {
  GtkWidget* top = TopOf(window);
  ++created.calls;
  created.windowVisible = gtk_widget_get_visible(top);
  created.windowMapped = gtk_widget_get_mapped(top);
  GList* controls = ControlsOf(top);
  created.controls = static_cast<int>(g_list_length(controls));
  g_list_free(controls);
  created.address = GetAddressText(window);
}

// The entry's change events as a handler of its own sees them: how many, and the text and thread
// of the last one. Read from other threads too.
class ChangeLog {
 public:
  static void Record(GtkEditable* entry, gpointer self) {
    auto& log = *static_cast<ChangeLog*>(self);
    const std::lock_guard<std::mutex> lock(log.mutex_);
    ++log.count_;
    log.text_ = gtk_entry_get_text(GTK_ENTRY(entry));
    log.thread_ = std::this_thread::get_id();
  }
  int count() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return count_;
  }
  std::string text() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return text_;
  }
  std::thread::id thread() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return thread_;
  }
  void Reset() {
    const std::lock_guard<std::mutex> lock(mutex_);
    count_ = 0;
    text_.clear();
    thread_ = std::thread::id();
  }

 private:
  mutable std::mutex mutex_;
  int count_ = 0;
  std::string text_;
  std::thread::id thread_;
};

enum Control { kButton, kLabel, kEntry };

// A shown main window. The controls are the GtkFixed's children in creation order.
class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    created = CreatedEvent();
    window_ = CreateMainWindow(&RecordCreated);
    ASSERT_NE(window_, nullptr) << "no X display to open the window on";
    top_ = TopOf(window_);
    ASSERT_NE(top_, nullptr);
    GList* controls = ControlsOf(top_);
    for (GList* item = controls; item; item = item->next)
      controls_.push_back(static_cast<GtkWidget*>(item->data));
    g_list_free(controls);
    ASSERT_EQ(controls_.size(), 3u);
    g_signal_connect(Child(kEntry), "changed", G_CALLBACK(ChangeLog::Record), &changes_);
    ShowMainWindow(window_);
    ASSERT_TRUE(PumpUntil([&] { return gtk_widget_get_mapped(top_) != FALSE; }));
    // The X input focus, which the user's click would give it, so that keys reach the window.
    gtk_window_present(GTK_WINDOW(top_));
    ASSERT_TRUE(PumpUntil([&] { return gtk_window_is_active(GTK_WINDOW(top_)) != FALSE; }));
    Pump();
  }

  void TearDown() override {
    if (GtkWidget* top = TopOf(window_))
      gtk_widget_destroy(top);
    Pump();
  }

  GtkWidget* Child(Control control) const { return controls_[control]; }
  GtkWidget* Focus() const { return gtk_window_get_focus(GTK_WINDOW(top_)); }
  GdkWindow* Native() const { return gtk_widget_get_window(top_); }

  MainWindowRef window_;
  GtkWidget* top_ = nullptr;
  std::vector<GtkWidget*> controls_;
  ChangeLog changes_;
};

TEST_F(MainWindowTest, CreatedEventRunsOnceWithTheControlsBeforeTheWindowShows) {
  EXPECT_EQ(created.calls, 1);
  EXPECT_FALSE(created.windowVisible);
  EXPECT_FALSE(created.windowMapped);
  EXPECT_EQ(created.controls, 3);
  EXPECT_EQ(created.address, kPlaceholder);
  EXPECT_TRUE(gtk_widget_get_visible(top_));
  const GdkWindowState state = gdk_window_get_state(Native());
  EXPECT_FALSE(state & (GDK_WINDOW_STATE_ICONIFIED | GDK_WINDOW_STATE_MAXIMIZED |
                        GDK_WINDOW_STATE_WITHDRAWN | GDK_WINDOW_STATE_ABOVE));
}

// What a window manager reads from the window's X properties.
class XProperties {
 public:
  explicit XProperties(GdkWindow* window)
      : display_(GDK_WINDOW_XDISPLAY(window)), window_(GDK_WINDOW_XID(window)) {}

  // The property's 32-bit items, as the longs Xlib hands them out in; nothing when the window has
  // no such property or it has another format.
  std::optional<std::vector<long>> Longs(const char* name) const {
    std::optional<std::vector<long>> items;
    Read(name, [&](int format, unsigned long count, const unsigned char* data) {
      if (format == 32)
        items.emplace(reinterpret_cast<const long*>(data),
                      reinterpret_cast<const long*>(data) + count);
    });
    return items;
  }
  // The property's bytes.
  std::optional<std::string> String(const char* name) const {
    std::optional<std::string> text;
    Read(name, [&](int format, unsigned long count, const unsigned char* data) {
      if (format == 8)
        text.emplace(reinterpret_cast<const char*>(data), count);
    });
    return text;
  }

 private:
  void Read(const char* name,
            const std::function<void(int, unsigned long, const unsigned char*)>& use) const {
    Atom type;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display_, window_, XInternAtom(display_, name, False), 0, 1 << 20, False,
                           AnyPropertyType, &type, &format, &count, &after, &data) == Success &&
        type != None) {
      use(format, count, data);
    }
    if (data)
      XFree(data);
  }

  Display* display_;
  Window window_;
};

TEST_F(MainWindowTest, FixedSizeFrameWithTitleMenuAndMinimiseOnlyAndAnEmptyTitle) {
  EXPECT_FALSE(gtk_window_get_resizable(GTK_WINDOW(top_)));
  const XProperties properties(Native());

  XSizeHints hints{};
  long supplied = 0;
  ASSERT_TRUE(XGetWMNormalHints(GDK_WINDOW_XDISPLAY(Native()), GDK_WINDOW_XID(Native()), &hints,
                                &supplied));
  ASSERT_EQ(hints.flags & (PMinSize | PMaxSize), PMinSize | PMaxSize);
  EXPECT_EQ(hints.min_width, hints.max_width);
  EXPECT_EQ(hints.min_height, hints.max_height);
  EXPECT_EQ(hints.min_width, gdk_window_get_width(Native()));
  EXPECT_EQ(hints.min_height, gdk_window_get_height(Native()));

  // Motif hints: flags, functions, decorations. No resizing and no maximising, by the frame or by
  // the window menu.
  constexpr long kFunctionsAndDecorations = 1 | 2;
  constexpr long kMove = 4, kMinimise = 8, kClose = 32;
  constexpr long kBorder = 2, kTitle = 8, kMenu = 16, kMinimiseButton = 32;
  const auto motif = properties.Longs("_MOTIF_WM_HINTS");
  ASSERT_TRUE(motif.has_value());
  ASSERT_GE(motif->size(), 3u);
  EXPECT_EQ((*motif)[0] & kFunctionsAndDecorations, kFunctionsAndDecorations);
  EXPECT_EQ((*motif)[1], kMove | kMinimise | kClose);
  EXPECT_EQ((*motif)[2], kBorder | kTitle | kMenu | kMinimiseButton);

  // Without a title GDK would name the window after the program.
  EXPECT_EQ(properties.String("_NET_WM_NAME"), std::string());
  EXPECT_EQ(properties.String("WM_NAME"), std::string());
  // The class by which desktops, and the end-to-end tests, find the program's window.
  const auto windowClass = properties.String("WM_CLASS");
  ASSERT_TRUE(windowClass.has_value());
  EXPECT_EQ(windowClass->substr(0, windowClass->find('\0')), "accessurl");

  EXPECT_EQ(gtk_window_get_type_hint(GTK_WINDOW(top_)), GDK_WINDOW_TYPE_HINT_NORMAL);
  EXPECT_FALSE(gtk_window_get_skip_taskbar_hint(GTK_WINDOW(top_)));  // it has a taskbar button
  EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(top_)), nullptr);
  EXPECT_FALSE(gtk_window_get_modal(GTK_WINDOW(top_)));
}

// The images of a .ico file of 32-bit BGRA bitmaps, as RGBA rows top to bottom, by size; none
// when the file is shorter than its directory says.
std::map<int, std::vector<std::uint8_t>> ReadIco(const char* path) {
  std::ifstream file(path, std::ios::binary);
  const std::vector<std::uint8_t> ico{std::istreambuf_iterator<char>(file),
                                      std::istreambuf_iterator<char>()};
  const auto u16 = [&](std::size_t at) { return ico[at] | ico[at + 1] << 8; };
  const auto u32 = [&](std::size_t at) {
    return static_cast<std::size_t>(u16(at)) | static_cast<std::size_t>(u16(at + 2)) << 16;
  };
  std::map<int, std::vector<std::uint8_t>> images;
  if (ico.size() < 6)
    return images;
  for (int i = 0; i < u16(4); ++i) {
    const std::size_t entry = 6 + 16 * static_cast<std::size_t>(i);
    const int size = ico[entry];
    const std::size_t pixels = u32(entry + 12) + 40;  // after the BITMAPINFOHEADER
    if (entry + 16 > ico.size() || pixels + static_cast<std::size_t>(size) * size * 4 > ico.size())
      return {};
    std::vector<std::uint8_t>& rgba = images[size];
    for (int y = size - 1; y >= 0; --y) {  // bottom-up
      for (int x = 0; x < size; ++x) {
        const std::size_t at = pixels + (static_cast<std::size_t>(y) * size + x) * 4;
        rgba.insert(rgba.end(), {ico[at + 2], ico[at + 1], ico[at], ico[at + 3]});
      }
    }
  }
  return images;
}

TEST_F(MainWindowTest, IconIsTheImageOfTheWindowsProgram) {
  const auto expected = ReadIco(ACCESSURL_ICO_FILE);
  ASSERT_EQ(expected.size(), 3u) << ACCESSURL_ICO_FILE;
  std::map<int, std::vector<std::uint8_t>> shown;
  GList* icons = gtk_window_get_icon_list(GTK_WINDOW(top_));
  for (GList* item = icons; item; item = item->next) {
    GdkPixbuf* icon = GDK_PIXBUF(item->data);
    ASSERT_EQ(gdk_pixbuf_get_width(icon), gdk_pixbuf_get_height(icon));
    ASSERT_TRUE(gdk_pixbuf_get_has_alpha(icon));
    ASSERT_EQ(gdk_pixbuf_get_n_channels(icon), 4);
    const int size = gdk_pixbuf_get_width(icon);
    const guint8* pixels = gdk_pixbuf_read_pixels(icon);
    std::vector<std::uint8_t>& rgba = shown[size];
    for (int y = 0; y < size; ++y) {
      const guint8* row = pixels + static_cast<std::ptrdiff_t>(y) * gdk_pixbuf_get_rowstride(icon);
      rgba.insert(rgba.end(), row, row + size * 4);
    }
  }
  g_list_free(icons);
  EXPECT_TRUE(shown == expected) << "the window's icons differ from " << ACCESSURL_ICO_FILE
                                 << "; regenerate both with tools/make_icon.py";
  // And a window manager sees them: _NET_WM_ICON holds width, height and the pixels of each.
  const auto property = XProperties(Native()).Longs("_NET_WM_ICON");
  ASSERT_TRUE(property.has_value());
  std::vector<int> sizes;
  for (std::size_t at = 0; at + 1 < property->size();
       at += 2 + static_cast<std::size_t>((*property)[at] * (*property)[at + 1])) {
    sizes.push_back(static_cast<int>((*property)[at]));
  }
  EXPECT_EQ(sizes, (std::vector<int>{16, 32, 48}));
}

TEST_F(MainWindowTest, OuterRectangleIs423By112CentredOnA1920By1080Screen) {
  GdkRectangle screen;
  gdk_monitor_get_geometry(gdk_display_get_primary_monitor(gdk_display_get_default()), &screen);
  if (screen.width != 1920 || screen.height != 1080) {
    GTEST_SKIP() << "needs a 1920x1080 primary screen, this one is " << screen.width << "x"
                 << screen.height;
  }
  GdkRectangle frame;
  gdk_window_get_frame_extents(Native(), &frame);
  EXPECT_EQ(frame.x, 748);
  EXPECT_EQ(frame.y, 484);
  EXPECT_EQ(frame.width, 423);
  EXPECT_EQ(frame.height, 112);
}

TEST_F(MainWindowTest, ControlsInCreationOrderWithTheirPlaceAndText) {
  struct Case {
    GType type;
    GdkRectangle rect;  // in the window's client area
    Text text;
  } cases[] = {
      {GTK_TYPE_BUTTON, {360, 40, 48, 32}, kCopyCaption},
      {GTK_TYPE_LABEL, {136, 8, 136, 24}, kHint},
      {GTK_TYPE_ENTRY, {8, 40, 344, 32}, kPlaceholder},
  };
  for (int i = 0; i < 3; ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(testing::Message() << "control " << i);
    GtkWidget* control = Child(static_cast<Control>(i));
    EXPECT_EQ(G_OBJECT_TYPE(control), c.type);
    int x = -1, y = -1;
    ASSERT_TRUE(gtk_widget_translate_coordinates(control, top_, 0, 0, &x, &y));
    EXPECT_EQ(x, c.rect.x);
    EXPECT_EQ(y, c.rect.y);
    EXPECT_EQ(gtk_widget_get_allocated_width(control), c.rect.width);
    EXPECT_EQ(gtk_widget_get_allocated_height(control), c.rect.height);
    const char* text = c.type == GTK_TYPE_BUTTON  ? gtk_button_get_label(GTK_BUTTON(control))
                       : c.type == GTK_TYPE_LABEL ? gtk_label_get_text(GTK_LABEL(control))
                                                  : gtk_entry_get_text(GTK_ENTRY(control));
    EXPECT_EQ(std::string(text ? text : "(none)"), TextToUtf8(c.text));
    EXPECT_TRUE(gtk_widget_get_mapped(control));
    EXPECT_TRUE(gtk_widget_is_sensitive(control));
    EXPECT_EQ(gtk_widget_get_can_focus(control), c.type != GTK_TYPE_LABEL);
  }

  GtkButton* button = GTK_BUTTON(Child(kButton));
  EXPECT_FALSE(gtk_button_get_use_underline(button));
  EXPECT_EQ(gtk_button_get_image(button), nullptr);
  EXPECT_FALSE(gtk_widget_get_can_default(GTK_WIDGET(button)));
  EXPECT_EQ(gtk_window_get_default_widget(GTK_WINDOW(top_)), nullptr);

  // The hint: plain text on one line, left-aligned and vertically centred.
  GtkLabel* label = GTK_LABEL(Child(kLabel));
  EXPECT_FALSE(gtk_label_get_use_underline(label));
  EXPECT_FALSE(gtk_label_get_use_markup(label));
  EXPECT_TRUE(gtk_label_get_single_line_mode(label));
  EXPECT_FALSE(gtk_label_get_line_wrap(label));
  EXPECT_FALSE(gtk_label_get_selectable(label));
  EXPECT_EQ(gtk_label_get_xalign(label), 0.0f);
  EXPECT_EQ(gtk_label_get_yalign(label), 0.5f);
  // With its font the hint fits its 136 pixels without the ellipsis.
  PangoLayout* layout = gtk_label_get_layout(label);
  EXPECT_FALSE(pango_layout_is_ellipsized(layout));

  // The address entry: editable plain text, left-aligned, caret at the start, nothing selected.
  GtkEntry* entry = GTK_ENTRY(Child(kEntry));
  EXPECT_TRUE(gtk_editable_get_editable(GTK_EDITABLE(entry)));
  EXPECT_TRUE(gtk_entry_get_visibility(entry));
  EXPECT_TRUE(gtk_entry_get_has_frame(entry));
  EXPECT_FALSE(gtk_entry_get_activates_default(entry));
  EXPECT_EQ(gtk_entry_get_alignment(entry), 0.0f);
  EXPECT_EQ(gtk_entry_get_max_length(entry), 0);
  EXPECT_EQ(gtk_editable_get_position(GTK_EDITABLE(entry)), 0);
  EXPECT_FALSE(gtk_editable_get_selection_bounds(GTK_EDITABLE(entry), nullptr, nullptr));
}

TEST_F(MainWindowTest, FocusStartsInTheEntry) {
  EXPECT_EQ(Focus(), Child(kEntry));
}

TEST_F(MainWindowTest, MessageLoopRunsUntilTheWindowIsClosed) {
  static bool timedOut;
  timedOut = false;
  g_idle_add(
      [](gpointer top) {
        gtk_window_close(GTK_WINDOW(top));
        return G_SOURCE_REMOVE;
      },
      top_);
  const guint guard = g_timeout_add_seconds(
      10,
      [](gpointer) {
        timedOut = true;
        gtk_main_quit();
        return G_SOURCE_REMOVE;
      },
      nullptr);
  EXPECT_EQ(RunMessageLoop(), 0);
  EXPECT_FALSE(timedOut) << "the loop went on after the window was closed";
  if (!timedOut)
    g_source_remove(guard);
  EXPECT_EQ(NativeWindowOf(window_), nullptr);
  EXPECT_EQ(RunMessageLoop(), 0);  // no window left: it returns at once
}

struct SetTextCase {
  const char* what;
  Text text;
  bool fromWorker;
};

TEST_F(MainWindowTest, SetAddressTextReturnsOnceTheEntryHoldsTheTextAndRaisesOneChange) {
  const SetTextCase cases[] = {
      {"new text from the main thread", kAccessUrl, false},
      {"the shown text again from the main thread", kAccessUrl, false},
      {"new text from a worker", "http://" + kZhongWen + ":9600/", true},
      {"the shown text again from a worker", "http://" + kZhongWen + ":9600/", true},
  };
  const std::thread::id mainThread = std::this_thread::get_id();
  for (const SetTextCase& c : cases) {
    SCOPED_TRACE(c.what);
    changes_.Reset();
    std::string seen;  // the entry's text at its last change, as it was when the call returned
    if (c.fromWorker) {
      std::atomic<bool> returned{false};
      std::thread worker([&] {
        SetAddressText(window_, c.text);
        seen = changes_.text();
        returned = true;
      });
      // The main thread keeps out of the loop for a while; the call waits for it meanwhile
      // instead of writing the entry from the worker.
      std::this_thread::sleep_for(200ms);
      EXPECT_FALSE(returned);
      EXPECT_EQ(changes_.count(), 0);
      EXPECT_TRUE(PumpUntil([&] { return returned.load(); }));
      worker.join();
    } else {
      SetAddressText(window_, c.text);
      seen = changes_.text();
    }
    Pump();
    EXPECT_EQ(seen, TextToUtf8(c.text));
    EXPECT_EQ(GetAddressText(window_), c.text);
    EXPECT_EQ(changes_.count(), 1);
    EXPECT_EQ(changes_.thread(), mainThread);
  }
}

TEST_F(MainWindowTest, SetAddressTextAfterTheWindowIsGoneTouchesNothing) {
  gtk_widget_destroy(top_);
  Pump();
  EXPECT_EQ(NativeWindowOf(window_), nullptr);
  SetAddressText(window_, kAccessUrl);

  // From a worker it returns without the main loop, which has ended when the program is ending.
  auto returned = std::make_shared<std::promise<void>>();
  std::future<void> result = returned->get_future();
  std::thread worker([returned, window = window_] {
    SetAddressText(window, kAccessUrl);
    returned->set_value();
  });
  if (result.wait_for(10s) != std::future_status::ready) {
    worker.detach();
    FAIL() << "SetAddressText on a destroyed window did not return";
  }
  worker.join();
  EXPECT_EQ(GetAddressText(window_), Text());
  EXPECT_EQ(changes_.count(), 0);
}

TEST_F(MainWindowTest, SetAddressTextWaitingWhileTheWindowIsDestroyedReturns) {
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    SetAddressText(window_, kAccessUrl);
    returned = true;
  });
  std::this_thread::sleep_for(200ms);  // the call is queued and waits for the main loop
  gtk_widget_destroy(top_);
  const bool done = PumpUntil([&] { return returned.load(); }, 10s);
  if (!done) {
    worker.detach();
    FAIL() << "SetAddressText did not return after the window was destroyed";
  }
  worker.join();
  EXPECT_EQ(changes_.count(), 0);
}

// Keys as the keyboard sends them: the modifiers held down around the key.
enum class Modifier { kNone, kShift, kAlt };

struct Key {
  KeySym keysym;
  Modifier modifier;
};

void FakeKey(Display* display, KeySym keysym, bool down) {
  XTestFakeKeyEvent(display, XKeysymToKeycode(display, keysym), down, CurrentTime);
}

// Types the key on the X server's keyboard and runs the loop until the focused window has had it.
void PressKey(GtkWidget* top, Key key) {
  Display* display = GDK_DISPLAY_XDISPLAY(gtk_widget_get_display(top));
  const KeySym modifier = key.modifier == Modifier::kShift ? XK_Shift_L
                          : key.modifier == Modifier::kAlt ? XK_Alt_L
                                                           : NoSymbol;
  if (modifier != NoSymbol)
    FakeKey(display, modifier, true);
  FakeKey(display, key.keysym, true);
  FakeKey(display, key.keysym, false);
  if (modifier != NoSymbol)
    FakeKey(display, modifier, false);
  Pump();
  PumpFor(100ms);
}

// Moves the pointer over the widget's centre and clicks the left button there.
void Click(GtkWidget* widget) {
  GtkWidget* top = gtk_widget_get_toplevel(widget);
  int x = 0, y = 0;
  ASSERT_TRUE(
      gtk_widget_translate_coordinates(widget, top, gtk_widget_get_allocated_width(widget) / 2,
                                       gtk_widget_get_allocated_height(widget) / 2, &x, &y));
  int rootX = 0, rootY = 0;
  gdk_window_get_root_coords(gtk_widget_get_window(top), x, y, &rootX, &rootY);
  Display* display = GDK_DISPLAY_XDISPLAY(gtk_widget_get_display(top));
  XTestFakeMotionEvent(display, -1, rootX, rootY, CurrentTime);
  XTestFakeButtonEvent(display, 1, True, CurrentTime);
  XTestFakeButtonEvent(display, 1, False, CurrentTime);
  Pump();
  PumpFor(100ms);
}

TEST_F(MainWindowTest, TypingRaisesTheChangeEvent) {
  PressKey(top_, {XK_x, Modifier::kNone});
  EXPECT_EQ(changes_.count(), 1);
  EXPECT_EQ(GetAddressText(window_), "x" + kPlaceholder);
}

// How the Copy button is pressed.
enum class Press { kHandler, kMouse };

TEST_F(MainWindowTest, CopyPutsTheShownTextOnTheClipboard) {
  GtkEditable* entry = GTK_EDITABLE(Child(kEntry));
  struct Case {
    const char* what;
    std::optional<Text> written;  // by SetAddressText; none leaves the placeholder
    std::optional<Text> typed;    // replaces everything, as the user would
    Press press;
    Text expected;
  } cases[] = {
      {"placeholder", std::nullopt, std::nullopt, Press::kHandler, kPlaceholder},
      {"access URL", kAccessUrl, std::nullopt, Press::kMouse, kAccessUrl},
      {"Chinese text", "http://" + kZhongWen + ":9600/", std::nullopt, Press::kHandler,
       "http://" + kZhongWen + ":9600/"},
      {"user's edit", kAccessUrl, kZhongWen, Press::kMouse, kZhongWen},
      {"empty entry", "", std::nullopt, Press::kMouse, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(SetClipboardText("sentinel"));
    ASSERT_EQ(ClipboardText(), "sentinel");
    if (c.written)
      SetAddressText(window_, *c.written);
    if (c.typed) {
      gtk_editable_delete_text(entry, 0, -1);
      const std::string utf8 = TextToUtf8(*c.typed);
      gint position = 0;
      gtk_editable_insert_text(entry, utf8.data(), static_cast<gint>(utf8.size()), &position);
    }
    if (c.press == Press::kHandler)
      OnCopyClicked(window_);
    else
      Click(Child(kButton));
    EXPECT_EQ(ClipboardText().value_or("(nothing)"), TextToUtf8(c.expected));
  }
}

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

class MainWindowKeyTest : public MainWindowTest, public testing::WithParamInterface<KeyCase> {};

TEST_P(MainWindowKeyTest, KeysOnFocusedControl) {
  const KeyCase& c = GetParam();
  const Text text = "abc";
  SetAddressText(window_, text);
  ASSERT_TRUE(SetClipboardText("sentinel"));
  gtk_widget_grab_focus(Child(c.focus));
  ASSERT_EQ(Focus(), Child(c.focus));

  for (const Key& key : c.keys)
    PressKey(top_, key);
  // A button pressed from the keyboard would click at the latest a quarter of a second later.
  PumpFor(400ms);

  if (c.closes) {
    EXPECT_TRUE(PumpUntil([&] { return NativeWindowOf(window_) == nullptr; }));
    return;
  }
  ASSERT_NE(NativeWindowOf(window_), nullptr);
  EXPECT_EQ(Focus(), Child(c.focusAfter));
  EXPECT_EQ(GetAddressText(window_), text);  // no tab, line break or other key typed into it
  EXPECT_EQ(ClipboardText(), c.copies ? "abc" : "sentinel");
  EXPECT_EQ(gtk_window_get_default_widget(GTK_WINDOW(top_)), nullptr);
}

constexpr Key kEsc{XK_Escape, Modifier::kNone};
constexpr Key kAltF4{XK_F4, Modifier::kAlt};
constexpr Key kEnter{XK_Return, Modifier::kNone};
constexpr Key kKeypadEnter{XK_KP_Enter, Modifier::kNone};
constexpr Key kTab{XK_Tab, Modifier::kNone};
constexpr Key kShiftTab{XK_Tab, Modifier::kShift};
constexpr Key kSpace{XK_space, Modifier::kNone};
constexpr bool kCloses = true;
constexpr bool kStays = false;

INSTANTIATE_TEST_SUITE_P(
    Keys, MainWindowKeyTest,
    testing::Values(
        KeyCase{"EscInEntryCloses", kEntry, {kEsc}, kCloses, kEntry, false},
        KeyCase{"EscOnButtonCloses", kButton, {kEsc}, kCloses, kButton, false},
        KeyCase{"AltF4InEntryCloses", kEntry, {kAltF4}, kCloses, kEntry, false},
        KeyCase{"EnterInEntryDoesNothing", kEntry, {kEnter}, kStays, kEntry, false},
        KeyCase{"EnterOnButtonDoesNothing", kButton, {kEnter}, kStays, kButton, false},
        KeyCase{"KeypadEnterOnButtonDoesNothing", kButton, {kKeypadEnter}, kStays, kButton, false},
        KeyCase{
            "EnterOnButtonReachedByTabDoesNothing", kEntry, {kTab, kEnter}, kStays, kButton, false},
        KeyCase{"EnterInEntryReachedByShiftTabDoesNothing",
                kButton,
                {kShiftTab, kEnter},
                kStays,
                kEntry,
                false},
        KeyCase{"TabFromEntryToButton", kEntry, {kTab}, kStays, kButton, false},
        KeyCase{"TabFromButtonToEntry", kButton, {kTab}, kStays, kEntry, false},
        KeyCase{"ShiftTabFromButtonToEntry", kButton, {kShiftTab}, kStays, kEntry, false},
        KeyCase{"ShiftTabFromEntryToButton", kEntry, {kShiftTab}, kStays, kButton, false},
        KeyCase{"SpaceOnButtonCopies", kButton, {kSpace}, kStays, kButton, true},
        KeyCase{"SpaceOnButtonReachedByTabCopies", kEntry, {kTab, kSpace}, kStays, kButton, true}),
    [](const testing::TestParamInfo<KeyCase>& info) { return std::string(info.param.what); });

// A window manager of the plainest kind, on an X connection and a thread of its own: it puts each
// window that is mapped into a frame with a `border` on the left, right and bottom and a `title`
// bar on top, the frame's corner where the window asked to be, and grants the sizes the window
// asks for. It keeps no EWMH properties, so GDK finds the frame by walking up the window tree.
class FramingWindowManager {
 public:
  FramingWindowManager(int border, int title) : border_(border), title_(title) {}
  ~FramingWindowManager() { Stop(); }
  FramingWindowManager(const FramingWindowManager&) = delete;
  FramingWindowManager& operator=(const FramingWindowManager&) = delete;

  // False when the display cannot be opened.
  bool Start() {
    display_ = XOpenDisplay(nullptr);
    if (!display_)
      return false;
    XSelectInput(display_, DefaultRootWindow(display_),
                 SubstructureRedirectMask | SubstructureNotifyMask);
    XSync(display_, False);
    thread_ = std::thread([this] { Run(); });
    return true;
  }

  // Ends the manager; the windows it framed go back to the root window.
  void Stop() {
    if (!display_)
      return;
    stop_ = true;
    thread_.join();
    XCloseDisplay(display_);
    display_ = nullptr;
  }

 private:
  void Run() {
    pollfd connection{ConnectionNumber(display_), POLLIN, 0};
    while (!stop_) {
      if (!XPending(display_)) {
        poll(&connection, 1, 10);
        continue;
      }
      XEvent event;
      XNextEvent(display_, &event);
      if (event.type == MapRequest)
        Frame(event.xmaprequest.window);
      else if (event.type == ConfigureRequest)
        Configure(event.xconfigurerequest);
      XSync(display_, False);
    }
  }

  void Frame(Window client) {
    XWindowAttributes placed;
    XGetWindowAttributes(display_, client, &placed);
    const Window frame = XCreateSimpleWindow(
        display_, DefaultRootWindow(display_), placed.x, placed.y,
        static_cast<unsigned>(placed.width + 2 * border_),
        static_cast<unsigned>(placed.height + border_ + title_), 0, 0, 0x808080);
    XSelectInput(display_, frame, SubstructureRedirectMask | SubstructureNotifyMask);
    XAddToSaveSet(display_, client);
    XReparentWindow(display_, client, frame, border_, title_);
    XMapWindow(display_, frame);
    XMapWindow(display_, client);
    frames_[client] = frame;
    TellPlace(client);
  }

  void Configure(const XConfigureRequestEvent& request) {
    const auto framed = frames_.find(request.window);
    if (framed == frames_.end()) {
      XWindowChanges changes{
          request.x,     request.y,     request.width, request.height, request.border_width,
          request.above, request.detail};
      XConfigureWindow(display_, request.window, static_cast<unsigned>(request.value_mask),
                       &changes);
      return;
    }
    XWindowAttributes now;
    XGetWindowAttributes(display_, request.window, &now);
    const int width = (request.value_mask & CWWidth) ? request.width : now.width;
    const int height = (request.value_mask & CWHeight) ? request.height : now.height;
    XResizeWindow(display_, request.window, static_cast<unsigned>(width),
                  static_cast<unsigned>(height));
    XResizeWindow(display_, framed->second, static_cast<unsigned>(width + 2 * border_),
                  static_cast<unsigned>(height + border_ + title_));
    TellPlace(request.window);
  }

  // The synthetic ConfigureNotify with root coordinates that a framed window is owed.
  void TellPlace(Window client) {
    XWindowAttributes now;
    XGetWindowAttributes(display_, client, &now);
    Window child;
    XEvent notify{};
    notify.xconfigure.type = ConfigureNotify;
    notify.xconfigure.event = client;
    notify.xconfigure.window = client;
    XTranslateCoordinates(display_, client, DefaultRootWindow(display_), 0, 0, &notify.xconfigure.x,
                          &notify.xconfigure.y, &child);
    notify.xconfigure.width = now.width;
    notify.xconfigure.height = now.height;
    XSendEvent(display_, client, False, StructureNotifyMask, &notify);
  }

  const int border_;
  const int title_;
  Display* display_ = nullptr;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::map<Window, Window> frames_;  // client to frame; the manager's thread only
};

TEST(MainWindowFramed, ClientAreaMakesRoomForTheFrameDownToTheControlsMargins) {
  struct Case {
    const char* what;
    int border;
    int title;
    GdkRectangle client;  // the size only
    GdkRectangle outer;
  } cases[] = {
      {"a thin frame", 3, 20, {0, 0, 417, 89}, {0, 0, 423, 112}},
      {"a frame too thick for 423 x 112", 10, 40, {0, 0, 416, 80}, {0, 0, 436, 130}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FramingWindowManager manager(c.border, c.title);
    ASSERT_TRUE(manager.Start());
    const MainWindowRef window = CreateMainWindow(nullptr);
    ASSERT_NE(window, nullptr);
    GtkWidget* top = TopOf(window);
    ShowMainWindow(window);
    GdkWindow* native = gtk_widget_get_window(top);
    GdkRectangle frame{};
    const bool settled = PumpUntil([&] {
      gdk_window_get_frame_extents(native, &frame);
      return gdk_window_get_width(native) == c.client.width &&
             gdk_window_get_height(native) == c.client.height && frame.width == c.outer.width &&
             frame.height == c.outer.height;
    });
    EXPECT_TRUE(settled) << "client " << gdk_window_get_width(native) << "x"
                         << gdk_window_get_height(native) << ", frame " << frame.width << "x"
                         << frame.height;
    // The frame's corner stays where the centred window was placed.
    GdkRectangle screen;
    gdk_monitor_get_geometry(gdk_display_get_primary_monitor(gdk_display_get_default()), &screen);
    EXPECT_EQ(frame.x, screen.x + (screen.width - 423) / 2);
    EXPECT_EQ(frame.y, screen.y + (screen.height - 112) / 2);
    // And the controls keep their places in the client area.
    GList* controls = ControlsOf(top);
    GtkWidget* button = static_cast<GtkWidget*>(controls->data);
    g_list_free(controls);
    int x = -1, y = -1;
    gtk_widget_translate_coordinates(button, top, 0, 0, &x, &y);
    EXPECT_EQ(x, 360);
    EXPECT_EQ(y, 40);
    EXPECT_EQ(gtk_widget_get_allocated_width(button), 48);
    EXPECT_EQ(gtk_widget_get_allocated_height(button), 32);

    gtk_widget_destroy(top);
    Pump();
  }
}

TEST(MainWindowStartup, WithoutADisplayThereIsNoWindowAndTheFailureGoesToStandardError) {
  // A fresh process: this one may have GTK running already.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        const bool made = CreateMainWindow(nullptr) != nullptr;
        ReportStartupFailure();
        std::exit(made ? 1 : 0);
      },
      testing::ExitedWithCode(0), TextToUtf8(kStartupFailure));
}

}  // namespace
