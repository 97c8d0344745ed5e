// The parameter window's "Exporte" and "Importe": one module's whole configuration but its bus
// address, from the edited configuration into a ".jcf" file and back.
#pragma once

#include <optional>
#include <string>

#include "bus_model/module_config.h"
#include "ui/toolkit.h"

namespace kavri {

// Both dialogs start in `folder`, the folder of the file last chosen in either during this
// run, and set it to the folder of the file chosen now; while it is empty (nothing chosen
// yet), they start in the user's documents folder. A cancelled dialog leaves it as it was.
// The toolkit serves only the dialog and the message box. Main thread.

// "Exporte": asks for a file (a save dialog), then writes every parameter of `config` into its
// group "jauge" (gauge_config_lines), updating an existing file in place. A file that cannot
// be read (left untouched), created or written is reported ("Erreur"). A cancelled dialog does
// nothing.
void export_gauge_config(Toolkit& ui, std::string& folder, const ModuleConfig& config);

// "Importe": asks for a file and gives `config` with what the file holds applied
// (apply_gauge_config_texts): a key the file does not hold leaves its parameter as it was.
// None when the dialog was cancelled, or when the file cannot be opened or holds no gauge
// configuration, which is reported ("Erreur").
std::optional<ModuleConfig> import_gauge_config(Toolkit& ui, std::string& folder,
                                                ModuleConfig config);

}  // namespace kavri
