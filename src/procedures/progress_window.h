// The progress window of the exploration: its bar follows the scan, its caption the phase.
#pragma once

#include "ui/toolkit.h"

namespace kavri {

constexpr int PROGRESS_WINDOW = 1;

// The progress window's controls. Their numbers lie far past every other window's: a control
// number names one control across every window.
struct ProgressControl {
  enum : int {
    bar = 2000,
    caption = 2001,
  };
};

// The progress window "progression" with its bar and caption "Exploration du bus".
void open_progress_window(Toolkit& ui);
// The caption of the identification phase, "Identification des jauges".
void show_identification_caption(Toolkit& ui);

}  // namespace kavri
