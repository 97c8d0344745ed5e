// The toolkit on FLTK 1.3: numbered windows and controls mapped onto FLTK widgets. FLTK calls
// back from inside Fl::check(); every callback only queues an event, and poll_event() hands the
// queue out one event at a time, so handlers always run from the program's own loop.
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Progress.H>

#include <algorithm>
#include <cmath>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/control_rules.h"
#include "ui/fltk_dialogs.h"
#include "ui/fltk_display.h"
#include "ui/fltk_widgets.h"
#include "ui/toolkit.h"

namespace kavri {
namespace {

namespace rules = control_rules;
using fltk_ui::Dial;
using fltk_ui::Lamp;
using fltk_ui::TickedSlider;

struct Face {
  Fl_Font font;
  Fl_Fontsize size;
};

// "@Dotum" and "Arial" are Windows faces; Helvetica (DejaVu Sans or the like through
// fontconfig) is the nearest that every X server offers, and it draws UTF-8 accents.
Face face(FontId font) {
  switch (font) {
    case FontId::small:
      return {FL_HELVETICA, 16};
    case FontId::large:
      return {FL_HELVETICA, 20};
    case FontId::standard:
      break;
  }
  return {FL_HELVETICA, 11};
}

// Static texts start at the top of their box. One that has room for more than one line wraps
// inside it, as the desktop's static texts do; a one-line text runs on past a box too narrow
// for it rather than lose its end (the faces here are wider than the desktop's own).
Fl_Align label_alignment(Align align, int box_height, Fl_Fontsize size) {
  Fl_Align alignment = FL_ALIGN_INSIDE | FL_ALIGN_TOP;
  if (box_height >= 2 * (size + 2)) alignment |= FL_ALIGN_WRAP | FL_ALIGN_CLIP;
  switch (align) {
    case Align::left:
      return alignment | FL_ALIGN_LEFT;
    case Align::right:
      return alignment | FL_ALIGN_RIGHT;
    case Align::center:
      break;
  }
  return alignment;
}

class FltkToolkit;

// Which window and control a widget's callback speaks for.
struct Binding {
  FltkToolkit* toolkit;
  int window;
  int control;
};

class ToolkitWindow : public Fl_Double_Window {
 public:
  ToolkitWindow(const WindowSpec& spec, FltkToolkit* toolkit)
      : Fl_Double_Window(spec.geometry.x, spec.geometry.y, spec.geometry.w, spec.geometry.h),
        binding{toolkit, spec.number, 0},
        close_box(spec.close_box) {}

  int handle(int event) override {
    // The window manager may minimise and restore the window behind the program's back.
    if (event == FL_SHOW) minimised = false;
    if (event == FL_HIDE && shown()) minimised = true;
    return Fl_Double_Window::handle(event);
  }

  Binding binding;
  bool close_box;
  bool minimised = false;
};

struct ControlEntry : rules::ControlModel {
  int window = 0;
  Align align = Align::left;
  Fl_Widget* widget = nullptr;     // owned by its window
  std::string text;                // captions; text fields read their widget instead
  std::vector<Fl_Menu_Item> menu;  // points into items; rebuilt with them
  std::unique_ptr<Binding> binding;
};

void ignore_callback(Fl_Widget*, void*) {}

class FltkToolkit final : public Toolkit {
 public:
  ~FltkToolkit() override {
    controls_.clear();
    windows_.clear();  // each window deletes its widgets
  }

  bool create_window(const WindowSpec& spec) override {
    destroy_window(spec.number);
    auto window = std::make_unique<ToolkitWindow>(spec, this);
    window->end();
    window->copy_label(spec.title.c_str());
    window->callback(on_window_callback, &window->binding);
    // The controls sit at fixed places, so the client area keeps its size; with equal minimum
    // and maximum the window manager offers no maximise either.
    window->size_range(spec.geometry.w, spec.geometry.h, spec.geometry.w, spec.geometry.h);
    window->show();
    windows_[spec.number] = std::move(window);
    return true;
  }

  void destroy_window(int number) override {
    auto it = windows_.find(number);
    if (it == windows_.end()) return;
    std::erase_if(controls_, [number](const auto& entry) { return entry.second.window == number; });
    std::erase_if(events_, [number](const Event& event) { return event.window == number; });
    it->second->hide();
    windows_.erase(it);
  }

  bool window_exists(int number) const override { return windows_.contains(number); }

  void set_minimised(int number, bool minimised) override {
    ToolkitWindow* window = find_window(number);
    if (window == nullptr) return;
    if (minimised) {
      window->iconize();
    } else {
      window->show();
    }
    window->minimised = minimised;
  }

  bool minimised(int number) const override {
    const ToolkitWindow* window = find_window(number);
    return window != nullptr && window->minimised;
  }

