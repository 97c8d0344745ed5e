#include "bridges/fgfs_protocol.h"

#include <cstdio>
#include <vector>

namespace kavri {
namespace {

std::string escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '&') {
      out += "&amp;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else {
      out += c;
    }
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

std::string fgfs_protocol_xml(const FgfsMap& map) {
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

}  // namespace kavri
