// The parameter window's "Exporte" and "Importe": one module's whole configuration but its bus
// address, from the window's fields into a ".jcf" file and back.
#pragma once

#include "ui/toolkit.h"

namespace kavri {

// "Exporte": asks for a file (a save dialog), then writes every field into its group "jauge",
// updating an existing file in place. A file that cannot be read (left untouched), created or
// written is reported ("Erreur"). A cancelled dialog does nothing. Main thread.
void export_gauge_config(Toolkit& ui);

// "Importe": asks for a file and sets every field from it; only the controls change (no
// module, no record, no event). A missing key clears a text and sets a state to 0. A file that
// cannot be opened is reported ("Erreur") and changes nothing. Main thread.
void import_gauge_config(Toolkit& ui);

}  // namespace kavri
