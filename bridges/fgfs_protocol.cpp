#include "bridges/fgfs_protocol.h"

#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

namespace kavri {
namespace {

// The length of the well-formed UTF-8 sequence at the start of `text` that XML 1.0 allows
// as character data, or 0: a control character, a byte of another encoding (Latin-1), an
// overlong form, a surrogate, or U+FFFE and U+FFFF.
std::size_t xml_character_length(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned first = byte(0);
  if (first < 0x80) return first >= 0x20 || first == '\t' ? 1 : 0;
  const std::size_t length = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC2 ? 2 : 0;
  if (length == 0 || first > 0xF4 || text.size() < length) return 0;
  std::uint32_t code = first & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    code = code << 6 | (byte(i) & 0x3F);
  }
  const std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  const bool allowed = code >= smallest[length] && code <= 0x10FFFF &&
                       !(code >= 0xD800 && code <= 0xDFFF) && code != 0xFFFE && code != 0xFFFF;
  return allowed ? length : 0;
}

// `text` as XML character data: markup characters escaped, and every byte that XML may not
// hold (see above) replaced by "?", so that no map comment can make the file ill-formed.
std::string escaped(std::string_view text) {
  std::string out;
  while (!text.empty()) {
    const std::size_t length = xml_character_length(text);
    if (length == 0) {
      out += '?';
      text.remove_prefix(1);
      continue;
    }
    const char c = text[0];
    out += c == '&'   ? "&amp;"
           : c == '<' ? "&lt;"
           : c == '>' ? "&gt;"
                      : std::string(text, 0, length);
    text.remove_prefix(length);
  }
  return out;
}

std::string chunk(const MapLine& line) {
  char offset[8];
  std::snprintf(offset, sizeof offset, "0x%04X", static_cast<unsigned>(line.offset));
  return "   <chunk>\n    <name>" + escaped(offset + (" " + line.note)) +
         "</name>\n    <type>double</type>\n    <format>%.6f</format>\n    <node>" + line.property +
         "</node>\n   </chunk>\n";
}

std::string section(const char* name, const std::vector<const MapLine*>& lines) {
  std::string text = std::string("  <") + name +
                     ">\n   <binary_mode>false</binary_mode>\n"
                     "   <line_separator>newline</line_separator>\n"
                     "   <var_separator>,</var_separator>\n";
  for (const MapLine* line : lines) text += chunk(*line);
  return text + "  </" + name + ">\n";
}

}  // namespace

std::string fgfs_protocol_xml(const BridgeMap& map) {
  std::string text =
      "<?xml version=\"1.0\"?>\n<PropertyList>\n"
      " <comment>Written by kavri-fgfs --write-protocol from its map: output = the map's read "
      "lines, input = its write lines, in map order. FlightGear loads it from "
      "$FG_ROOT/Protocol/kavri.xml for --generic=socket,out,10,127.0.0.1,5510,udp,kavri and "
      "--generic=socket,in,10,127.0.0.1,5511,udp,kavri</comment>\n <generic>\n";
  text += section("output", map.read_lines());
  if (!map.write_lines().empty()) text += section("input", map.write_lines());
  return text + " </generic>\n</PropertyList>\n";
}

std::optional<std::string> fgfs_input_line(const WriteBack& writes) {
  if (!writes.reported_once()) return std::nullopt;
  std::string text;
  for (const WriteBack::Field& field : writes.fields()) {
    const std::optional<double> value = field.written ? field.written : field.reported;
    char number[64];
    // A value too large to print whole is no value: a cut number would mean another one.
    if (!value || std::snprintf(number, sizeof number, "%.6f", *value) >= 64) break;
    if (!text.empty()) text += ',';
    text += number;
  }
  if (text.empty()) return std::nullopt;
  return text + "\n";
}

}  // namespace kavri
