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
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/control_registry.h"
#include "ui/dialogs_fltk.h"
#include "ui/display_fltk.h"
#include "ui/toolkit.h"
#include "ui/widgets_fltk.h"

namespace kavri {
namespace {

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
        binding{toolkit, spec.number, 0} {}

  int handle(int event) override;

  Binding binding;
};

// A control's widget; its state is the registry's.
struct NativeControl {
  int window = 0;
  Fl_Widget* widget = nullptr;     // owned by its window
  std::vector<Fl_Menu_Item> menu;  // points into the registry's entries; rebuilt with them
  std::unique_ptr<Binding> binding;
};

void ignore_callback(Fl_Widget*, void*) {}

class FltkToolkit final : public ControlRegistry {
 public:
  ~FltkToolkit() override {
    natives_.clear();
    windows_.clear();  // each window deletes its widgets
  }

  // Events that arrive meanwhile only queue up, as in poll_event.
  void show_now() override { Fl::check(); }

  std::string choose_file(const FileDialogSpec& spec) override {
    return fltk_ui::run_file_chooser(spec);
  }
  std::string documents_folder() const override { return fltk_ui::home_folder(); }

  // The window manager minimised or restored a window.
  void on_shown(int window, bool minimised) { take_user_minimised(window, minimised); }

 protected:
  void show_message_box(std::string_view title, std::string_view text) override {
    // An end by signal closes the box as its close box would: looked for ten times a second.
    Fl::add_timeout(END_LOOK_SECONDS, close_box_on_end, this);
    fltk_ui::show_message_box(title, text);
    Fl::remove_timeout(close_box_on_end, this);
  }

  bool show_window(const WindowState& state) override {
    const WindowSpec& spec = state.spec;
    auto window = std::make_unique<ToolkitWindow>(spec, this);
    window->end();
    window->copy_label(spec.title.c_str());
    window->callback(on_window_callback, &window->binding);
    // The controls sit at fixed places, so the client area keeps its size; with equal minimum
    // and maximum the window manager offers no maximise either.
    window->size_range(spec.geometry.w, spec.geometry.h, spec.geometry.w, spec.geometry.h);
    window->show();
    if (spec.owner) {
      if (ToolkitWindow* owner = native_window(*spec.owner)) {
        fltk_ui::keep_in_front_of(*window, *owner);
      }
    }
    windows_[spec.number] = std::move(window);
    return true;
  }

  void hide_window(int number) override {
    std::erase_if(natives_, [number](const auto& entry) { return entry.second.window == number; });
    auto it = windows_.find(number);
    if (it == windows_.end()) return;
    it->second->hide();
    windows_.erase(it);
  }

  void show_minimised(int number, bool minimised) override {
    ToolkitWindow* window = native_window(number);
    if (window == nullptr) return;
    if (minimised) {
      window->iconize();
    } else {
      window->show();
    }
  }

  void show_title(const WindowState& state) override {
    if (ToolkitWindow* window = native_window(state.spec.number)) {
      window->copy_label(state.spec.title.c_str());
    }
  }

  bool show_control(const ControlState& state) override;
  void drop_control(const ControlState& old, bool same_window) override;

  void show_text(const ControlState& state) override {
    Fl_Widget* widget = widget_of(state);
    if (state.kind == ControlKind::text_field) {
      static_cast<Fl_Input*>(widget)->value(state.spec.text.c_str());
    } else {
      widget->copy_label(state.spec.text.c_str());
      repaint(state);
    }
  }

  std::optional<std::string> typed_text(const ControlState& state) const override {
    return std::string(static_cast<const Fl_Input*>(widget_of(state))->value());
  }

  void show_enabled(const ControlState& state) override {
    Fl_Widget* widget = widget_of(state);
    if (state.spec.enabled) {
      widget->activate();
    } else {
      widget->deactivate();
    }
    repaint(state);
  }

  void show_background(const ControlState& state) override {
    Fl_Widget* widget = widget_of(state);
    if (state.kind == ControlKind::label) widget->box(FL_FLAT_BOX);
    widget->color(fl_rgb_color(state.background->r, state.background->g, state.background->b));
    repaint(state);
  }

  void show_font(const ControlState& state) override;
  void show_value(const ControlState& state) override;
  void show_items_cleared(const ControlState& state) override { show_items(state); }
  void show_item_inserted(const ControlState& state, int) override { show_items(state); }
  void show_selection(const ControlState& state) override {
    static_cast<Fl_Choice*>(widget_of(state))->value(state.selection);
  }

  void deliver_input() override { Fl::check(); }

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
    binding->toolkit->take_user_close(binding->window);
  }

  // The user changed the widget: the registry takes its new state and queues the event.
  static void on_control_callback(Fl_Widget* widget, void* data) {
    const auto* binding = static_cast<const Binding*>(data);
    FltkToolkit& self = *binding->toolkit;
    const ControlState* state = self.control(binding->control);
    if (state == nullptr || self.widget_of(*state) != widget) return;
    switch (state->kind) {
      case ControlKind::slider: {
        const double position = static_cast<TickedSlider*>(widget)->value();
        self.take_user_value(binding->control, state->kind,
                             static_cast<int>(std::lround(position)));
        break;
      }
      case ControlKind::check_box:
        self.take_user_value(binding->control, state->kind,
                             static_cast<Fl_Check_Button*>(widget)->value());
        break;
      case ControlKind::drop_down:
        self.take_user_selection(binding->control, static_cast<Fl_Choice*>(widget)->value());
        break;
      default:
        self.take_user_press(binding->control, state->kind);
        break;
    }
  }

