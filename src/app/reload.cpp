// Live reload of the content that an author edits while the film runs.
#include <algorithm>
#include <memory>
#include <set>

#include "app/controller.h"
#include "assets/animation.h"
#include "assets/effect.h"
#include "assets/material.h"
#include "base/binary.h"
#include "platform/platform.h"

namespace {

// A step's failures joined for its report line, without the data folder `folder` (the archive's
// names are what an author knows); "see the log" when the step gave none.
std::string reasonText(const std::vector<std::string>& reasons, const std::string& folder) {
    std::string text;
    for (std::string reason : reasons) {
        for (size_t at; !folder.empty() && (at = reason.find(folder)) != std::string::npos;) reason.erase(at, folder.size());
        text += (text.empty() ? "" : "; ") + reason;
    }
    return text.empty() ? "see the log" : text;
}

std::set<std::string> filesOf(const std::string& folder, const char* extension) {
    const std::vector<std::string> names = platform::listFiles(folder + "*." + extension);
    return {names.begin(), names.end()};
}

// Whether a freshly loaded asset is usable: an effect that failed to compile still comes back
// as an Effect, without code.
bool usable(AssetKind kind, IDisposable* asset) {
    if (!asset) return false;
    if (kind == AssetKind::Effect) return static_cast<Effect*>(asset)->handle() != nullptr;
    return true;
}

}  // namespace

// One reload: the fresh unpacking, the one it is compared with, and the report's lines.
struct DemoController::ReloadPass {
    std::string folder;    // the fresh unpacking
    std::string previous;  // the unpacking the running content came from
    std::string sep;
    std::vector<std::string> report;
    // Replaced animation trees stay alive until the meshes and cameras are bound to the new ones.
    std::vector<std::pair<std::string, std::unique_ptr<IDisposable>>> retired;
    bool materialsChanged = false;
    bool animationsChanged = false;

    // Whether `file` (below the data folder) differs between the two unpackings.
    bool differs(const std::string& file) const { return !sameFileBytes(previous + file, folder + file); }
    std::string reasons(const std::vector<std::string>& list) const { return reasonText(list, folder); }
};

std::vector<std::string> DemoController::reloadContent(const std::string& d, const std::string& previous) {
    if (!DemoContent::exists() || !frame_) return {};
    ReloadPass pass;
    pass.folder = d;
    pass.previous = previous;
    pass.sep = platform::pathSeparator();
    bool changed = reloadAssets(pass);
    if (pass.materialsChanged) {
        FailureReasons failures;
        if (!resolveMaterialTextures() || !resolveMeshMaterials())
            pass.report.push_back("a reloaded material names a texture or is missing (" + pass.reasons(failures.take()) + ")");
    }
    changed = reloadCameras(pass) || changed;
    changed = reloadPropertyScript(pass) || changed;
    reportReadAtStart(pass);
    if (changed) {
        FailureReasons failures;
        if (!prepare())
            pass.report.push_back("the frame could not be prepared again: " + pass.reasons(failures.take()));
    }
    for (const std::string& line : pass.report) logger_->log("reload: " + line);
    return std::move(pass.report);
}

bool DemoController::reloadAssets(ReloadPass& pass) {
    CgContextService cgService(cgContext_.get());
    ServiceProvider services;
    services.add(cgContextServiceKey(), static_cast<ICgContextService*>(&cgService));
    static const struct {
        AssetKind kind;
        const char* folder;
        const char* extension;
    } kKinds[] = {{AssetKind::Effect, "effects", "cfx"},
                  {AssetKind::Material, "materials", "mat"},
                  {AssetKind::Animation, "animations", "ani"}};
    DemoContent* content = DemoContent::instance();
    bool changed = false;
    for (const auto& k : kKinds) {
        AssetsManager* manager = content->manager(k.kind);
        if (!manager) continue;
        const std::string sub = std::string(k.folder) + pass.sep;
        const std::set<std::string> now = filesOf(pass.folder + sub, k.extension),
                                    then = filesOf(pass.previous + sub, k.extension);
        for (const std::string& file : then)
            if (!now.count(file))
                pass.report.push_back(std::string(k.folder) + "/" + file +
                                      " is gone from the archive; the film keeps its previous version");
        for (const std::string& file : now) {
            if (!pass.differs(sub + file)) continue;
            const std::string label = std::string(k.folder) + "/" + file, name = assetName(file);
            IDisposable* existing = content->find(k.kind, name);
            if (!existing) {
                pass.report.push_back(label + " is new; it loads at the next start");
                continue;
            }
            FailureReasons failures;  // the loaders report through logError, from as deep as the effect compiler
            std::unique_ptr<IDisposable> fresh(manager->loadDetached(pass.folder + sub + file, &services));
            if (!usable(k.kind, fresh.get())) {
                pass.report.push_back(label + " kept its previous version: " + pass.reasons(failures.take()));
                continue;
            }
            swapIn(pass, k.kind, name, existing, std::move(fresh));
            changed = true;
            pass.report.push_back(label + " reloaded");
        }
    }
    return changed;
}

