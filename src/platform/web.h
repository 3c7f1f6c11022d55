// The page around the browser build (compiled for Emscripten only): what the program tells it.
#pragma once

#include <string>

namespace platform {

// Sets the attribute `data-<name>` of the page's canvas to `value` (the page and its tests read
// the program's state there: loading progress, the shown moment, a failure's reason).
void tellPage(const std::string& name, const std::string& value);

}  // namespace platform
