#include "assets/content.h"

#include "assets/picture_prefetch.h"

#include <algorithm>
#include <memory>
#include <thread>

#include <cstdio>

#include "base/binary.h"
#include "base/log.h"
#include "assets/animation.h"
#include "assets/effect.h"
#include "assets/material.h"
#include "assets/model.h"
#include "assets/texture.h"
#include "platform/platform.h"

AssetPath splitAssetPath(const std::string& path) {
    AssetPath parts;
    const size_t slash = path.find_last_of("/\\");
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    parts.directory = path.substr(0, nameStart);
    const std::string rest = path.substr(nameStart);
    const size_t dot = rest.rfind('.');
    if (dot == std::string::npos || dot == 0) {
        parts.name = rest;
    } else {
        parts.name = rest.substr(0, dot);
        parts.extension = rest.substr(dot + 1);
    }
    return parts;
}

void listFiles(const std::string& pattern, std::vector<std::string>& out) {
    for (std::string& name : platform::listFiles(pattern)) out.push_back(std::move(name));
}

// ---- AssetsManager ----------------------------------------------------------------------

AssetsManager::AssetsManager(IAssetLoader* loader, std::string directory, std::string extension,
                             sm::IServiceProvider* services, const ObserverList* observers)
    : loader_(loader),
      directory_(std::move(directory)),
      extensions_{std::move(extension)},
      services_(services),
      observers_(observers) {}

AssetsManager::~AssetsManager() {
    delete loader_;
    loader_ = nullptr;
    for (auto& entry : assets_) delete entry.second;
    assets_.clear();
    extensions_.clear();
}

void AssetsManager::notifyError(const std::string& message) {
    if (!observers_) return;
    for (IContentObserver* observer : *observers_) observer->onLoadError(message);
}

void AssetsManager::notifyStep() {
    if (!observers_) return;
    for (IContentObserver* observer : *observers_) observer->onLoadStep();
}

bool AssetsManager::loadFile(const std::string& fileName) {
    const AssetPath parts = splitAssetPath(directory_ + platform::pathSeparator() + fileName);
    const std::string path = parts.full();
    platform::debugOutput(("loading " + path + "\n").c_str());
    IDisposable* asset = loader_ ? loader_->load(path.c_str(), services_) : nullptr;
    if (!asset) {
        notifyError("couldn't load asset '" + path + "'");
        return false;
    }
    // A later file of the same name (wall.jpg after wall.png) takes the entry over; the one
    // it replaces is destroyed rather than leaked.
    IDisposable*& slot = assets_[parts.name];
    delete slot;
    slot = asset;
    return true;
}

bool AssetsManager::loadFiles(bool report, const std::vector<std::string>& files) {
    bool result = true;
    for (const std::string& file : files) {
        if (!loadFile(file)) result = false;
        if (report) notifyStep();
    }
    return result;
}

bool AssetsManager::loadAll(bool report) {
    std::vector<std::string> files;
    listFiles(directory_ + platform::pathSeparator() + "*." + extensions_.front(), files);
    return loadFiles(report, files);
}

IDisposable* AssetsManager::loadDetached(const std::string& path, sm::IServiceProvider* services) const {
    return loader_ ? loader_->load(path.c_str(), services) : nullptr;
}

IDisposable* AssetsManager::replace(const std::string& name, IDisposable* asset) {
    IDisposable*& slot = assets_[name];
    IDisposable* old = slot == asset ? nullptr : slot;
    slot = asset;
    return old;
}

IDisposable* AssetsManager::find(const std::string& name) const {
    auto it = assets_.find(name);
    return it == assets_.end() ? nullptr : it->second;
}

// ---- DemoContent --------------------------------------------------------------------------

DemoContent::~DemoContent() { release(); }

void DemoContent::addManager(AssetKind kind, IAssetLoader* loader, const std::string& directory,
                             const std::string& extension) {
    // A second load pass replaces the managers; the old ones are destroyed, not leaked.
    AssetsManager*& slot = managers_[kind];
    delete slot;
    slot = new AssetsManager(loader, directory, extension, services_, &observers_);
}

int countMeshes(const std::string& path) {
    std::vector<unsigned char> bytes;
    int32_t count = 0;
    if (!readFileStart(path, 4, bytes)) return 0;
    ByteReader in(bytes.data(), bytes.size());
    return in.readInt32(count) && count > 0 ? count : 0;
}