  void set_window_title(int number, std::string_view title) override {
    if (ToolkitWindow* window = find_window(number)) window->copy_label(std::string(title).c_str());
  }

  void add_control(int window_number, const ControlSpec& spec) override;

  bool control_exists(int control) const override { return controls_.contains(control); }

  void set_text(int control, std::string_view text) override {
    ControlEntry* entry = find(control);
    if (entry == nullptr || entry->kind == ControlKind::drop_down) return;
    entry->text = text;
    if (entry->kind == ControlKind::text_field) {
      static_cast<Fl_Input*>(entry->widget)->value(entry->text.c_str());
    } else {
      entry->widget->copy_label(entry->text.c_str());
      repaint(*entry);
    }
  }

  std::string text(int control) const override {
    const ControlEntry* entry = find(control);
    if (entry == nullptr) return "";
    switch (entry->kind) {
      case ControlKind::text_field:
        return static_cast<const Fl_Input*>(entry->widget)->value();
      case ControlKind::drop_down:
        return item_text(control, entry->selection);
      default:
        return entry->text;
    }
  }

  void set_enabled(int control, bool enabled) override {
    if (ControlEntry* entry = find(control)) {
      if (enabled) {
        entry->widget->activate();
      } else {
        entry->widget->deactivate();
      }
      repaint(*entry);
    }
  }

  bool enabled(int control) const override {
    const ControlEntry* entry = find(control);
    return entry != nullptr && entry->widget->active();
  }

  void set_background(int control, Rgb colour) override {
    ControlEntry* entry = find(control);
    if (entry == nullptr) return;
    if (entry->kind == ControlKind::label) entry->widget->box(FL_FLAT_BOX);
    entry->widget->color(fl_rgb_color(colour.r, colour.g, colour.b));
    repaint(*entry);
  }

  void set_font(int control, FontId font) override {
    if (ControlEntry* entry = find(control)) apply_font(*entry, font);
  }

  void set_range(int control, int min, int max) override {
    ControlEntry* entry = find(control);
    if (entry != nullptr && entry->set_range(min, max)) show_value(*entry);
  }

  int range_max(int control) const override {
    const ControlEntry* entry = find(control);
    return entry != nullptr ? entry->range.max : 0;
  }

  void set_value(int control, int value) override {
    ControlEntry* entry = find(control);
    if (entry != nullptr && entry->set_value(value)) show_value(*entry);
  }

  int value(int control) const override {
    const ControlEntry* entry = find(control);
    return entry != nullptr ? entry->value : 0;
  }

  void clear_items(int control) override {
    ControlEntry* entry = find_list(control);
    if (entry == nullptr) return;
    entry->clear_items();
    show_items(*entry);
  }

  void add_item(int control, std::string_view text) override {
    insert_item(control, item_count(control), text);
  }

  void insert_item(int control, int position, std::string_view text) override {
    ControlEntry* entry = find_list(control);
    if (entry == nullptr) return;
    entry->insert_item(position, text);
    show_items(*entry);
  }

  int item_count(int control) const override {
    const ControlEntry* entry = find(control);
    return entry != nullptr ? entry->item_count() : 0;
  }

  std::string item_text(int control, int index) const override {
    const ControlEntry* entry = find(control);
    return entry != nullptr ? entry->item_text(index) : "";
  }

  void set_selection(int control, int index) override {
    ControlEntry* entry = find_list(control);
    if (entry == nullptr) return;
    entry->select(index);
    static_cast<Fl_Choice*>(entry->widget)->value(entry->selection);
  }

  int selection(int control) const override {
    const ControlEntry* entry = find(control);
    return entry != nullptr ? entry->selection : -1;
  }

  std::optional<Event> poll_event() override {
    Fl::check();
    if (events_.empty()) return std::nullopt;
    Event event = events_.front();
    events_.pop_front();
    return event;
  }

  // Events that arrive meanwhile only queue up, as in poll_event.
  void show_now() override { Fl::check(); }

  void show_message_box(std::string_view title, std::string_view text) override {
    // An end by signal closes the box as its close box would: looked for ten times a second.
    Fl::add_timeout(END_LOOK_SECONDS, close_box_on_end, this);
    fltk_ui::show_message_box(title, text);
    Fl::remove_timeout(close_box_on_end, this);
  }

  std::string choose_file(const FileDialogSpec& spec) override {
    return fltk_ui::run_file_chooser(spec);
  }

 private:
  static constexpr double END_LOOK_SECONDS = 0.1;

  // The message box is the modal window: hiding it ends its wait, as a click on OK would.
  static void close_box_on_end(void* data) {
    if (!static_cast<FltkToolkit*>(data)->end_signalled()) {
      Fl::repeat_timeout(END_LOOK_SECONDS, close_box_on_end, data);
    } else if (Fl_Window* box = Fl::modal()) {
      box->hide();
    }
  }