void DemoController::swapIn(ReloadPass& pass, AssetKind kind, const std::string& name, IDisposable* existing,
                            std::unique_ptr<IDisposable> fresh) {
    if (kind == AssetKind::Effect) {
        static_cast<Effect*>(existing)->takeOver(*static_cast<Effect*>(fresh.get()));
    } else if (kind == AssetKind::Material) {
        auto* material = static_cast<Material*>(existing);
        const std::string keptName = material->name;
        *material = *static_cast<Material*>(fresh.get());
        material->name = keptName;  // the registry and the meshes know it by this name
        pass.materialsChanged = true;
    } else {
        AssetsManager* manager = DemoContent::instance()->manager(kind);
        pass.retired.emplace_back(name, manager->replace(name, fresh.release()));
        pass.animationsChanged = true;
    }
}

bool DemoController::reloadCameras(ReloadPass& pass) {
    const std::string file = "cameras" + pass.sep + "cameras.cam";
    if (!pass.animationsChanged && !pass.differs(file)) return false;
    DemoContent* content = DemoContent::instance();
    auto* tree = content->find<Animation>("cameras");
    std::vector<std::unique_ptr<AnimCamera>> cameras;
    FailureReasons failures;
    if (tree) cameras = loadCameras(pass.folder + file, tree);
    if (cameras.empty() && !cameraChanger_.cameras.empty()) {
        // The shots stay as they were, looking through the tree they were made with.
        pass.report.push_back("cameras/cameras.cam gave no cameras; the film keeps its shots (" + pass.reasons(failures.take()) + ")");
        for (auto& [name, old] : pass.retired)
            if (name == "cameras") {
                std::unique_ptr<IDisposable> fresh(content->manager(AssetKind::Animation)->replace(name, old.release()));
                pass.report.push_back("animations/cameras.ani kept its previous version with them");
            }
    } else {
        cameraChanger_.setCameras(std::move(cameras));
        if (!pass.animationsChanged) pass.report.push_back("cameras/cameras.cam reloaded");
    }
    bindAnimations();
    // The camera of the last frame may be gone: the next update picks the shot again.
    camera_ = runMode_ == RunMode::Free && !filmCameras_ ? freeCamera_.get() : nullptr;
    return true;
}

bool DemoController::reloadPropertyScript(ReloadPass& pass) {
    const std::string file = "properties" + pass.sep + "props.scr";
    if (!pass.differs(file)) return false;
    FailureReasons failures;
    if (!properties_.reload(pass.folder + file)) {
        pass.report.push_back("properties/props.scr kept its previous version: " + pass.reasons(failures.take()));
        return false;
    }
    pass.report.push_back("properties/props.scr reloaded");
    return true;
}

void DemoController::reportReadAtStart(ReloadPass& pass) {
    // Pictures, models and the music are read once, at the start.
    static const struct {
        const char* folder;
        const char* extension;
    } kAtStart[] = {{"textures", "png"}, {"textures", "jpg"}, {"textures/credits", "jpg"}, {"models", "geo"}, {"music", "mp3"}};
    for (const auto& k : kAtStart) {
        const std::string sub = std::string(k.folder) + pass.sep;
        for (const std::string& file : filesOf(pass.folder + sub, k.extension))
            if (pass.differs(sub + file))
                pass.report.push_back(std::string(k.folder) + "/" + file + " changed; it loads at the next start");
    }
}
