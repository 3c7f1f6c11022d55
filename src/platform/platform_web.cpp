#include "platform/web.h"

#include <emscripten.h>

namespace platform {

void tellPage(const std::string& name, const std::string& value) {
    EM_ASM({
        var canvas = document.getElementById('canvas');
        if (canvas) canvas.setAttribute('data-' + UTF8ToString($0), UTF8ToString($1));
        if (Module.onProgramNote) Module.onProgramNote(UTF8ToString($0), UTF8ToString($1));
    }, name.c_str(), value.c_str());
}

}  // namespace platform