  static void on_window_callback(Fl_Widget*, void* data) {
    // FLTK closes a window on Escape through this same callback; only the close box counts.
    if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
    const auto* binding = static_cast<const Binding*>(data);
    FltkToolkit& self = *binding->toolkit;
    const ToolkitWindow* window = self.find_window(binding->window);
    if (window != nullptr && window->close_box) {
      self.events_.push_back(Event{Event::Kind::close, binding->window, 0});
    }
  }

  static void on_control_callback(Fl_Widget* widget, void* data) {
    const auto* binding = static_cast<const Binding*>(data);
    FltkToolkit& self = *binding->toolkit;
    ControlEntry* entry = self.find(binding->control);
    if (entry == nullptr || entry->widget != widget) return;
    self.take_user_change(*entry);
    self.events_.push_back(Event{Event::Kind::control, binding->window, binding->control});
  }

  // The user changed the widget: bring the entry's copy of its state up to date.
  static void take_user_change(ControlEntry& entry) {
    switch (entry.kind) {
      case ControlKind::slider: {
        const double position = static_cast<TickedSlider*>(entry.widget)->value();
        entry.value =
            rules::stored_value(entry.kind, entry.range, static_cast<int>(std::lround(position)));
        break;
      }
      case ControlKind::check_box:
        entry.value = static_cast<Fl_Check_Button*>(entry.widget)->value() != 0 ? 1 : 0;
        break;
      case ControlKind::drop_down:
        entry.selection = static_cast<Fl_Choice*>(entry.widget)->value();
        break;
      default:
        break;
    }
  }

  static Fl_Widget* make_widget(const ControlSpec& spec);
  static void apply_font(ControlEntry& entry, FontId font);
  static void repaint(ControlEntry& entry);
  static void show_value(ControlEntry& entry);
  static void show_items(ControlEntry& entry);

  ToolkitWindow* find_window(int number) const {
    auto it = windows_.find(number);
    return it != windows_.end() ? it->second.get() : nullptr;
  }
  ControlEntry* find(int control) {
    auto it = controls_.find(control);
    return it != controls_.end() ? &it->second : nullptr;
  }
  const ControlEntry* find(int control) const {
    auto it = controls_.find(control);
    return it != controls_.end() ? &it->second : nullptr;
  }
  ControlEntry* find_list(int control) {
    ControlEntry* entry = find(control);
    return entry != nullptr && entry->kind == ControlKind::drop_down ? entry : nullptr;
  }
  void forget_control(int control, int new_window);

