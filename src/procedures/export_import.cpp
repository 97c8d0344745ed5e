#include "procedures/export_import.h"

#include <filesystem>
#include <string>
#include <utility>

#include "base/result.h"
#include "config/gauge_config.h"

namespace kavri {
namespace {

// Asks for a ".jcf" file, starting where the user last was; "" when cancelled.
std::string choose_gauge_config(Toolkit& ui, std::string title, bool save, std::string& folder) {
  const std::string start = folder.empty() ? ui.documents_folder() : folder;
  const std::string path = ui.choose_file(
      {std::move(title), start, "Jauge.jcf", "Kavri jauge config.(*.jcf)", "*.jcf", save});
  if (!path.empty()) {
    // Read as UTF-8 on every platform: a narrow path would take the system code page on
    // Windows and spoil any accent.
    const std::u8string chosen(path.begin(), path.end());
    const std::u8string parent = std::filesystem::path(chosen).parent_path().u8string();
    folder.assign(parent.begin(), parent.end());
  }
  return path;
}

Status write_config_file(const std::string& path, const ModuleConfig& config) {
  if (!write_gauge_config(path, gauge_config_lines(config))) {
    return fail("Je ne peux pas écrire la configuration dans le fichier " + path);
  }
  return done();
}

Result<ModuleConfig> read_config_file(const std::string& path, ModuleConfig config) {
  const auto file = read_gauge_config(path, gauge_config_keys());
  if (!file) return fail("Le fichier " + path + " n'existe pas ?");
  // Any file may be chosen: one that holds none of the keys would blank every field, and an
  // EEPROM write would then put that into the module.
  if (!file->found) return fail("Le fichier " + path + " n'est pas une configuration de jauge");
  apply_gauge_config_texts(config, file->texts);
  return config;
}

}  // namespace

void export_gauge_config(Toolkit& ui, std::string& folder, const ModuleConfig& config) {
  // A save dialog: the export may well go to a new file.
  const std::string path = choose_gauge_config(ui, "Exporte la configuration", true, folder);
  if (path.empty()) return;
  if (const Status written = write_config_file(path, config); !written) {
    ui.message_box("Erreur", written.error());
  }
}

std::optional<ModuleConfig> import_gauge_config(Toolkit& ui, std::string& folder,
                                                ModuleConfig config) {
  const std::string path = choose_gauge_config(ui, "Importe la configuration", false, folder);
  if (path.empty()) return std::nullopt;
  Result<ModuleConfig> imported = read_config_file(path, std::move(config));
  if (!imported) {
    ui.message_box("Erreur", imported.error());
    return std::nullopt;
  }
  return std::move(imported).value();
}

}  // namespace kavri
