// clang-format off
#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>
// clang-format on
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "testing/screenshot.h"

extern char** environ;

namespace kavri {

namespace {

// True while a window on show is not yet viewable: the server has not mapped it (or a window
// manager holds its mapping back), so no exposure has come for it and nothing of it is drawn.
bool awaiting_mapping() {
  for (Fl_Window* w = Fl::first_window(); w != nullptr; w = Fl::next_window(w)) {
    XWindowAttributes attributes{};
    if (w->visible() && (XGetWindowAttributes(fl_display, fl_xid(w), &attributes) == 0 ||
                         attributes.map_state != IsViewable)) {
      return true;
    }
  }
  return false;
}

// Waits until every window of this program is drawn: each one mapped, every exposure taken in
// and repaired, and the drawing carried out by the server. A window just shown is mapped, then
// exposed, then painted, each step a round trip through the server; on a loaded machine that takes
// longer than any fixed number of passes, which left pictures black but for what was painted first.
// False when the windows were still not drawn after a few seconds.
bool windows_drawn() {
  if (fl_display == nullptr) return true;  // no window of ours to wait for
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  for (;;) {
    Fl::flush();               // repairs every damaged window
    XSync(fl_display, False);  // the server has drawn it, and sent whatever it has to say
    Fl::check();               // takes that in: an exposure is new damage
    if (!awaiting_mapping() && Fl::damage() == 0 && XPending(fl_display) == 0) return true;
    if (std::chrono::steady_clock::now() > give_up) return false;
    Fl::wait(0.01);
  }
}

// `window`: "root", or a window's title.
bool import_picture(std::string window, const std::string& png_path) {
  if (png_path.empty() || std::getenv("DISPLAY") == nullptr) return false;
  if (!windows_drawn()) return false;
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
