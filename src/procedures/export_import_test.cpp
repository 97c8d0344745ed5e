#include "procedures/export_import.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "bus_model/module_params.h"
#include "procedures/parameter_window.h"
#include "testing/files.h"
#include "ui/headless_toolkit.h"

namespace kavri {
namespace {

using testing::file_exists;
using testing::read_file;
using testing::write_file;

int list_entries(Param param) {
  switch (param) {
    case Param::gauge1_type:
    case Param::gauge2_type:
      return 40;  // gauge types
    case Param::analog_type:
      return 3;  // analog input types
    default:
      return 2;  // output types
  }
}

// The parameter window's 28 configuration fields, with their initial texts and states.
void build_window(HeadlessToolkit& ui) {
  ui.create_window(
      {PARAMETER_WINDOW, "Paramétrages", {344, 145, 489, 505}, false, false, true, {}});
  for (const ParamInfo& row : param_infos()) {
    ControlSpec spec;
    spec.number = param_control(row.param);
    if (!is_state_kind(row.kind)) {
      spec.kind = ControlKind::text_field;
      spec.text = "$0000";
    } else if (row.kind == ParamKind::inversion_box) {
      spec.kind = ControlKind::check_box;
    } else {
      spec.kind = ControlKind::drop_down;
    }
    ui.add_control(PARAMETER_WINDOW, spec);
    if (spec.kind == ControlKind::drop_down) {
      for (int i = 0; i < list_entries(row.param); ++i) {
        ui.add_item(param_control(row.param), "Type " + std::to_string(i + 1));
      }
      ui.set_selection(param_control(row.param), 0);
    }
  }
}

// Every field's content: the text, the selected index or the box's state, by key.
std::map<std::string, std::string> fields(const HeadlessToolkit& ui) {
  std::map<std::string, std::string> out;
  for (const ParamInfo& row : param_infos()) {
    const auto* c = ui.control(param_control(row.param));
    if (c == nullptr) continue;
    const std::string key(row.jcf_key);
    if (!is_state_kind(row.kind)) {
      out[key] = ui.text(param_control(row.param));
    } else if (c->spec.kind == ControlKind::check_box) {
      out[key] = std::to_string(ui.value(param_control(row.param)));
    } else {
      out[key] = std::to_string(ui.selection(param_control(row.param)));
    }
  }
  return out;
}

// Distinct values in every field: texts as a user would type them, the last entry of each
// list, boxes alternately ticked; the second gauge's list has nothing selected.
void fill_distinct(HeadlessToolkit& ui) {
  int n = 0;
  for (Param param : gauge_config_order()) {
    const ParamInfo& row = param_info(param);
    ++n;
    if (!is_state_kind(row.kind)) {
      ui.set_text(param_control(row.param),
                  n % 3 == 0 ? "-" + std::to_string(n * 100) : "$0B" + std::to_string(n));
    } else if (row.kind == ParamKind::inversion_box) {
      ui.set_value(param_control(row.param), n % 2);
    } else {
      ui.set_selection(param_control(row.param), list_entries(row.param) - 1);
    }
  }
  ui.set_selection(param_control(Param::gauge2_type), -1);
}

// "Exporte" and "Importe" as the parameter window runs them: the fields taken into a
// configuration, and the imported configuration shown.
void export_fields(HeadlessToolkit& ui, std::string& folder) {
  ModuleConfig config;
  take_params(ui, config);
  export_gauge_config(ui, folder, config);
}
void import_fields(HeadlessToolkit& ui, std::string& folder) {
  ModuleConfig config;
  take_params(ui, config);
  if (const auto imported = import_gauge_config(ui, folder, config)) show_params(ui, *imported);
}

// A scratch directory and the parameter window's fields.
class GaugeConfigFile : public testing::ScratchDir {
 protected:
  GaugeConfigFile() { build_window(ui); }
  HeadlessToolkit ui;
  std::string folder;  // the dialogs' folder of this run
};

TEST_F(GaugeConfigFile, ExportIntoANewFileWritesTheGroupAndEveryKeyInOrder) {
  ui.set_text(param_control(Param::gauge1_offset), "$0BC0");
  ui.set_value(param_control(Param::output1_inverted), 1);
  ui.set_selection(param_control(Param::gauge1_type), 11);
  const std::string file = path("Jauge.jcf");
  ui.queue_file_choice(file);
  export_fields(ui, folder);

  ASSERT_EQ(ui.file_dialogs().size(), 1u);
  const FileDialogSpec& d = ui.file_dialogs()[0];
  EXPECT_EQ(d.title, "Exporte la configuration");
  EXPECT_EQ(d.initial_name, "Jauge.jcf");
  EXPECT_EQ(d.filter_description, "Kavri jauge config.(*.jcf)");
  EXPECT_EQ(d.filter_pattern, "*.jcf");
  EXPECT_TRUE(d.save);  // a new file can be named

  std::string expected = "[jauge]\r\n";
  for (Param param : gauge_config_order()) {
    const ParamInfo& row = param_info(param);
    std::string value = is_state_kind(row.kind) ? "0" : "$0000";
    if (param_control(row.param) == 33) value = "$0BC0";
    if (param_control(row.param) == 85) value = "1";
    if (param_control(row.param) == 29) value = "11";
    expected += std::string(row.jcf_key) + " = " + value + "\r\n";
  }
  EXPECT_EQ(read_file(file), expected);
}

TEST_F(GaugeConfigFile, ExportThenImportGivesBackEveryFieldAndKeepsTheRestOfTheFile) {
  const std::string file = path("panel.jcf");
  write_file(file,
             "; my panel\r\n[other]\r\nx = 1\r\n[JAUGE]\r\nstring_offset1 = $0000\r\n"
             "; inside\r\n[tail]\r\ny = 2\r\n");
  fill_distinct(ui);
  const auto exported = fields(ui);
  ASSERT_EQ(exported.at("Combo_2_type"), "-1");
  ui.queue_file_choice(file);
  export_fields(ui, folder);

  const std::string text = read_file(file);
  EXPECT_EQ(text.rfind("; my panel\r\n[other]\r\nx = 1\r\n[JAUGE]\r\nString_offset1 = -900\r\n"
                       "; inside\r\nString_Crs_mini1 = $0B1\r\n",
                       0),
            0u)
      << text;
  EXPECT_NE(text.find("Combo_2_type = -1\r\n"), std::string::npos);
  EXPECT_TRUE(text.ends_with("String_ANParam1 = $0B28\r\n[tail]\r\ny = 2\r\n")) << text;

  HeadlessToolkit other;
  build_window(other);
  other.set_selection(param_control(Param::gauge2_type), 3);
  other.queue_file_choice(file);
  import_fields(other, folder);
  EXPECT_EQ(fields(other), exported);
  EXPECT_EQ(other.file_dialogs().at(0).title, "Importe la configuration");
  EXPECT_FALSE(other.file_dialogs().at(0).save);
  EXPECT_EQ(read_file(file), text);  // import writes nothing
  EXPECT_TRUE(other.messages().empty());
  EXPECT_EQ(other.pending_events(), 0u);  // like a program's change, not a user's choice
}

TEST_F(GaugeConfigFile, ImportLeavesMissingKeysAloneAndReadsStatesByTheNumberTextRule) {
  const std::string file = path("partial.jcf");
  write_file(file,
             "[jauge]\r\nString_offset1 = $0D0C  \r\nCombo_1_type = abc\r\n"
             "Combo_2_type = 99\r\nCombo_Type_Out1 = $1\r\nCombo_TypeAN1 = %10\r\n"
             "CheckBox_invert_1 = 7\r\nCheckBox_invert_2 = -1\r\n"
             "CheckBox_inversion_OUT1 = 4294967296\r\nCombo_Type_Out2 = -1\r\n");
  fill_distinct(ui);
  const auto before = fields(ui);
  ui.queue_file_choice(file);
  import_fields(ui, folder);
  EXPECT_EQ(ui.text(param_control(Param::gauge1_offset)), "$0D0C");
  // Missing keys: the fields keep what they held.
  EXPECT_EQ(ui.text(param_control(Param::gauge1_course_min)), before.at("String_Crs_mini1"));
  EXPECT_EQ(ui.text(param_control(Param::analog_param)), before.at("String_ANParam1"));
  EXPECT_EQ(ui.selection(param_control(Param::gauge1_type)), 0);  // not a number: 0
  // Beyond the 40 entries: no selection.
  EXPECT_EQ(ui.selection(param_control(Param::gauge2_type)), -1);
  EXPECT_EQ(ui.selection(param_control(Param::output1_type)), 1);
  EXPECT_EQ(ui.selection(param_control(Param::analog_type)), 2);
  EXPECT_EQ(ui.selection(param_control(Param::output2_type)), -1);
  EXPECT_EQ(ui.value(param_control(Param::gauge1_inverted)), 1);  // any non-zero value ticks
  EXPECT_EQ(ui.value(param_control(Param::gauge2_inverted)), 1);
  // Non-zero even where its low 32 bits are not.
  EXPECT_EQ(ui.value(param_control(Param::output1_inverted)), 1);
  EXPECT_EQ(std::to_string(ui.value(param_control(Param::output2_inverted))),
            before.at("CheckBox_inversion_OUT2"));
}

// A gauge's file holds only the gauge keys: the outputs and the analog input keep their
// fields, and an export after it, or of fields left blank, writes a number on every line.
TEST_F(GaugeConfigFile, ImportOfAGaugeOnlyFileThenExportLeavesNoNumberEmpty) {
  const std::string gauge_only = path("fuel-oat.jcf");
  write_file(gauge_only,
             "[jauge]\nString_Crs_mini1 = 10\nString_crs_maxi1 = 240\nString_Crs_mini2 = 0\n"
             "String_crs_maxi2 = 255\nCheckBox_invert_1 = 0\nCheckBox_invert_2 = 0\n"
             "Combo_1_type = 17\nCombo_2_type = 13\nString_offset1 = $0B7C\n"
             "String_offset2 = $0E8C\nString_Crs_mini_FS_1 = 0\nString_Crs_maxi_FS_1 = 0\n"
             "String_Crs_mini_FS_2 = -50\nString_Crs_maxi_FS_2 = 50\nString_Loffset1 = 4\n"
             "String_Loffset2 = 2\n");
  fill_distinct(ui);
  const auto before = fields(ui);
  ui.queue_file_choice(gauge_only);
  import_fields(ui, folder);
  const auto after = fields(ui);
  for (const char* key : {"String_OffsetOut1", "String_LOffsetOut2", "Combo_Type_Out1",
                          "CheckBox_inversion_OUT1", "String_OffsetAN1", "String_ANParam1"}) {
    EXPECT_EQ(after.at(key), before.at(key)) << key;
  }
  EXPECT_EQ(after.at("String_offset1"), "$0B7C");

  ui.set_text(param_control(Param::output1_offset), "");
  ui.set_text(param_control(Param::analog_offset_length), " \t");
  const std::string exported = path("exported.jcf");
  ui.queue_file_choice(exported);
  export_fields(ui, folder);
  const std::string text = read_file(exported);
  EXPECT_EQ(text.find(" = \r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("String_OffsetOut1 = $0000\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("String_LOffsetAN1 = 0\r\n"), std::string::npos) << text;
}

// The dialogs start in the documents folder, then where the user last chose a file, whichever
// dialog it was; a cancel does not move them.
TEST_F(GaugeConfigFile, DialogsStartInTheDocumentsFolderThenWhereTheLastFileWas) {
  ui.set_documents_folder("/home/pilote/Documents");
  const std::string chosen = path("été") + "/panel.jcf";
  ui.queue_file_choice(chosen);
  export_fields(ui, folder);
  import_fields(ui, folder);  // cancelled
  ui.queue_file_choice(chosen);
  import_fields(ui, folder);
  ASSERT_EQ(ui.file_dialogs().size(), 3u);
  EXPECT_EQ(ui.file_dialogs()[0].initial_directory, "/home/pilote/Documents");
  EXPECT_EQ(ui.file_dialogs()[1].initial_directory, path("été"));
  EXPECT_EQ(ui.file_dialogs()[2].initial_directory, path("été"));
  for (const FileDialogSpec& d : ui.file_dialogs()) {
    EXPECT_EQ(d.initial_name, "Jauge.jcf");
    EXPECT_EQ(d.filter_pattern, "*.jcf");
  }
}

// A file that holds no gauge configuration changes no field and says so.
TEST_F(GaugeConfigFile, ImportOfAFileWithoutGaugeKeysChangesNothing) {
  const std::string file = path("other.jcf");
  for (const std::string& text :
       {std::string("[other]\r\nString_offset1 = $0D0C\r\n"),
        std::string("[jauge]\r\nunknown = 1\r\n"), std::string("\x89PNG\r\n\x1A\n\0\0", 10)}) {
    write_file(file, text);
    fill_distinct(ui);
    const auto before = fields(ui);
    ui.queue_file_choice(file);
    import_fields(ui, folder);
    EXPECT_EQ(fields(ui), before) << text;
    ASSERT_FALSE(ui.messages().empty()) << text;
    const std::pair<std::string, std::string> said{
        "Erreur", "Le fichier " + file + " n'est pas une configuration de jauge"};
    EXPECT_EQ(ui.messages().back(), said);
  }
  EXPECT_EQ(ui.messages().size(), 3u);
}

TEST_F(GaugeConfigFile, CancelledDialogsChangeNothing) {
  fill_distinct(ui);
  const auto before = fields(ui);
  export_fields(ui, folder);  // no choice queued: cancelled
  import_fields(ui, folder);
  EXPECT_EQ(ui.file_dialogs().size(), 2u);
  EXPECT_EQ(fields(ui), before);
  EXPECT_TRUE(ui.messages().empty());
  EXPECT_EQ(files_in_dir(), 0u);
}

TEST_F(GaugeConfigFile, ExportToAFileThatCannotBeReadOrWrittenIsReportedAndLeavesItAlone) {
  const std::string file = path("panel.jcf");
  const std::string original = "[other]\r\nx = 1\r\n";
  for (const auto mode : {std::filesystem::perms(0444), std::filesystem::perms(0222)}) {
    if (mode == std::filesystem::perms(0222) && !testing::FILES_CAN_BE_WRITE_ONLY) continue;
    write_file(file, original);
    std::filesystem::permissions(file, mode);
    EXPECT_TRUE(testing::run_unprivileged([&] {
      HeadlessToolkit fresh;  // one window a mode
      build_window(fresh);
      fresh.queue_file_choice(file);
      std::string fresh_folder;
      export_fields(fresh, fresh_folder);
      return fresh.messages() ==
             std::vector<std::pair<std::string, std::string>>{
                 {"Erreur", "Je ne peux pas écrire la configuration dans le fichier " + file}};
    }));
    EXPECT_EQ(read_file(file), original);
  }
}

TEST_F(GaugeConfigFile, ImportOfAPathThatCannotBeOpenedIsReported) {
  fill_distinct(ui);
  const auto before = fields(ui);
  const std::string missing = path("absent.jcf");
  ui.queue_file_choice(missing);
  import_fields(ui, folder);
  ASSERT_EQ(ui.messages().size(), 1u);
  EXPECT_EQ(ui.messages()[0].first, "Erreur");
  EXPECT_EQ(ui.messages()[0].second, "Le fichier " + missing + " n'existe pas ?");
  EXPECT_EQ(fields(ui), before);
  EXPECT_FALSE(file_exists(missing));
}

}  // namespace
}  // namespace kavri