bool DemoContent::load(const std::string& base, sm::IServiceProvider* services) {
    const std::string sep = platform::pathSeparator();
    std::vector<std::string> textureFiles;
    listFiles(base + "textures" + sep + "*.png", textureFiles);
    listFiles(base + "textures" + sep + "*.jpg", textureFiles);
    std::vector<std::string> modelFiles;
    listFiles(base + "models" + sep + "*.geo", modelFiles);

    services_ = services;
    // The pictures are decoded and the models read on other threads, in the order the load
    // passes take them, while this thread uploads the ones before and redraws the loading screen.
    std::vector<std::string> picturePaths, modelPaths;
    for (const std::string& file : textureFiles)
        picturePaths.push_back(splitAssetPath(base + "textures" + sep + file).full());
    for (const std::string& file : modelFiles) modelPaths.push_back(splitAssetPath(base + "models" + sep + file).full());
    // Decoding is the longest work of the pass, and the main thread is idle most of the time the
    // pictures take (its uploads and redraws cost about a quarter of the decoding): a picture
    // worker per core, up to 4.
#ifdef __EMSCRIPTEN__
    // The browser build has no threads (a page would need cross-origin isolation for them):
    // each file is read on this thread when its turn comes.
    std::unique_ptr<PicturePrefetch> prefetch;
    std::unique_ptr<ModelPrefetch> modelPrefetch;
#else
    const unsigned cores = std::thread::hardware_concurrency();
    auto prefetch = std::make_unique<PicturePrefetch>(picturePaths, cores > 1 ? static_cast<int>(std::min(cores, 4u)) : 1);
    auto modelPrefetch = std::make_unique<ModelPrefetch>(modelPaths, 1);
#endif
    auto* textureLoader = new TextureLoader(prefetch.get());
    auto* modelLoader = new ModelLoader(&observers_, modelPrefetch.get());
    addManager(AssetKind::Texture, textureLoader, base + "textures", "png");
    addManager(AssetKind::Animation, new AnimationLoader, base + "animations", "ani");
    addManager(AssetKind::Material, new MaterialLoader, base + "materials", "mat");
    addManager(AssetKind::Effect, new EffectLoader, base + "effects", "cfx");
    addManager(AssetKind::Model, modelLoader, base + "models", "geo");

    // The bar's length is known before anything loads: one step per picture and model file
    // plus one per mesh. Animation files step too but are not counted.
    int64_t total = static_cast<int64_t>(textureFiles.size()) + static_cast<int64_t>(modelFiles.size());
    for (const std::string& file : modelFiles) total += countMeshes(base + "models" + sep + file);
    onLoadBegin(total > INT32_MAX ? INT32_MAX : static_cast<int>(total));

    bool result = managers_[AssetKind::Texture]->loadFiles(true, textureFiles);
    textureLoader->setPrefetch(nullptr);  // the prefetch ends with this call
    auto loadKind = [this](AssetKind kind, bool report) {
        auto it = managers_.find(kind);
        return it == managers_.end() || it->second->loadAll(report);
    };
    result = loadKind(AssetKind::Animation, true) && result;
    result = loadKind(AssetKind::Material, false) && result;
    result = loadKind(AssetKind::Effect, false) && result;
    result = loadKind(AssetKind::Model, true) && result;
    modelLoader->setPrefetch(nullptr);  // the prefetch ends with this call
    onLoadEnd();
    return result;
}

void DemoContent::release() {
    for (auto& entry : managers_) delete entry.second;
    managers_.clear();
}

AssetsManager* DemoContent::manager(AssetKind kind) const {
    auto it = managers_.find(kind);
    return it == managers_.end() ? nullptr : it->second;
}

IDisposable* DemoContent::find(AssetKind kind, const std::string& name) const {
    auto it = managers_.find(kind);
    return it == managers_.end() ? nullptr : it->second->find(name);
}

void DemoContent::onLoadError(const std::string& message) {
    for (IContentObserver* observer : observers_) observer->onLoadError(message);
}
void DemoContent::onLoadBegin(int total) {
    for (IContentObserver* observer : observers_) observer->onLoadBegin(total);
}
void DemoContent::onLoadStep() {
    for (IContentObserver* observer : observers_) observer->onLoadStep();
}
void DemoContent::onLoadEnd() {
    for (IContentObserver* observer : observers_) observer->onLoadEnd();
}

// ---- link steps ---------------------------------------------------------------------------

bool resolveMaterialTextures() {
    DemoContent* content = DemoContent::instance();
    std::vector<Material*> materials;
    content->findAll(materials);
    bool result = true;
    for (Material* material : materials) {
        for (TextureSlot* slot : {&material->diffuseMap, &material->bumpMap, &material->opacityMap}) {
            if (slot->file.empty()) continue;
            slot->texture = content->find<Texture>(slot->file);
            if (!slot->texture) {
                logError("texture '" + slot->file + "' wasn't found");
                result = false;
            }
        }
    }
    return result;
}

bool resolveMeshMaterials() {
    DemoContent* content = DemoContent::instance();
    std::vector<Model*> models;
    content->findAll(models);
    bool result = true;
    for (Model* model : models) {
        for (Mesh* mesh : model->meshes) {
            for (MeshPart* part : mesh->parts) {
                if (part->materialName.empty()) continue;
                part->material = content->find<Material>(part->materialName);
                if (!part->material) {
                    logError("material '" + part->materialName + "' wasn't found");
                    result = false;
                }
            }
        }
    }
    return result;
}
