// Live reload of the content that an author edits while the film runs.
#include <algorithm>
#include <cstring>
#include <memory>
#include <set>

#include "app/controller.h"
#include "assets/animation.h"
#include "assets/effect.h"
#include "assets/material.h"
#include "base/binary.h"
#include "platform/platform.h"

namespace {

// The error lines logged while it lives, without their time stamp and logger name.
class ErrorLines : public ILogOutput {
public:
    // `folder`: the data folder, left out of the lines (the archive's names are what an author
    // knows).
    ErrorLines(Logger* logger, std::string folder) : logger_(logger), folder_(std::move(folder)) {
        if (logger_) logger_->addOutput(this);
    }
    ~ErrorLines() override {
        if (logger_) logger_->removeOutput(this);
    }
    ErrorLines(const ErrorLines&) = delete;
    ErrorLines& operator=(const ErrorLines&) = delete;

    void write(const char* line) override {
        const char* error = std::strstr(line, "error: ");
        if (!error) return;
        std::string text = error + 7;
        for (size_t at; !folder_.empty() && (at = text.find(folder_)) != std::string::npos;) text.erase(at, folder_.size());
        lines_.push_back(text);
    }
    // What was collected since the last call, joined; "see the log" when nothing was.
    std::string take() {
        std::string text;
        for (const std::string& line : lines_) text += (text.empty() ? "" : "; ") + line;
        lines_.clear();
        return text.empty() ? "see the log" : text;
    }

private:
    Logger* logger_;
    std::string folder_;
    std::vector<std::string> lines_;
};

bool sameBytes(const std::string& a, const std::string& b) {
    std::vector<unsigned char> x, y;
    return readWholeFile(a, x) && readWholeFile(b, y) && x == y;
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

std::vector<std::string> DemoController::reloadContent(const std::string& d, const std::string& previous) {
    std::vector<std::string> report;
    if (!DemoContent::exists() || !frame_) return report;
    const std::string sep = platform::pathSeparator();
    DemoContent* content = DemoContent::instance();
    ErrorLines errors(logger_, d);
    CgContextService cgService(cgContext_.get());
    ServiceProvider services;
    services.add(cgContextServiceKey(), static_cast<ICgContextService*>(&cgService));

    bool changed = false, materialsChanged = false, animationsChanged = false;
    static const struct {
        AssetKind kind;
        const char* folder;
        const char* extension;
    } kKinds[] = {{AssetKind::Effect, "effects", "cfx"},
                  {AssetKind::Material, "materials", "mat"},
                  {AssetKind::Animation, "animations", "ani"}};
    // Replaced animation trees stay alive until the meshes and cameras are bound to the new ones.
    std::vector<std::pair<std::string, std::unique_ptr<IDisposable>>> retired;
    for (const auto& k : kKinds) {
        AssetsManager* manager = content->manager(k.kind);
        if (!manager) continue;
        const std::string folder = d + k.folder + sep, before = previous + k.folder + sep;
        const std::set<std::string> now = filesOf(folder, k.extension), then = filesOf(before, k.extension);
        for (const std::string& file : then)
            if (!now.count(file))
                report.push_back(std::string(k.folder) + "/" + file +
                                 " is gone from the archive; the film keeps its previous version");
        for (const std::string& file : now) {
            if (sameBytes(before + file, folder + file)) continue;
            const std::string label = std::string(k.folder) + "/" + file, name = assetName(file);
            IDisposable* existing = content->find(k.kind, name);
            if (!existing) {
                report.push_back(label + " is new; it loads at the next start");
                continue;
            }
            std::unique_ptr<IDisposable> fresh(manager->loadDetached(folder + file, &services));
            if (!usable(k.kind, fresh.get())) {
                report.push_back(label + " kept its previous version: " + errors.take());
                continue;
            }
            if (k.kind == AssetKind::Effect) {
                static_cast<Effect*>(existing)->takeOver(*static_cast<Effect*>(fresh.get()));
            } else if (k.kind == AssetKind::Material) {
                auto* material = static_cast<Material*>(existing);
                const std::string keptName = material->name;
                *material = *static_cast<Material*>(fresh.get());
                material->name = keptName;  // the registry and the meshes know it by this name
                materialsChanged = true;
            } else {
                retired.emplace_back(name, manager->replace(name, fresh.release()));
                animationsChanged = true;
            }
            changed = true;
            report.push_back(label + " reloaded");
        }
    }
    if (materialsChanged && (!resolveMaterialTextures() || !resolveMeshMaterials()))
        report.push_back("a reloaded material names a texture or is missing (" + errors.take() + ")");

    const std::string cameraFile = d + "cameras" + sep + "cameras.cam";
    if (animationsChanged || !sameBytes(previous + "cameras" + sep + "cameras.cam", cameraFile)) {
        auto* tree = content->find<Animation>("cameras");
        std::vector<std::unique_ptr<AnimCamera>> cameras;
        if (tree) cameras = loadCameras(cameraFile, tree);
        if (cameras.empty() && !cameraChanger_.cameras.empty()) {
            // The shots stay as they were, looking through the tree they were made with.
            report.push_back("cameras/cameras.cam gave no cameras; the film keeps its shots (" + errors.take() + ")");
            for (auto& [name, old] : retired)
                if (name == "cameras") {
                    std::unique_ptr<IDisposable> fresh(content->manager(AssetKind::Animation)->replace(name, old.release()));
                    report.push_back("animations/cameras.ani kept its previous version with them");
                }
        } else {
            cameraChanger_.setCameras(std::move(cameras));
            if (!animationsChanged) report.push_back("cameras/cameras.cam reloaded");
        }
        bindAnimations();
        // The camera of the last frame may be gone: the next update picks the shot again.
        camera_ = runMode_ == RunMode::Free && !filmCameras_ ? freeCamera_.get() : nullptr;
        changed = true;
    }
    const std::string script = d + "properties" + sep + "props.scr";
    if (!sameBytes(previous + "properties" + sep + "props.scr", script)) {
        if (properties_.reload(script)) {
            report.push_back("properties/props.scr reloaded");
            changed = true;
        } else {
            report.push_back("properties/props.scr kept its previous version: " + errors.take());
        }
    }
    // Pictures, models and the music are read once, at the start.
    static const struct {
        const char* folder;
        const char* extension;
    } kAtStart[] = {{"textures", "png"}, {"textures", "jpg"}, {"textures/credits", "jpg"}, {"models", "geo"}, {"music", "mp3"}};
    for (const auto& k : kAtStart) {
        const std::string folder = d + k.folder + sep, before = previous + k.folder + sep;
        for (const std::string& file : filesOf(folder, k.extension))
            if (!sameBytes(before + file, folder + file))
                report.push_back(std::string(k.folder) + "/" + file + " changed; it loads at the next start");
    }
    if (changed && !prepare()) report.push_back("the frame could not be prepared again: " + errors.take());
    for (const std::string& line : report) logger_->log("reload: " + line);
    return report;
}
