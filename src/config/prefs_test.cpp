#include "config/prefs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "config/calibration_tables.h"
#include "config/gauge_config.h"
#include "config/prefs_format.h"
#include "testing/files.h"

namespace kavri {
namespace {

using testing::file_exists;
using testing::read_file;
using testing::run_unprivileged;
using testing::write_file;

using PrefsFile = testing::ScratchDir;

TEST_F(PrefsFile, BlanksAroundKeysAndValuesAreNotPartOfThem) {
  const std::string file = path("a.jcf");
  write_file(file, "[jauge]\r\n \t String_offset1 \t=   $0D0C  \t\r\n  n=  42abc\r\nw = abc\r\n");
  Prefs prefs;
  ASSERT_TRUE(prefs.open(file));
  ASSERT_TRUE(prefs.select_group("jauge"));
  EXPECT_EQ(prefs.read_string("String_offset1", "x"), "$0D0C");
  EXPECT_EQ(prefs.read_int("n", -1), 42);
  EXPECT_EQ(prefs.read_int("w", -1), 0);
  EXPECT_EQ(prefs.read_int("missing", -7), -7);
  EXPECT_EQ(prefs.read_string("missing", "dflt"), "dflt");
}

TEST_F(PrefsFile, IntegersFollowThePercentDRules) {
  const std::string file = path("ints.ini");
  write_file(file,
             "a = -15\r\nb = +8\r\nc = 2147483647\r\nd = -2147483648\r\ne = 4294967297\r\n"
             "f = 99999999999999999999999\r\ng = -\r\nh = 1 2\r\n");
  Prefs prefs;
  ASSERT_TRUE(prefs.open(file));
  EXPECT_EQ(prefs.read_int("a", 0), -15);
  EXPECT_EQ(prefs.read_int("b", 0), 8);
  EXPECT_EQ(prefs.read_int("c", 0), 2147483647);
  EXPECT_EQ(prefs.read_int("d", 0), -2147483647 - 1);
  EXPECT_EQ(prefs.read_int("e", 0), 1);           // beyond 32 bits: the low 32 bits
  EXPECT_EQ(prefs.read_int("f", 0), -159383553);  // 10^23 modulo 2^32, as signed
  EXPECT_EQ(prefs.read_int("g", 5), 0);
  EXPECT_EQ(prefs.read_int("h", 0), 1);
  prefs.write_int("z", -2147483647 - 1);
  EXPECT_EQ(prefs.read_string("z", ""), "-2147483648");
}

TEST_F(PrefsFile, KeyLinesWithoutEqualsAndOddHeaders) {
  const std::string file = path("odd.ini");
  write_file(file,
             "lonely\r\n[ spaced ]trailing text\r\n;no space\r\n;  two spaces\r\n"
             "k=a=b\r\n=\r\nv = keep trailing  \r\n");
  Prefs prefs;
  ASSERT_TRUE(prefs.open(file));
  EXPECT_EQ(prefs.read_string("lonely", "dflt"), "");
  EXPECT_FALSE(prefs.select_group("spaced"));  // the name keeps its blanks
  ASSERT_TRUE(prefs.select_group(" spaced "));
  EXPECT_EQ(prefs.read_string("k", ""), "a=b");
  EXPECT_EQ(prefs.read_string("v", ""), "keep trailing");
  prefs.write_string("new", "1");
  prefs.close();
  EXPECT_EQ(read_file(file),
            "lonely = \r\n[ spaced ]\r\n; no space\r\n;  two spaces\r\nk = a=b\r\n = \r\n"
            "v = keep trailing  \r\nnew = 1\r\n");
}

TEST_F(PrefsFile, NamesMatchInAnyLetterCaseAndAWriteTakesTheCallersSpelling) {
  const std::string file = path("case.jcf");
  write_file(file, "[JAUGE]\r\nstring_offset1 = $0000\r\nother = 1\r\n");
  Prefs prefs;
  ASSERT_TRUE(prefs.open(file));
  ASSERT_TRUE(prefs.select_group("jauge"));
  EXPECT_EQ(prefs.read_string("String_offset1", ""), "$0000");
  prefs.write_string("String_offset1", "$0D0C");
  prefs.close();
  EXPECT_EQ(read_file(file), "[JAUGE]\r\nString_offset1 = $0D0C\r\nother = 1\r\n");
}

TEST_F(PrefsFile, FirstOccurrenceOfAGroupOrKeyWins) {
  const std::string file = path("dup.ini");
  write_file(file, "[a]\r\nk = 1\r\nK = 2\r\n[A]\r\nk = 3\r\nz = 9\r\n");
  Prefs prefs;
  ASSERT_TRUE(prefs.open(file));
  ASSERT_TRUE(prefs.select_group("a"));
  EXPECT_EQ(prefs.read_int("k", 0), 1);
  EXPECT_EQ(prefs.read_int("z", 0), 0);  // the second [A] is never searched
  EXPECT_EQ(prefs.keys(), (std::vector<std::string>{"k", "K"}));
  prefs.write_int("k", 5);
  prefs.write_int("z", 6);
  prefs.close();
  EXPECT_EQ(read_file(file), "[a]\r\nk = 5\r\nK = 2\r\nz = 6\r\n[A]\r\nk = 3\r\nz = 9\r\n");
}

TEST_F(PrefsFile, NewKeysGoToTheEndOfTheirGroupAndMissingGroupsToTheEndOfTheFile) {
  const std::string file = path("conf.jcf");
  write_file(file,
             "; top comment\n\ntop = 1\n[jauge]\nString_offset1 = $0D0C\n; note\n\n"
             "[other]\nx = 2");
  Prefs prefs;
  ASSERT_TRUE(prefs.open(file));
  ASSERT_TRUE(prefs.select_group("jauge"));
  prefs.write_string("String_offset1", "$0BC0");
  prefs.write_int("Combo_1_type", 3);
  EXPECT_FALSE(prefs.select_group("new"));
  EXPECT_EQ(prefs.read_string("x", "none"), "none");  // a pending group holds nothing
  prefs.write_string("k", "v");
  prefs.write_string("k2", "w");  // the group now exists: no second header
  EXPECT_TRUE(prefs.select_group("NEW"));
  prefs.close();
  EXPECT_EQ(read_file(file),
            "; top comment\r\ntop = 1\r\n[jauge]\r\nString_offset1 = $0BC0\r\n; note\r\n"
            "Combo_1_type = 3\r\n[other]\r\nx = 2\r\n[new]\r\nk = v\r\nk2 = w\r\n");
}

TEST_F(PrefsFile, KeysOutsideAnyGroupStandBeforeTheFirstHeader) {
  const std::string file = path("Kavri.ini");
  write_file(file, "[g]\r\na = 1\r\n");
  Prefs prefs;
  ASSERT_TRUE(prefs.open(file));
  EXPECT_TRUE(prefs.select_group(""));
  EXPECT_EQ(prefs.read_int("a", -1), -1);  // "a" belongs to [g]
  prefs.write_int("backlight", 15);
  prefs.write_int("mode_reduit", 0);
  prefs.close();
  EXPECT_EQ(read_file(file), "backlight = 15\r\nmode_reduit = 0\r\n[g]\r\na = 1\r\n");
}

TEST_F(PrefsFile, ByteOrderMarkFileIsRewrittenWithMarkAndEmptyLine) {
  const std::string file = path("bom.jcf");
  const std::string original = "\xEF\xBB\xBF[jauge]\r\nk = \xC3\xA9t\xC3\xA9\r\n";
  write_file(file, original);
  Prefs prefs;
  ASSERT_TRUE(prefs.open(file));
  ASSERT_TRUE(prefs.select_group("jauge"));
  EXPECT_EQ(prefs.read_string("k", ""), "\xC3\xA9t\xC3\xA9");
  prefs.close();
  EXPECT_EQ(read_file(file), original);  // nothing written, nothing rewritten

  ASSERT_TRUE(prefs.open(file));
  ASSERT_TRUE(prefs.select_group("jauge"));
  prefs.write_string("k2", "x");
  prefs.close();
  EXPECT_EQ(read_file(file), "\xEF\xBB\xBF\r\n[jauge]\r\nk = \xC3\xA9t\xC3\xA9\r\nk2 = x\r\n");
  // A file starting with only part of the mark is plain text.
  write_file(file, "\xEF\xBBk = 1\r\n");
  ASSERT_TRUE(prefs.open(file));
  prefs.write_int("j", 2);
  prefs.close();
  EXPECT_EQ(read_file(file), "\xEF\xBBk = 1\r\nj = 2\r\n");
}

TEST_F(PrefsFile, AFileOpenedForReadingOnlyIsNeverWritten) {
  const std::string file = path("ro.ini");
  const std::string original = "a=1\n";
  write_file(file, original);
  std::filesystem::permissions(file, std::filesystem::perms(0444));
  std::filesystem::permissions(dir_.path(),
                               std::filesystem::perms(0777));  // the file alone forbids
  EXPECT_TRUE(run_unprivileged([&] {
    Prefs prefs;
    if (!prefs.open(file) || prefs.read_int("a", 0) != 1) return false;
    prefs.write_int("a", 2);
    prefs.write_int("b", 3);
    return !prefs.close() && read_file(file) == original;
  }));
  EXPECT_EQ(read_file(file), original);
}

TEST_F(PrefsFile, AnExistingFileThatCannotBeReadIsNeverEmptied) {
  if (!testing::FILES_CAN_BE_WRITE_ONLY) GTEST_SKIP() << "no write-only files here";
  const std::string file = path("Calibrage.ini");
  const std::string original = "[suction]\r\nPos0A12S0 = 40\r\n; mine\r\n[jauge]\r\nk = 1\r\n";
  write_file(file, original);
  std::filesystem::permissions(file, std::filesystem::perms(0222));  // write only
  EXPECT_TRUE(run_unprivileged([&] {
    Prefs prefs;
    if (prefs.open_or_create(file) != PrefsOpening::unreadable) return false;
    prefs.write_int("k", 2);
    if (prefs.close()) return false;  // the write had nowhere to go
    if (prefs.open(file)) return false;
    prefs.write_int("k", 3);
    if (prefs.close()) return false;
    if (prefs.create(file)) return false;  // as the settings are saved
    prefs.write_int("k", 4);
    if (prefs.close()) return false;
    auto tables = std::make_unique<CalibrationTables>();
    if (load_calibration(*tables, 0, "12", 0, file) != PrefsOpening::unreadable) return false;
    const std::vector<GaugeConfigLine> lines{{"String_offset1", "$0D0C"}};
    return !write_gauge_config(file, lines);
  }));
  EXPECT_EQ(read_file(file), original);
}

// A file above the size limit is refused whole, whatever its content, and never replaced.
TEST_F(PrefsFile, AFileAboveTheSizeLimitIsRefusedAndLeftAsItIs) {
  const std::string file = path("Calibrage.ini");
  std::string bytes = "[suction]\r\nPos0A12S0 = 40\r\n";
  bytes.resize(MAX_FILE_BYTES + 1, '\n');
  write_file(file, bytes);
  Prefs prefs;
  EXPECT_EQ(prefs.open_or_create(file), PrefsOpening::unreadable);
  EXPECT_EQ(prefs.problem(), FileProblem::too_large);
  prefs.write_int("Pos0A12S0", 1);
  EXPECT_FALSE(prefs.close());
  EXPECT_FALSE(prefs.create(file));
  prefs.write_int("backlight", 1);
  EXPECT_FALSE(prefs.close());
  EXPECT_TRUE(read_file(file) == bytes);
  bytes.resize(MAX_FILE_BYTES);  // at the limit it is read
  write_file(file, bytes);
  EXPECT_TRUE(prefs.open(file) && prefs.select_group("suction"));
  EXPECT_EQ(prefs.read_int("Pos0A12S0", 0), 40);
}

TEST_F(PrefsFile, AFileThatCannotBeOpenedIsCreatedAtCloseWhenWrittenTo) {
  const std::string file = path("Calibrage.ini");
  Prefs prefs;
  EXPECT_FALSE(prefs.open(file));
  EXPECT_EQ(prefs.read_int("a", 4), 4);
  prefs.close();
  EXPECT_FALSE(file_exists(file));  // nothing written: nothing created

  EXPECT_FALSE(prefs.open(file));
  EXPECT_FALSE(prefs.select_group("suction"));
  prefs.write_int("Pos0A12S0", 17);
  EXPECT_EQ(prefs.read_int("Pos0A12S0", 0), 17);
  EXPECT_FALSE(file_exists(file));  // the disk changes only at close
  EXPECT_TRUE(prefs.close());
  EXPECT_EQ(read_file(file), "[suction]\r\nPos0A12S0 = 17\r\n");
}

TEST_F(PrefsFile, CreateStartsEmptyAndReplacesTheOldContentAtClose) {
  const std::string fresh = path("fresh.ini");
  Prefs prefs;
  ASSERT_TRUE(prefs.create(fresh));
  EXPECT_TRUE(file_exists(fresh));  // a missing file exists from create on
  EXPECT_TRUE(prefs.close());
  EXPECT_EQ(read_file(fresh), "");

  const std::string old = path("Kavri.ini");
  write_file(old, "\xEF\xBB\xBFjunk = 1\r\n[g]\r\nx = 2\r\n");
  ASSERT_TRUE(prefs.create(old));
  EXPECT_EQ(read_file(old), "\xEF\xBB\xBFjunk = 1\r\n[g]\r\nx = 2\r\n");  // kept until close
  EXPECT_EQ(prefs.read_int("junk", 0), 0);
  prefs.write_int("backlight", 15);
  prefs.write_int("mode_reduit", 1);
  prefs.close();
  EXPECT_EQ(read_file(old), "backlight = 15\r\nmode_reduit = 1\r\n");  // code page, no mark

  ASSERT_TRUE(prefs.create(old));
  prefs.close();
  EXPECT_EQ(read_file(old), "");  // created and closed with no key: emptied
}

TEST_F(PrefsFile, WritesWithNoFileToGoToAreDropped) {
  const std::string nowhere = path("missing_dir/x.ini");
  Prefs prefs;
  EXPECT_FALSE(prefs.create(nowhere));
  prefs.write_int("a", 1);
  prefs.close();
  EXPECT_FALSE(file_exists(nowhere));
  prefs.write_int("a", 1);  // nothing open at all
  EXPECT_TRUE(prefs.close());
  EXPECT_EQ(files_in_dir(), 0u);
}

TEST_F(PrefsFile, OpeningAnotherFileClosesTheFirst) {
  const std::string first = path("first.ini");
  const std::string second = path("second.ini");
  write_file(second, "b = 2\r\n");
  Prefs prefs;
  EXPECT_FALSE(prefs.open(first));
  prefs.write_int("a", 1);
  ASSERT_TRUE(prefs.open(second));
  EXPECT_EQ(prefs.read_int("a", 0), 0);
  EXPECT_EQ(read_file(first), "a = 1\r\n");
}

TEST_F(PrefsFile, LineBreaksInWrittenTextStayOnTheirLine) {
  const std::string file = path("break.ini");
  Prefs prefs;
  ASSERT_FALSE(prefs.open(file));
  prefs.write_string("k", "a\r\n[evil]\nb = c");
  prefs.close();
  EXPECT_EQ(read_file(file), "k = a  [evil] b = c\r\n");
}

TEST_F(PrefsFile, HostileInputParsesWithoutCrashing) {
  const std::string file = path("hostile.ini");
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  const char middle[] = "\nnul\0key = v\0al\n=\n[\n[g]\n";
  bytes.append(middle, sizeof middle - 1);
  bytes += "big = " + std::string(10 * 1024 * 1024, 'B') + "\n";
  bytes += "last = end";  // no final newline
  write_file(file, bytes);
  Prefs prefs;
  ASSERT_TRUE(prefs.open(file));
  EXPECT_EQ(prefs.read_string(std::string_view("nul\0key", 7), ""), std::string("v\0al", 4));
  EXPECT_EQ(prefs.read_string("", "none"), "");  // "=" alone: an empty key
  ASSERT_TRUE(prefs.select_group("g"));
  EXPECT_EQ(prefs.read_string("big", "").size(), 10u * 1024 * 1024);
  EXPECT_EQ(prefs.read_string("last", ""), "end");
  EXPECT_FALSE(prefs.select_group(" "));
  prefs.write_int("added", 1);
  ASSERT_TRUE(prefs.close());

  // What was written reads back as the same entries.
  ASSERT_TRUE(prefs.open(file));
  ASSERT_TRUE(prefs.select_group("g"));
  EXPECT_EQ(prefs.read_string("big", "").size(), 10u * 1024 * 1024);
  EXPECT_EQ(prefs.read_string("last", ""), "end");
  EXPECT_TRUE(prefs.select_group(" "));
  EXPECT_EQ(prefs.read_int("added", 0), 1);
}

bool same_entries(const std::vector<PrefsEntry>& a, const std::vector<PrefsEntry>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].kind != b[i].kind || a[i].name != b[i].name || a[i].value != b[i].value) {
      return false;
    }
  }
  return true;
}

TEST(PrefsFormat, AnyTextReadsBackAsTheSameEntriesOnceWritten) {
  // Bytes drawn mostly from the characters that mean something to the format.
  const char symbols[] = " \t\r\n[];=ab\0\xEF\xFF";
  const std::string alphabet(symbols, sizeof symbols - 1);
  std::mt19937 random(12345);
  for (int round = 0; round < 2000; ++round) {
    std::string text(random() % 60, ' ');
    for (char& c : text) c = alphabet[random() % alphabet.size()];
    const std::vector<PrefsEntry> entries = parse_prefs_text(text);
    std::string written;
    for (const PrefsEntry& e : entries) append_prefs_line(written, e);
    ASSERT_TRUE(same_entries(parse_prefs_text(written), entries)) << "round " << round;
  }
}

}  // namespace
}  // namespace kavri
