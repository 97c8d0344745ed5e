// Why a file of the driver was not read, and the words that tell a user so.
#pragma once

#include <cstddef>
#include <string_view>

namespace kavri {

// The largest file the driver reads: far above any real settings, calibration, gauge or modules
// file, and small enough that reading a hostile one costs little memory.
inline constexpr std::size_t MAX_FILE_BYTES = std::size_t{16} << 20;  // 16 MiB

enum class FileProblem {
  none,
  missing,     // nothing at the path
  not_a_file,  // a folder, a FIFO, a device: anything but a regular file
  unreadable,  // a regular file that cannot be read (its permissions, an input error)
  too_large,   // more than MAX_FILE_BYTES
  not_text,    // UTF-16 of an odd length, with an unpaired surrogate, or plain bytes behind a mark
};

// What the problem is, in English, to follow a file's name: "is larger than 16 MiB".
std::string_view file_problem_text(FileProblem problem);

// The same in French, to follow "Je ne peux pas lire le fichier X" in the driver's messages:
// "" for a file that merely cannot be read, " (plus de 16 Mio)" for one too large.
std::string_view file_problem_text_fr(FileProblem problem);

}  // namespace kavri
