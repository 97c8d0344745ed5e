// The window toolkit seam: top-level windows and their controls, both known by number (control
// numbers are unique across all windows), a non-blocking event query, a modal message box and
// a file chooser. Backends: FLTK, Win32, headless. Every call is made from the main
// thread only; worker threads hand their updates to the main loop instead (ui/ui_posts.h).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kavri {

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
};

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

enum class Align { left, center, right };

// The program's fonts: the toolkit's default, "@Dotum" 16 (first font) and "Arial" 20
// (second font). A backend without those faces uses its nearest equivalent.
enum class FontId { standard, small, large };

struct WindowSpec {
  int number = 0;
  std::string title;
  // Outer top-left corner on the screen (x, y) and client-area size (w, h).
  Rect geometry;
  bool close_box = false;  // system menu with a close box
  bool minimise_box = false;
  bool sizable = false;
  // The window this one belongs to: it stands in front of that window and closes with it
  // (destroyed or replaced, the owner takes it along). None, or a window that does not exist:
  // a window of its own.
  std::optional<int> owner;
};

enum class ControlKind {
  label,       // static text
  text_field,  // single-line editable text
  drop_down,   // fixed choice list; selection -1 = none
  slider,      // horizontal, integer range
  button,
  check_box,     // value 0 or 1
  progress_bar,  // integer range
  dial,          // a gauge face with a needle: value within range (virtual panel)
  lamp,          // an output lamp: value 0 off, anything else on (virtual panel)
};

struct ControlSpec {
  int number = 0;
  ControlKind kind = ControlKind::label;
  Rect rect;         // client coordinates of its window
  std::string text;  // caption or initial text
  Align align = Align::left;
  FontId font = FontId::standard;
  bool enabled = true;
  int range_min = 0, range_max = 0;  // sliders, progress bars, dials
  int tick_step = 0;                 // sliders: a tick mark every tick_step (0 = none)
};

struct Event {
  enum class Kind { control, close };
  Kind kind = Kind::control;
  int window = 0;   // the window the event came from
  int control = 0;  // control events: the control's number
};

struct FileDialogSpec {
  std::string title;  // "Exporte la configuration"
  // A whole path, or one relative to the current directory; "": the current directory.
  std::string initial_directory;
  std::string initial_name;        // "Jauge.jcf", proposed in that directory
  std::string filter_description;  // "Kavri jauge config.(*.jcf)", shown as it is
  std::string filter_pattern;      // "*.jcf"
  // A save dialog: the chosen file need not exist (a name may be typed), and an existing one
  // is taken without asking whether to replace it (the caller updates it). Otherwise an open
  // dialog, whose file must exist.
  bool save = false;
};

class Toolkit {
 public:
  virtual ~Toolkit() = default;

  // Windows. Creating a window whose number exists replaces it. Replacing or destroying a
  // window destroys its controls and drops its events not yet taken.
  virtual bool create_window(const WindowSpec& spec) = 0;
  virtual void destroy_window(int window) = 0;
  virtual bool window_exists(int window) const = 0;
  virtual void set_minimised(int window, bool minimised) = 0;
  virtual bool minimised(int window) const = 0;
  virtual void set_window_title(int window, std::string_view title) = 0;

  // Controls; a call naming a control that does not exist does nothing (reads give 0/empty).
  // Adding a number that exists replaces that control: the number then names the new one only
  // (on a screen, a caption of that number in another window stays on show there).
  virtual void add_control(int window, const ControlSpec& spec) = 0;
  virtual bool control_exists(int control) const = 0;
  virtual void set_text(int control, std::string_view text) = 0;
  virtual std::string text(int control) const = 0;
  virtual void set_enabled(int control, bool enabled) = 0;
  virtual bool enabled(int control) const = 0;
  virtual void set_background(int control, Rgb colour) = 0;
  virtual void set_font(int control, FontId font) = 0;

  // Sliders, check boxes, progress bars, dials and lamps.
  virtual void set_range(int control, int min, int max) = 0;
  virtual int range_max(int control) const = 0;
  // Clamped into the range for sliders, progress bars and dials (set_range clamps too; a range
  // given upside down is taken the right way round); check boxes hold 0 or 1.
  virtual void set_value(int control, int value) = 0;
  virtual int value(int control) const = 0;

  // Drop-down lists. text() of a list is its selected entry's text ("" when none). An insert
  // position outside 0..count appends; an insert at or before the selection moves the
  // selection with its entry.
  virtual void clear_items(int control) = 0;
  virtual void add_item(int control, std::string_view text) = 0;
  virtual void insert_item(int control, int position, std::string_view text) = 0;
  virtual int item_count(int control) const = 0;
  virtual std::string item_text(int control, int index) const = 0;
  virtual void set_selection(int control, int index) = 0;  // -1 or any index out of range clears it
  virtual int selection(int control) const = 0;            // -1 when none

  // Takes one pending event without waiting (lets the toolkit process its input first).
  // Events come from the user only: setting a value from the program raises none.
  virtual std::optional<Event> poll_event() = 0;

  // Draws every window as it stands, keeping any user event for poll_event: for the moments
  // the main thread must wait before its loop runs (the pause before the exploration).
  virtual void show_now() = 0;

  // Modal message box with an OK button; returns when the user has closed it. Once the
  // program is ending by signal (watch_end) nobody may be there to click: the text goes to
  // standard error instead, and a box on show closes as if cancelled.
  void message_box(std::string_view title, std::string_view text);

  // How to tell that the program is ending by signal (`ended` may turn true on any thread, and
  // stays true). Main thread, before any box.
  void watch_end(std::function<bool()> ended) { end_watch_ = std::move(ended); }
  // True once the program is ending by signal: a box that just closed was cancelled.
  bool end_signalled() const { return end_watch_ && end_watch_(); }

  // The platform's open-file or save-file dialog (spec.save): a full path, or "" when
  // cancelled.
  virtual std::string choose_file(const FileDialogSpec& spec) = 0;
  // Where the user keeps documents, as a whole path: the documents folder on Windows, the home
  // folder elsewhere; "" when the platform cannot say.
  virtual std::string documents_folder() const = 0;

 protected:
  // The backend's box; a backend that can closes it once end_signalled() turns true.
  virtual void show_message_box(std::string_view title, std::string_view text) = 0;

 private:
  std::function<bool()> end_watch_;
};

// The platform's toolkit, chosen by the build: FLTK on Linux, native windows on Windows. Null
// when no display can be opened.
std::unique_ptr<Toolkit> make_platform_toolkit();

}  // namespace kavri
