// A picture of the whole screen, for GUI tests and demos. Callers let the toolkit draw first
// (a few poll_event calls), since a window only shows what it has painted.
#pragma once

#include <string>

namespace kavri {

// Saves the X root window as a PNG file (through ImageMagick's `import`). False when it could
// not be taken: no display, no `import`, or the file was not written.
bool save_screenshot(const std::string& png_path);

}  // namespace kavri
