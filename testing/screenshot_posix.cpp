#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "testing/screenshot.h"

extern char** environ;

namespace kavri {

namespace {

// `window`: "root", or a window's title.
bool import_picture(std::string window, const std::string& png_path) {
  if (png_path.empty() || std::getenv("DISPLAY") == nullptr) return false;
  std::error_code ignored;
  std::filesystem::remove(png_path, ignored);  // so that an old picture never passes for new
  // Run without a shell, so that no character of the path is ever read as a command.
  std::string program = "import", option = "-window", path = png_path;
  char* argv[] = {program.data(), option.data(), window.data(), path.data(), nullptr};
  pid_t child = 0;
  if (posix_spawnp(&child, "import", nullptr, nullptr, argv, environ) != 0) return false;
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 && std::filesystem::exists(png_path);
}

}  // namespace

bool save_screenshot(const std::string& png_path) { return import_picture("root", png_path); }

bool save_window_screenshot(const std::string& png_path, const std::string& title) {
  return import_picture(title, png_path);
}

}  // namespace kavri
