#include "app/startup.h"

#include <exception>

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
    const std::string archive = archiveOrDefault(desc.archive);
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
    run->dataDirectory_ = dataFolderOf(run->runDirectory_);
    run->loadedDirectory_ = run->dataDirectory_;
    run->archive_ = archive;
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

std::vector<std::string> DemoStart::reload() {
    if (!platform::fileExists(archive_)) return {"no data archive at '" + archive_ + "' to reload from"};
    const std::string folder = platform::makePrivateDirectory(runDirectory_, "reload-");
    if (folder.empty()) return {"couldn't make a folder for the reload in '" + runDirectory_ + "'"};
    const std::string data = dataFolderOf(folder);
    // The fresh unpacking goes again if anything below throws before it is taken on.
    struct Unadopted {
        const std::string& folder;
        bool adopted = false;
        ~Unadopted() {
            if (!adopted) platform::removeTree(folder);
        }
    } fresh{folder};
    if (!extractArchive(folder, archive_) || !platform::isDirectory(data)) {
        // A damaged archive, one being written, or one past the caps: what runs stays as it is.
        const std::string line = "the archive '" + archive_ + "' could not be unpacked (see the log); nothing was reloaded";
        controllerLog()->log("reload: " + line);
        return {line};
    }
    std::vector<std::string> report = controller_->reloadContent(data, loadedDirectory_);
    // The first unpacking stays (the music streams from it); a later one is not needed now.
    if (!reloadFolder_.empty()) platform::removeTree(reloadFolder_);
    reloadFolder_ = folder;
    loadedDirectory_ = data;
    fresh.adopted = true;
    if (report.empty()) {
        report.push_back("nothing changed");
        controllerLog()->log("reload: nothing changed");
    }
    return report;
}

int withPlatform(const std::function<int()>& work, const std::function<int(const std::string& reason)>& failed) {
    ConsoleOutput output;
    getLogger("Voltaresca")->addOutput(&output);
    int status;
    if (!platform::init()) {
        status = failed(platform::lastError());
    } else {
        // An exception that reaches here has unwound through the work's DemoStart, so the private
        // folder is gone; uncaught, it would end the program with the folder left behind.
        try {
            status = work();
        } catch (const std::exception& e) {
            getLogger("Voltaresca")->log(std::string("stopped by an unexpected failure: ") + e.what());
            status = 1;
        } catch (...) {
            getLogger("Voltaresca")->log("stopped by an unexpected failure");
            status = 1;
        }
        platform::quit();
    }
    releaseLogger("Voltaresca");
    return status;
}
