// The file operations on Windows. Paths are UTF-8 and go to the "W" functions, so a folder
// name with accents works whatever the system's code page, and are made absolute first: the
// system calls then never depend on the current directory, which some of them (ReplaceFileW
// under Wine) refuse to resolve.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>

#include "base/utf16_text.h"
#include "config/file_access.h"

namespace kavri {

namespace {

// A handle closed when it goes out of scope.
class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() {
    if (valid()) CloseHandle(handle_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE get() const { return handle_; }
  // Closes now; false when closing failed (a write still pending may have been lost).
  bool close() {
    const bool closed = !valid() || CloseHandle(handle_) != 0;
    handle_ = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  HANDLE handle_;
};

constexpr DWORD SHARE_ALL = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens an existing file without following it anywhere a regular file is not: directories fail
// to open without backup semantics, and anything but a disk file (a pipe, a console, a
// device) is refused.
HANDLE open_regular(const std::wstring& path, DWORD access, DWORD disposition) {
  HANDLE handle = CreateFileW(path.c_str(), access, SHARE_ALL, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return handle;
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    CloseHandle(handle);
    return INVALID_HANDLE_VALUE;
  }
  return handle;
}

bool write_all(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1 << 20));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

// Temporaries are named `target` + ".tmp" + process id + "-" + counter.
std::wstring temporary_prefix(const std::wstring& target) { return target + L".tmp"; }

// Removes the temporaries of `target` that a killed save left behind. One that a live save is
// writing is open without sharing, so its deletion fails and it stays.
void remove_left_temporaries(const std::wstring& target) {
  const std::wstring pattern = temporary_prefix(target) + L"*";
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  const std::size_t slash = target.find_last_of(L"\\/");
  const std::wstring folder = slash == std::wstring::npos ? L"" : target.substr(0, slash + 1);
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      DeleteFileW((folder + found.cFileName).c_str());
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

// A new file beside `target`, under a name that no other writer uses.
HANDLE create_temporary(const std::wstring& target, std::wstring& temporary) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = temporary_prefix(target) + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(counter.fetch_add(1));
    HANDLE handle = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return handle;
  }
  return INVALID_HANDLE_VALUE;
}

// Rewrites the file in place: for a file with other hard links (a replace would cut them off) or
// in a folder where no temporary can be made. The room for the new content is reserved first,
// so a full disk leaves the old content whole.
bool rewrite_in_place(const std::wstring& target, std::string_view bytes) {
  FileHandle file(open_regular(target, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING));
  LARGE_INTEGER old_size{};
  if (!file.valid() || !GetFileSizeEx(file.get(), &old_size)) return false;
  LARGE_INTEGER room{};
  room.QuadPart = std::max<LONGLONG>(old_size.QuadPart, static_cast<LONGLONG>(bytes.size()));
  if (!SetFilePointerEx(file.get(), room, nullptr, FILE_BEGIN) || !SetEndOfFile(file.get())) {
    return false;
  }
  LARGE_INTEGER start{};
  LARGE_INTEGER end{};
  end.QuadPart = static_cast<LONGLONG>(bytes.size());
  return SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN) && write_all(file.get(), bytes) &&
         SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) && SetEndOfFile(file.get()) &&
         FlushFileBuffers(file.get()) && file.close();
}

bool has_other_links(const std::wstring& target) {
  FileHandle file(open_regular(target, 0, OPEN_EXISTING));
  BY_HANDLE_FILE_INFORMATION information{};
  return file.valid() && GetFileInformationByHandle(file.get(), &information) &&
         information.nNumberOfLinks > 1;
}

// `path` as an absolute path; as it is when the system cannot make one of it.
std::wstring full_path(const std::string& path) {
  const std::wstring wide = to_wide(path);
  const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return wide;
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return wide;
  full.resize(length);
  return full;
}

}  // namespace

FileContents read_whole_file(const std::string& path) {
  const auto refused = [](FileProblem problem) {
    return FileContents{FileAccess::none, problem, {}};
  };
  const std::wstring wide = full_path(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    // Device names (NUL, CON) have no attributes either: opening them below tells them apart.
    if (missing) return refused(FileProblem::missing);
  } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return refused(FileProblem::not_a_file);
  }
  // Opened for reading only; whether it could be written is told by its attributes.
  HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ, SHARE_ALL, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return refused(FileProblem::unreadable);
  FileHandle file(handle);
  if (GetFileType(file.get()) != FILE_TYPE_DISK) return refused(FileProblem::not_a_file);
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return refused(FileProblem::unreadable);
  if (static_cast<unsigned long long>(size.QuadPart) > MAX_FILE_BYTES) {
    return refused(FileProblem::too_large);
  }
  FileContents result;
  result.bytes.reserve(static_cast<std::size_t>(size.QuadPart));
  char buffer[65536];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) {
      return refused(FileProblem::unreadable);
    }
    if (got == 0) break;
    // A file that grows while it is read is held to the same limit.
    if (result.bytes.size() + got > MAX_FILE_BYTES) return refused(FileProblem::too_large);
    result.bytes.append(buffer, got);
  }
  const bool read_only =
      attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  result.access = read_only ? FileAccess::read_only : FileAccess::read_write;
  return result;
}

bool prepare_file_for_writing(const std::string& path) {
  const std::wstring wide = full_path(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    // An existing file is looked at, not opened for writing.
    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) return false;
    FileHandle probe(open_regular(wide, GENERIC_READ, OPEN_EXISTING));
    return probe.valid();
  }
  FileHandle file(open_regular(wide, GENERIC_WRITE, OPEN_ALWAYS));
  return file.valid();
}

bool replace_file(const std::string& path, std::string_view bytes) {
  const std::wstring target = full_path(path);
  const DWORD attributes = GetFileAttributesW(target.c_str());
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (exists && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
    return false;
  }
  if (exists) {
    // Writable as well as present: the same test a reader's open makes.
    FileHandle probe(open_regular(target, GENERIC_WRITE, OPEN_EXISTING));
    if (!probe.valid()) return false;
  }

  remove_left_temporaries(target);
  if (exists && has_other_links(target)) return rewrite_in_place(target, bytes);
  std::wstring temporary;
  FileHandle file(create_temporary(target, temporary));
  if (!file.valid()) return exists && rewrite_in_place(target, bytes);
  bool ok = write_all(file.get(), bytes) && FlushFileBuffers(file.get()) != 0;
  ok = file.close() && ok;
  if (!ok) {
    DeleteFileW(temporary.c_str());
    return false;
  }
  // ReplaceFileW keeps the old file's attributes and security, as the POSIX rename keeps
  // the permission bits; a file that did not exist yet is simply moved into place. Without a
  // backup name, a failed ReplaceFileW leaves the old file under its name, whole: it is then
  // rewritten in place, which keeps it whole as well should that fail too.
  if (exists) {
    ok = ReplaceFileW(target.c_str(), temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                      nullptr, nullptr) != 0;
    if (!ok) DeleteFileW(temporary.c_str());
    return ok || rewrite_in_place(target, bytes);
  }
  ok = MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
  if (!ok) DeleteFileW(temporary.c_str());
  return ok;
}

}  // namespace kavri
