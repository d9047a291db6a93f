// The main window on Linux with GTK 3: a fixed-size top-level window whose client area is a
// GtkFixed holding the Copy button, the hint label and the address entry at the same client
// positions and sizes as the Win32 window. Texts stay code page 936 until the GTK call that needs
// UTF-8.
#include <gtk/gtk.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "app/main_window.h"
#include "app/main_window_texts.h"
#include "app/main_window_gtk.h"
#include "app/program_icon.h"
#include "text/codepage.h"

// Shared between the main thread and any thread that calls SetAddressText. Only `alive` is read
// off the main thread; the widgets are touched on the main thread alone.
class MainWindow {
 public:
  // True from creation until the window is destroyed; only the main thread changes it, so a late
  // SetAddressText finds nothing to write to.
  std::atomic<bool> alive{false};
  GtkWidget* window = nullptr;  // the GtkWindow
  GtkWidget* client = nullptr;  // the GtkFixed that fills it
  GtkWidget* 按钮_复制 = nullptr;
  GtkWidget* 标签1 = nullptr;
  GtkWidget* 编辑框_网址 = nullptr;
};

namespace {

// The X class of the window (WM_CLASS), by which desktops and test tools find it.
constexpr char kProgramName[] = "accessurl";
// The widget name that the window's style rules select.
constexpr char kStyleName[] = "accessurl-main-window";
constexpr char kWindowRefKey[] = "accessurl-main-window-ref";

// The outer size of the window, frame included, when a window manager frames it.
constexpr int kWindowWidth = 423;
constexpr int kWindowHeight = 112;
// The controls reach x = 408 and y = 72; the client area keeps the 8 pixel margin of the left and
// top edges on the right and bottom too, however large the frame.
constexpr int kMinimumClientWidth = 416;
constexpr int kMinimumClientHeight = 80;

// Sizes close to the Win32 window's: a 9 point font like DEFAULT_GUI_FONT, so the hint fits its
// 136 pixels, and neither theme minimum heights nor the wide padding of text buttons, which would
// make the button or the entry larger than their 48 x 32 and 344 x 32.
constexpr char kStyle[] =
    "#accessurl-main-window { font-size: 9pt; }\n"
    "#accessurl-main-window button, #accessurl-main-window entry { min-height: 0; }\n"
    "#accessurl-main-window button { padding-left: 8px; padding-right: 8px; }\n";

enum class ControlKind { kButton, kLabel, kEntry };

struct ControlDefinition {
  GtkWidget* MainWindow::*widget;
  ControlKind kind;
  int left;
  int top;
  int width;
  int height;
  const char* text;  // code page 936
};

// In creation order, which is also the order of the GtkFixed's children.
const ControlDefinition kControls[] = {
    {&MainWindow::按钮_复制, ControlKind::kButton, 360, 40, 48, 32, kCopyCaption},
    {&MainWindow::标签1, ControlKind::kLabel, 136, 8, 136, 24, kHint},
    {&MainWindow::编辑框_网址, ControlKind::kEntry, 8, 40, 344, 32, kPlaceholder},
};

// Main-thread state of the toolkit. The main thread is the one that initialised GTK; it is set
// before any other thread of the program exists.
bool gtkReady = false;
std::thread::id mainThread;
// Main windows that exist; the message loop ends when the last one is destroyed.
int openWindows = 0;

bool InitialiseGtk() {
  if (gtkReady)
    return true;
  if (g_get_prgname() == nullptr)
    g_set_prgname(kProgramName);
  if (!gtk_init_check(nullptr, nullptr))
    return false;
  GtkCssProvider* style = gtk_css_provider_new();
  gtk_css_provider_load_from_data(style, kStyle, -1, nullptr);
  gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(style),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(style);
  mainThread = std::this_thread::get_id();
  gtkReady = true;
  return true;
}

const MainWindowRef& WindowFrom(gpointer data) {
  return *static_cast<const MainWindowRef*>(data);
}

bool IsEnterKey(guint keyval) {
  return keyval == GDK_KEY_Return || keyval == GDK_KEY_KP_Enter || keyval == GDK_KEY_ISO_Enter;
}

void OnButtonClicked(GtkButton*, gpointer data) {
  OnCopyClicked(WindowFrom(data));
}

// A GtkButton presses itself on Enter as on space; the Copy button is pressed by the mouse and the
// space bar only, and the window does not pass Enter on to a default widget either.
gboolean OnButtonKeyPress(GtkWidget*, GdkEventKey* event, gpointer) {
  return IsEnterKey(event->keyval) ? TRUE : FALSE;
}

void OnEntryChanged(GtkEditable*, gpointer data) {
  OnAddressTextChanged(WindowFrom(data));
}

// Connected after the window's own handler, so it sees only what the focused control, its input
// method and the window's key bindings left alone: Esc, and Alt+F4 where no window manager takes
// it first. Both close the window; nothing refuses the closing.
gboolean OnUnhandledKey(GtkWidget* widget, GdkEventKey* event, gpointer) {
  const guint modifiers = event->state & gtk_accelerator_get_default_mod_mask();
  if (event->keyval == GDK_KEY_Escape ||
      (event->keyval == GDK_KEY_F4 && modifiers == GDK_MOD1_MASK)) {
    gtk_window_close(GTK_WINDOW(widget));
    return TRUE;
  }
  return FALSE;
}

// A window manager puts its frame around the client area. Once the window holds the size last
// asked for, the frame's share is known and the client area is sized so that the outer rectangle
// is 423 x 112; without a frame the client area is that size itself.
gboolean OnWindowConfigured(GtkWidget* widget, GdkEvent*, gpointer data) {
  const MainWindow& state = *WindowFrom(data);
  GdkWindow* native = gtk_widget_get_window(widget);
  if (!native || !state.client)
    return FALSE;
  int width = 0, height = 0;
  gtk_widget_get_size_request(state.client, &width, &height);
  if (gdk_window_get_width(native) != width || gdk_window_get_height(native) != height)
    return FALSE;  // a resize is under way
  GdkRectangle frame;
  gdk_window_get_frame_extents(native, &frame);
  const int fittedWidth = std::max(kMinimumClientWidth, kWindowWidth - (frame.width - width));
  const int fittedHeight = std::max(kMinimumClientHeight, kWindowHeight - (frame.height - height));
  if (fittedWidth != width || fittedHeight != height)
    gtk_widget_set_size_request(state.client, fittedWidth, fittedHeight);
  return FALSE;
}

void OnWindowDestroyed(GtkWidget*, gpointer data) {
  MainWindow& state = *WindowFrom(data);
  state.alive.store(false);
  state.window = state.client = nullptr;
  state.按钮_复制 = state.标签1 = state.编辑框_网址 = nullptr;
  if (--openWindows == 0 && gtk_main_level() > 0)
    gtk_main_quit();
}

GtkWidget* NewControl(const ControlDefinition& control, gpointer windowRef) {
  const std::string text = TextToUtf8(control.text);
  GtkWidget* widget = nullptr;
  switch (control.kind) {
    case ControlKind::kButton: {
      widget = gtk_button_new_with_label(text.c_str());  // no mnemonic
      g_signal_connect(widget, "clicked", G_CALLBACK(OnButtonClicked), windowRef);
      g_signal_connect(widget, "key-press-event", G_CALLBACK(OnButtonKeyPress), nullptr);
      break;
    }
    case ControlKind::kLabel: {
      widget = gtk_label_new(text.c_str());  // plain text: no markup, no mnemonic
      GtkLabel* label = GTK_LABEL(widget);
      gtk_label_set_single_line_mode(label, TRUE);
      gtk_label_set_xalign(label, 0.0f);
      gtk_label_set_yalign(label, 0.5f);
      // With a font too large for its 136 pixels the hint ends in an ellipsis instead of widening
      // the label.
      gtk_label_set_ellipsize(label, PANGO_ELLIPSIZE_END);
      break;
    }
    case ControlKind::kEntry: {
      widget = gtk_entry_new();
      GtkEntry* entry = GTK_ENTRY(widget);
      gtk_entry_set_text(entry, text.c_str());
      gtk_entry_set_activates_default(entry, FALSE);
      gtk_editable_set_position(GTK_EDITABLE(entry), 0);
      g_signal_connect(widget, "changed", G_CALLBACK(OnEntryChanged), windowRef);
      break;
    }
  }
  gtk_widget_set_size_request(widget, control.width, control.height);
  return widget;
}

GList* ProgramIcons() {
  GList* icons = nullptr;
  for (int i = 0; i < kProgramIconImageCount; ++i) {
    const ProgramIconImage& image = kProgramIconImages[i];
    GBytes* pixels =
        g_bytes_new_static(image.rgba, static_cast<gsize>(image.size) * image.size * 4);
    icons = g_list_append(icons, gdk_pixbuf_new_from_bytes(pixels, GDK_COLORSPACE_RGB, TRUE, 8,
                                                           image.size, image.size, image.size * 4));
    g_bytes_unref(pixels);
  }
  return icons;
}

// The primary monitor's area; the first monitor's where none is marked primary.
GdkRectangle ScreenArea() {
  GdkRectangle area{0, 0, 0, 0};
  GdkDisplay* display = gdk_display_get_default();
  GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
  if (!monitor)
    monitor = gdk_display_get_monitor(display, 0);
  if (monitor)
    gdk_monitor_get_geometry(monitor, &area);
  return area;
}

void BuildWindow(const MainWindowRef& window) {
  MainWindow& state = *window;
  GtkWidget* top = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  GtkWindow* topWindow = GTK_WINDOW(top);
  // The window holds its own reference to the shared state until it is finalized, so the state
  // outlives every signal whoever else drops theirs.
  auto* own = new MainWindowRef(window);
  g_object_set_data_full(G_OBJECT(top), kWindowRefKey, own,
                         [](gpointer ref) { delete static_cast<MainWindowRef*>(ref); });
  state.window = top;
  state.alive.store(true);
  ++openWindows;

  gtk_widget_set_name(top, kStyleName);
  // Empty, not absent: GDK would name an untitled window after the program.
  gtk_window_set_title(topWindow, "");
  gtk_window_set_resizable(topWindow, FALSE);
  GList* icons = ProgramIcons();
  gtk_window_set_icon_list(topWindow, icons);
  g_list_free_full(icons, g_object_unref);
  g_signal_connect(top, "destroy", G_CALLBACK(OnWindowDestroyed), own);
  g_signal_connect_after(top, "key-press-event", G_CALLBACK(OnUnhandledKey), nullptr);
  // Window managers report the frame with a configure event; mapping covers those that frame the
  // window without one.
  g_signal_connect(top, "configure-event", G_CALLBACK(OnWindowConfigured), own);
  g_signal_connect(top, "map-event", G_CALLBACK(OnWindowConfigured), own);

  state.client = gtk_fixed_new();
  gtk_widget_set_size_request(state.client, kWindowWidth, kWindowHeight);
  gtk_container_add(GTK_CONTAINER(top), state.client);
  for (const ControlDefinition& control : kControls) {
    GtkWidget* widget = NewControl(control, own);
    gtk_fixed_put(GTK_FIXED(state.client), widget, control.left, control.top);
    state.*control.widget = widget;
  }
  gtk_widget_show_all(state.client);
  // Focused like the Win32 edit box at start: caret at the start, nothing selected.
  gtk_entry_grab_focus_without_selecting(GTK_ENTRY(state.编辑框_网址));

  // Integer division truncates toward zero, also for a screen smaller than the window. With the
  // default north-west gravity the position is that of the frame's top-left corner.
  const GdkRectangle screen = ScreenArea();
  gtk_window_move(topWindow, screen.x + (screen.width - kWindowWidth) / 2,
                  screen.y + (screen.height - kWindowHeight) / 2);

  // A fixed frame: title, window menu and minimise button; no maximise button, no resizing.
  gtk_widget_realize(top);
  GdkWindow* native = gtk_widget_get_window(top);
  gdk_window_set_decorations(
      native, static_cast<GdkWMDecoration>(GDK_DECOR_BORDER | GDK_DECOR_TITLE | GDK_DECOR_MENU |
                                           GDK_DECOR_MINIMIZE));
  gdk_window_set_functions(
      native, static_cast<GdkWMFunction>(GDK_FUNC_MOVE | GDK_FUNC_MINIMIZE | GDK_FUNC_CLOSE));
}

// The text of SetAddressText on its way to the main thread. The caller waits for `written`; it is
// also fulfilled, broken, when the main loop drops the call unrun.
struct PendingText {
  MainWindowRef window;
  Text text;
  std::promise<void> written;
};

// Main thread only.
void WriteAddressText(const MainWindow& state, const Text& text) {
  if (!state.alive.load())
    return;
  GtkEntry* entry = GTK_ENTRY(state.编辑框_网址);
  const std::string utf8 = TextToUtf8(text);
  // gtk_entry_set_text leaves an equal text alone and stays silent; the event is raised all the
  // same.
  if (utf8 == gtk_entry_get_text(entry))
    g_signal_emit_by_name(entry, "changed");
  else
    gtk_entry_set_text(entry, utf8.c_str());
}

gboolean WritePendingText(gpointer data) {
  auto* pending = static_cast<PendingText*>(data);
  WriteAddressText(*pending->window, pending->text);
  pending->written.set_value();
  return G_SOURCE_REMOVE;
}

// The clipboard's text is a UTF-8 string on the heap that the clipboard owns from
// gtk_clipboard_set_with_data until it calls ForgetClipboardText. Every text target is made from
// it.
void ProvideClipboardText(GtkClipboard*, GtkSelectionData* selection, guint, gpointer data) {
  const auto* utf8 = static_cast<const std::string*>(data);
  gtk_selection_data_set_text(selection, utf8->data(), static_cast<gint>(utf8->size()));
}

void ForgetClipboardText(GtkClipboard*, gpointer data) {
  delete static_cast<std::string*>(data);
}

}  // namespace