  static Fl_Widget* make_widget(const ControlSpec& spec);
  void repaint(const ControlState& state);
  void show_items(const ControlState& state);

  ToolkitWindow* native_window(int number) const {
    auto it = windows_.find(number);
    return it != windows_.end() ? it->second.get() : nullptr;
  }
  // Every control in the registry has its widget.
  Fl_Widget* widget_of(const ControlState& state) const {
    return natives_.at(state.spec.number).widget;
  }

  std::map<int, std::unique_ptr<ToolkitWindow>> windows_;
  std::map<int, NativeControl> natives_;
};

int ToolkitWindow::handle(int event) {
  // The window manager may minimise and restore the window behind the program's back.
  if (event == FL_SHOW) binding.toolkit->on_shown(binding.window, false);
  if (event == FL_HIDE && shown()) binding.toolkit->on_shown(binding.window, true);
  return Fl_Double_Window::handle(event);
}

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

bool FltkToolkit::show_control(const ControlState& state) {
  ToolkitWindow* window = native_window(state.window);
  if (window == nullptr) return false;
  const ControlSpec& spec = state.spec;
  NativeControl& native = natives_[spec.number];
  native.window = state.window;
  native.binding = std::make_unique<Binding>(Binding{this, state.window, spec.number});
  native.widget = make_widget(spec);
  if (spec.kind != ControlKind::text_field) native.widget->copy_label(spec.text.c_str());
  native.widget->callback(on_control_callback, native.binding.get());
  if (!spec.enabled) native.widget->deactivate();
  window->add(native.widget);
  show_font(state);
  show_value(state);
  show_items(state);
  native.widget->redraw();
  return true;
}

void FltkToolkit::drop_control(const ControlState& old, bool same_window) {
  auto it = natives_.find(old.spec.number);
  if (it == natives_.end()) return;
  Fl_Widget* widget = it->second.widget;
  ToolkitWindow* window = native_window(old.window);
  if (same_window && window != nullptr) {
    window->remove(widget);
    window->redraw();
    delete widget;
  } else {
    widget->callback(ignore_callback);
    widget->when(FL_WHEN_NEVER);
  }
  natives_.erase(it);
}

void FltkToolkit::show_font(const ControlState& state) {
  const Face f = face(state.spec.font);
  Fl_Widget* widget = widget_of(state);
  widget->labelfont(f.font);
  widget->labelsize(f.size);
  if (state.kind == ControlKind::label) {
    widget->align(label_alignment(state.spec.align, widget->h(), f.size));
  } else if (state.kind == ControlKind::text_field) {
    static_cast<Fl_Input*>(widget)->textfont(f.font);
    static_cast<Fl_Input*>(widget)->textsize(f.size);
  } else if (state.kind == ControlKind::drop_down) {
    static_cast<Fl_Choice*>(widget)->textfont(f.font);
    static_cast<Fl_Choice*>(widget)->textsize(f.size);
  }
  repaint(state);
}

// A label without a box of its own, or with a text that runs past it, is repainted by its
// window, so that nothing of its old look stays behind.
void FltkToolkit::repaint(const ControlState& state) {
  Fl_Widget* widget = widget_of(state);
  Fl_Window* window = widget->window();
  if (state.kind == ControlKind::label && window != nullptr) {
    window->redraw();
  } else {
    widget->redraw();
  }
}

void FltkToolkit::show_value(const ControlState& state) {
  Fl_Widget* widget = widget_of(state);
  switch (state.kind) {
    case ControlKind::slider: {
      auto* slider = static_cast<TickedSlider*>(widget);
      slider->bounds(state.range.min, state.range.max);
      slider->value(state.value);
      slider->redraw();
      break;
    }
    case ControlKind::progress_bar: {
      auto* bar = static_cast<Fl_Progress*>(widget);
      bar->minimum(static_cast<float>(state.range.min));
      bar->maximum(static_cast<float>(state.range.max));
      bar->value(static_cast<float>(state.value));
      break;
    }
    case ControlKind::dial: {
      auto* dial = static_cast<Dial*>(widget);
      dial->range(state.range.min, state.range.max);
      dial->value(state.value);
      break;
    }
    case ControlKind::check_box:
      static_cast<Fl_Check_Button*>(widget)->value(state.value);
      break;
    case ControlKind::lamp:
      static_cast<Lamp*>(widget)->value(state.value);
      break;
    default:
      break;
  }
}

void FltkToolkit::show_items(const ControlState& state) {
  if (state.kind != ControlKind::drop_down) return;
  // Items are given to FLTK as a plain array, not through add(), which would read '/', '&'
  // and '_' in a text as menu structure.
  NativeControl& native = natives_.at(state.spec.number);
  std::vector<Fl_Menu_Item> menu(state.items.size() + 1, Fl_Menu_Item{});
  for (std::size_t i = 0; i < state.items.size(); ++i) menu[i].text = state.items[i].c_str();
  auto* choice = static_cast<Fl_Choice*>(native.widget);
  native.menu = std::move(menu);
  choice->menu(native.menu.data());
  choice->value(state.selection);
  choice->redraw();
}

}  // namespace

std::unique_ptr<Toolkit> make_platform_toolkit() {
  if (!fltk_ui::open_display()) return nullptr;
  return std::make_unique<FltkToolkit>();
}

}  // namespace kavri
