// A module's configuration as the user edits it: the 28 parameters and the two addresses, kept
// as the user typed or chose them. The parameter window shows it and turns each edit into a
// change of it; the EEPROM write, the export, the import and the gauge calculator work on it
// alone. Texts are kept as typed, because a ".jcf" file keeps them so; the values the module
// stores are derived from them by the number text rule, in one place (config_value).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bus_model/module_params.h"
#include "bus_model/module_record.h"

namespace kavri {

struct ModuleConfig {
  std::string address;      // the address every report of an EEPROM write goes to, as typed
  std::string new_address;  // the address the write gives the module, as typed
  // By Param. Numbers and offsets: the text as typed (states unused).
  std::array<std::string, PARAM_FIELD_COUNT> texts{};
  // By Param. Type lists: the entry index, -1 for none; inversion boxes: 1 ticked, 0 not.
  std::array<int, PARAM_FIELD_COUNT> states{};

  bool operator==(const ModuleConfig&) const = default;
};

// The number of entries of the list that shows a type parameter (0 for any other parameter).
int type_list_size(Param param);

// The configuration a record holds, as the parameter window shows it when it opens: numbers in
// decimal (signed fields with their sign), offsets as "$" and four upper-case hexadecimal
// digits, a type as its list entry (none for 0 and for types past the list), a box ticked
// exactly when the field is 255; both addresses are the record's address in decimal.
ModuleConfig config_of_record(const ModuleRecord& record);

// The value the module stores for `param`: a text by the number text rule (not a number: 0),
// a type as its entry index + 1 (none: 0), a ticked box as 255.
std::int64_t config_value(const ModuleConfig& config, Param param);
// Both addresses by the number text rule, low 8 bits.
std::uint8_t config_address(const ModuleConfig& config);
std::uint8_t config_new_address(const ModuleConfig& config);

// Every parameter as a ".jcf" file keeps it, in the order of a new file's keys: the text (a
// blank one as the 0 an EEPROM write would store, never empty), the entry index (-1: none),
// 1 or 0 for a box.
std::vector<std::pair<std::string_view, std::string>> gauge_config_lines(
    const ModuleConfig& config);

// Applies the texts a ".jcf" file holds (one per key, in the order of gauge_config_order();
// none for a key it does not hold, which leaves its parameter as it was): texts as they are,
// states by the number text rule, an entry index outside its list (-1 included) as none, any
// non-zero box state as ticked.
void apply_gauge_config_texts(ModuleConfig& config,
                              std::span<const std::optional<std::string>> texts);

// Stores every parameter's value in `record`, as an EEPROM write of `config` stores it (the
// address and the ratios are left alone).
void store_config(const ModuleConfig& config, ModuleRecord& record);

}  // namespace kavri
