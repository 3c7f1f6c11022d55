#include "app/startup.h"

#include "app/archive.h"
#include "base/log.h"
#include "platform/platform.h"

DemoStart::~DemoStart() {
    if (controller_) {
        controller_->shutdown();
        DemoController::destroyInstance();
        controller_ = nullptr;
    }
    if (!runDirectory_.empty()) platform::removeTree(runDirectory_);
}

std::unique_ptr<DemoStart> startDemo(const StartupDesc& desc, std::string& reason) {
    const std::string archive = desc.archive.empty() ? platform::executableDirectory() + "demodat" : desc.archive;
    if (!platform::fileExists(archive)) {
        reason = "no data archive at '" + archive + "' (build it with scripts/build, or name one)";
        return nullptr;
    }
    std::unique_ptr<DemoStart> run(new DemoStart);
    run->runDirectory_ = platform::makePrivateDirectory(platform::tempDirectory(), desc.folderPrefix);
    if (run->runDirectory_.empty()) {
        reason = "couldn't create a private folder in '" + platform::tempDirectory() +
                 "' for the data; check that the temporary folder is writable (TMPDIR)";
        return nullptr;
    }
    run->dataDirectory_ = run->runDirectory_ + "voltaresca_data" + platform::pathSeparator();
    extractArchive(run->runDirectory_, archive);

    run->controller_ = DemoController::instance();
    DemoController& controller = *run->controller_;
    controller.setHeadless(desc.headless);
    controller.setWindowStyle(desc.titled, desc.verticalSync);
    if (!controller.init(desc.mode, desc.width, desc.height, desc.bitsPerPixel, desc.frequency, desc.fullScreen)) {
        const std::string cause = platform::lastError();
        reason = "couldn't set up OpenGL at " + std::to_string(desc.width) + "x" + std::to_string(desc.height) +
                 (cause.empty() ? "" : " (" + cause + ")") + "; see the log lines above";
        return nullptr;
    }
    if (!controller.loadContent(run->dataDirectory_) || !controller.prepare()) {
        reason = "the archive '" + archive + "' didn't load (see the log lines above)";
        return nullptr;
    }
    return run;
}

int withPlatform(const std::function<int()>& work, const std::function<int(const std::string& reason)>& failed) {
    ConsoleOutput output;
    getLogger("Voltaresca")->addOutput(&output);
    int status;
    if (!platform::init()) {
        status = failed(platform::lastError());
    } else {
        status = work();
        platform::quit();
    }
    releaseLogger("Voltaresca");
    return status;
}
