// The start-up shared by the program and the capture program: a private folder in the
// temporary folder, the data archive unpacked into it, the demo controller initialised,
// loaded and prepared; and, whatever happens, the folder removed at the end.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/controller.h"

struct StartupDesc {
    RunMode mode = RunMode::Demo;
    int width = 0;
    int height = 0;
    int bitsPerPixel = 32;
    int frequency = 60;
    bool fullScreen = false;
    bool titled = false;            // not full screen: a centred window with a title bar
    bool verticalSync = false;      // every swap waits for the display's vertical blank
    bool headless = false;          // a hidden window and no sound (frame capture)
    std::string archive;            // the data archive; empty: "demodat" beside the program
    std::string folderPrefix = "voltaresca-";
};

// A started demo. Destroying it shuts the controller down and deletes the private folder.
class DemoStart {
public:
    ~DemoStart();
    DemoStart(const DemoStart&) = delete;
    DemoStart& operator=(const DemoStart&) = delete;

    DemoController& controller() { return *controller_; }
    // The unpacked data, ending in a separator.
    const std::string& dataDirectory() const { return dataDirectory_; }
    // The archive the data came from.
    const std::string& archive() const { return archive_; }
    // Live reload: unpacks the archive again into a fresh folder of the private folder and
    // reloads what changed (DemoController::reloadContent); the lines say what happened. The
    // film's moment is the caller's to replay.
    std::vector<std::string> reload();

private:
    friend std::unique_ptr<DemoStart> startDemo(const StartupDesc&, std::string&);
    DemoStart() = default;
    DemoController* controller_ = nullptr;  // the singleton, destroyed with this
    std::string runDirectory_;
    std::string dataDirectory_;  // the first unpacking: the music streams from it
    std::string archive_;
    std::string loadedDirectory_;  // the unpacking the content now comes from
    std::string reloadFolder_;     // the private folder of that unpacking; empty for the first
};

// Null on failure, with `reason` set to one line that names what failed and where to look;
// nothing is left behind then (no folder, no controller).
std::unique_ptr<DemoStart> startDemo(const StartupDesc& desc, std::string& reason);

// What both programs do around their work: the application log "Voltaresca" with its console
// output for the whole call, and the platform layer started before `work` and ended after it.
// When the platform cannot start, `work` does not run and `failed` gets the reason; its result
// is returned. An exception out of `work` is logged and returns 1, once it has unwound through
// whatever `work` held (a DemoStart deletes its private folder on the way).
int withPlatform(const std::function<int()>& work, const std::function<int(const std::string& reason)>& failed);
