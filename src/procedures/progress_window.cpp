#include "procedures/progress_window.h"

namespace kavri {

void open_progress_window(Toolkit& ui) {
  WindowSpec window;
  window.number = PROGRESS_WINDOW;
  window.title = "progression";
  window.geometry = {383, 46, 339, 127};
  window.sizable = true;  // caption and sizing border, but no system menu: it cannot be closed
  ui.create_window(window);

  ControlSpec bar;
  bar.number = ProgressControl::bar;
  bar.kind = ControlKind::progress_bar;
  bar.rect = {20, 80, 300, 20};
  bar.range_min = 0;
  bar.range_max = 50;
  ui.add_control(PROGRESS_WINDOW, bar);
  ui.set_value(ProgressControl::bar, 0);

  ControlSpec caption;
  caption.number = ProgressControl::caption;
  caption.kind = ControlKind::label;
  caption.rect = {20, 40, 300, 30};
  caption.text = "Exploration du bus";
  caption.align = Align::center;
  caption.font = FontId::small;
  ui.add_control(PROGRESS_WINDOW, caption);
}

void show_identification_caption(Toolkit& ui) {
  ui.set_text(ProgressControl::caption, "Identification des jauges");
}

}  // namespace kavri
