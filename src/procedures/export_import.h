// The parameter window's "Exporte" and "Importe": one module's whole configuration but its bus
// address, from the window's fields into a ".jcf" file and back.
#pragma once

#include <string>

#include "ui/toolkit.h"

namespace kavri {

// Both dialogs start in `folder`, the folder of the file last chosen in either during this
// run, and set it to the folder of the file chosen now; while it is empty (nothing chosen
// yet), they start in the user's documents folder. A cancelled dialog leaves it as it was.

// "Exporte": asks for a file (a save dialog), then writes every field into its group "jauge",
// updating an existing file in place. A number field left blank is written as the 0 that an
// EEPROM write would store, never as an empty value. A file that cannot be read (left
// untouched), created or written is reported ("Erreur"). A cancelled dialog does nothing.
// Main thread.
void export_gauge_config(Toolkit& ui, std::string& folder);

// "Importe": asks for a file and sets every field from it; only the controls change (no
// module, no record, no event). A key the file does not hold leaves its field as it was. A
// file that cannot be opened is reported ("Erreur") and changes nothing. Main thread.
void import_gauge_config(Toolkit& ui, std::string& folder);

}  // namespace kavri