void* NativeWindowOf(const MainWindowRef& window) {
  return window ? window->window : nullptr;
}

MainWindowRef CreateMainWindow(MainWindowCreatedHandler onCreated) {
  if (!InitialiseGtk())
    return nullptr;
  MainWindowRef window = std::make_shared<MainWindow>();
  BuildWindow(window);
  if (onCreated)
    onCreated(window);
  return window;
}

void ShowMainWindow(const MainWindowRef& window) {
  if (!window || !window->window)
    return;
  gtk_widget_show(window->window);
}

// Until the last main window is destroyed; at once when there is none.
int RunMessageLoop() {
  if (openWindows > 0)
    gtk_main();
  return 0;
}

void ReportStartupFailure() {
  const std::string message = TextToUtf8(kStartupFailureMessage);
  if (!gtkReady) {  // no display to show a dialog on
    std::fprintf(stderr, "%s\n", message.c_str());
    return;
  }
  GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR,
                                             GTK_BUTTONS_OK, "%s", message.c_str());
  gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
}

void SetAddressText(const MainWindowRef& window, const Text& text) {
  if (!window || !window->alive.load())
    return;
  if (std::this_thread::get_id() == mainThread) {
    WriteAddressText(*window, text);
    return;
  }
  // Always through the main loop: g_main_context_invoke would run the call right here, on this
  // thread, whenever the main thread is not iterating the loop at that moment.
  auto* pending = new PendingText{window, text, {}};
  std::future<void> written = pending->written.get_future();
  g_idle_add_full(G_PRIORITY_DEFAULT, WritePendingText, pending,
                  [](gpointer data) { delete static_cast<PendingText*>(data); });
  written.wait();
}

