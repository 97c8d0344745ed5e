// The flight recorded from FlightGear 2020.3 on this project's development machine (a c172p on
// a 6 nm final, lights, battery and throttle changed along the way; c172-flight-events.txt
// says when): one line per datagram as FlightGear sent it to the built-in map's protocol,
// without its final "\n". For the tests and benchmarks of the bridge.
#pragma once

#include <fstream>
#include <string>
#include <vector>

namespace kavri::testing {

inline std::vector<std::string> recorded_flight() {
  std::ifstream file(KAVRI_SOURCE_DIR "/bridges/testdata/c172-flight.txt");
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  return lines;
}

}  // namespace kavri::testing
