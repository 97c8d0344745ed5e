// The file operations of the preferences file: read a file whole, make sure one can be
// written, and replace a file's content so that no reader (and no crash) ever meets a
// truncated or half-written file. One implementation per platform.
#pragma once

#include <string>
#include <string_view>

#include "config/file_problem.h"

namespace kavri {

enum class FileAccess { none, read_only, read_write };

struct FileContents {
  FileAccess access = FileAccess::none;  // none: not read, `problem` tells why
  FileProblem problem = FileProblem::none;
  std::string bytes;
};

// Reads the regular file at `path` whole, opened for reading only, and tells whether it could
// also be written. The path's type is looked at before anything is opened, so a FIFO or a
// device is never opened at all. Anything but a regular file, and a file larger than
// MAX_FILE_BYTES, gives `none` with its problem; nothing is changed at the path.
FileContents read_whole_file(const std::string& path);

// True when `path` can be written: an existing regular file that is writable (looked at, never
// opened), or a missing file that has just been created empty.
bool prepare_file_for_writing(const std::string& path);

// Replaces the content of `path` by `bytes`. The bytes go to a temporary file beside it, are
// flushed to the disk and renamed over the old file, so the path holds either the old content
// or the whole new one at every moment. The file keeps its owner, group and permission bits; a
// symbolic link keeps pointing to the file, which is replaced. When a new file cannot take
// its place (its folder does not let a temporary be made there, it has other hard links, or
// its owner cannot be given to a new file) the file is rewritten in place instead, the room
// for the new content reserved first so that a full disk leaves the old content whole. A
// missing file is created (permissions as the process's umask allows). Temporaries of this
// path that a killed save left behind are removed. False, with the old file unchanged and no
// temporary left behind, when the file is not a writable regular file or any step fails.
bool replace_file(const std::string& path, std::string_view bytes);

}  // namespace kavri