Text GetAddressText(const MainWindowRef& window) {
  if (!window || !window->编辑框_网址)
    return Text();
  const char* utf8 = gtk_entry_get_text(GTK_ENTRY(window->编辑框_网址));
  return Utf8ToText(Bytes(utf8, utf8 + std::strlen(utf8)));
}

bool SetClipboardText(const Text& text) {
  if (!gtkReady)
    return false;
  GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
  GtkTargetList* targetList = gtk_target_list_new(nullptr, 0);
  gtk_target_list_add_text_targets(targetList, 0);
  gint targetCount = 0;
  GtkTargetEntry* targets = gtk_target_table_new_from_list(targetList, &targetCount);
  gtk_target_list_unref(targetList);
  auto* utf8 = new std::string(TextToUtf8(text));
  const bool placed =
      gtk_clipboard_set_with_data(clipboard, targets, static_cast<guint>(targetCount),
                                  ProvideClipboardText, ForgetClipboardText, utf8) != FALSE;
  gtk_target_table_free(targets, targetCount);
  if (!placed) {  // the X server did not make the program the clipboard's owner
    delete utf8;
    return false;
  }
  // Where a clipboard manager runs, it takes a copy now, so the text stays after the program ends.
  gtk_clipboard_set_can_store(clipboard, nullptr, 0);
  gtk_clipboard_store(clipboard);
  return true;
}
