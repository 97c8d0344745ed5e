// The progress window of the exploration: its bar follows the scan, its caption the phase.
#pragma once

#include "ui/toolkit.h"

namespace kavri {

// The progress window "progression" (window 1) with its bar and caption "Exploration du bus".
void open_progress_window(Toolkit& ui);
// The caption of the identification phase, "Identification des jauges".
void show_identification_caption(Toolkit& ui);

}  // namespace kavri
