#include "testing/screenshot.h"

#include <filesystem>

#if defined(_WIN32)

namespace kavri {

bool save_screenshot(const std::string&) { return false; }  // no X server to picture

}  // namespace kavri

#else

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>

extern char** environ;

namespace kavri {

bool save_screenshot(const std::string& png_path) {
  if (png_path.empty() || std::getenv("DISPLAY") == nullptr) return false;
  std::error_code ignored;
  std::filesystem::remove(png_path, ignored);  // so that an old picture never passes for new
  // Run without a shell, so that no character of the path is ever read as a command.
  std::string program = "import", window = "-window", root = "root", path = png_path;
  char* argv[] = {program.data(), window.data(), root.data(), path.data(), nullptr};
  pid_t child = 0;
  if (posix_spawnp(&child, "import", nullptr, nullptr, argv, environ) != 0) return false;
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 && std::filesystem::exists(png_path);
}

}  // namespace kavri

#endif