  std::map<int, std::unique_ptr<ToolkitWindow>> windows_;
  std::map<int, ControlEntry> controls_;
  std::deque<Event> events_;
};

Fl_Widget* FltkToolkit::make_widget(const ControlSpec& spec) {
  const Rect& r = spec.rect;
  switch (spec.kind) {
    case ControlKind::label: {
      // No box of its own until it is given a background, so that a text running past its
      // box stays readable over its neighbours'.
      return new Fl_Box(FL_NO_BOX, r.x, r.y, r.w, r.h, nullptr);
    }
    case ControlKind::text_field: {
      auto* input = new Fl_Input(r.x, r.y, r.w, r.h);
      input->when(FL_WHEN_NEVER);  // typing raises no event; handlers read the text
      input->value(spec.text.c_str());
      return input;
    }
    case ControlKind::drop_down: {
      auto* choice = new Fl_Choice(r.x, r.y, r.w, r.h);
      choice->when(FL_WHEN_RELEASE_ALWAYS);  // picking the entry already shown counts too
      return choice;
    }
    case ControlKind::slider: {
      auto* slider = new TickedSlider(r.x, r.y, r.w, r.h);
      slider->when(FL_WHEN_CHANGED);  // an event at every movement, not only on release
      slider->tick_step(spec.tick_step);
      return slider;
    }
    case ControlKind::button:
      return new Fl_Button(r.x, r.y, r.w, r.h);
    case ControlKind::check_box:
      return new Fl_Check_Button(r.x, r.y, r.w, r.h);
    case ControlKind::progress_bar: {
      auto* bar = new Fl_Progress(r.x, r.y, r.w, r.h);
      bar->selection_color(fl_rgb_color(6, 176, 37));
      return bar;
    }
    case ControlKind::dial:
      return new Dial(r.x, r.y, r.w, r.h);
    case ControlKind::lamp:
      return new Lamp(r.x, r.y, r.w, r.h);
  }
  return new Fl_Box(r.x, r.y, r.w, r.h);
}

void FltkToolkit::add_control(int window_number, const ControlSpec& spec) {
  ToolkitWindow* window = find_window(window_number);
  if (window == nullptr) return;
  forget_control(spec.number, window_number);

  ControlEntry entry;
  entry.window = window_number;
  entry.kind = spec.kind;
  entry.align = spec.align;
  entry.text = spec.text;
  entry.range = rules::ordered(spec.range_min, spec.range_max);
  entry.value = rules::stored_value(spec.kind, entry.range, 0);
  entry.binding = std::make_unique<Binding>(Binding{this, window_number, spec.number});
  entry.widget = make_widget(spec);
  if (spec.kind != ControlKind::text_field) entry.widget->copy_label(spec.text.c_str());
  entry.widget->callback(on_control_callback, entry.binding.get());
  if (!spec.enabled) entry.widget->deactivate();
  apply_font(entry, spec.font);
  show_value(entry);
  show_items(entry);
  window->add(entry.widget);
  entry.widget->redraw();
  controls_[spec.number] = std::move(entry);
}

// A number given again replaces the control. In its own window the old widget goes; in another
// window (two windows that share caption numbers) it stays on show there, but no longer speaks
// or answers for the number.
void FltkToolkit::forget_control(int control, int new_window) {
  auto it = controls_.find(control);
  if (it == controls_.end()) return;
  Fl_Widget* old = it->second.widget;
  ToolkitWindow* window = find_window(it->second.window);
  if (it->second.window == new_window && window != nullptr) {
    window->remove(old);
    window->redraw();
    delete old;
  } else {
    old->callback(ignore_callback);
    old->when(FL_WHEN_NEVER);
  }
  controls_.erase(it);
}

void FltkToolkit::apply_font(ControlEntry& entry, FontId font) {
  const Face f = face(font);
  entry.widget->labelfont(f.font);
  entry.widget->labelsize(f.size);
  if (entry.kind == ControlKind::label) {
    entry.widget->align(label_alignment(entry.align, entry.widget->h(), f.size));
  } else if (entry.kind == ControlKind::text_field) {
    static_cast<Fl_Input*>(entry.widget)->textfont(f.font);
    static_cast<Fl_Input*>(entry.widget)->textsize(f.size);
  } else if (entry.kind == ControlKind::drop_down) {
    static_cast<Fl_Choice*>(entry.widget)->textfont(f.font);
    static_cast<Fl_Choice*>(entry.widget)->textsize(f.size);
  }
  repaint(entry);
}

// A label without a box of its own, or with a text that runs past it, is repainted by its
// window, so that nothing of its old look stays behind.
void FltkToolkit::repaint(ControlEntry& entry) {
  Fl_Window* window = entry.widget->window();
  if (entry.kind == ControlKind::label && window != nullptr) {
    window->redraw();
  } else {
    entry.widget->redraw();
  }
}

void FltkToolkit::show_value(ControlEntry& entry) {
  switch (entry.kind) {
    case ControlKind::slider: {
      auto* slider = static_cast<TickedSlider*>(entry.widget);
      slider->bounds(entry.range.min, entry.range.max);
      slider->value(entry.value);
      slider->redraw();
      break;
    }
    case ControlKind::progress_bar: {
      auto* bar = static_cast<Fl_Progress*>(entry.widget);
      bar->minimum(static_cast<float>(entry.range.min));
      bar->maximum(static_cast<float>(entry.range.max));
      bar->value(static_cast<float>(entry.value));
      break;
    }
    case ControlKind::dial: {
      auto* dial = static_cast<Dial*>(entry.widget);
      dial->range(entry.range.min, entry.range.max);
      dial->value(entry.value);
      break;
    }
    case ControlKind::check_box:
      static_cast<Fl_Check_Button*>(entry.widget)->value(entry.value);
      break;
    case ControlKind::lamp:
      static_cast<Lamp*>(entry.widget)->value(entry.value);
      break;
    default:
      break;
  }
}

void FltkToolkit::show_items(ControlEntry& entry) {
  if (entry.kind != ControlKind::drop_down) return;
  // Items are given to FLTK as a plain array, not through add(), which would read '/', '&'
  // and '_' in a text as menu structure.
  std::vector<Fl_Menu_Item> menu(entry.items.size() + 1, Fl_Menu_Item{});
  for (std::size_t i = 0; i < entry.items.size(); ++i) menu[i].text = entry.items[i].c_str();
  auto* choice = static_cast<Fl_Choice*>(entry.widget);
  entry.menu = std::move(menu);
  choice->menu(entry.menu.data());
  choice->value(entry.selection);
  choice->redraw();
}

}  // namespace

std::unique_ptr<Toolkit> make_platform_toolkit() {
  if (!fltk_ui::open_display()) return nullptr;
  return std::make_unique<FltkToolkit>();
}

}  // namespace kavri
