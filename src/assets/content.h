// The content registry: one manager per asset kind, the load pass with its progress steps,
// lookups by kind and name, and the two link steps that run after loading.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "base/singleton.h"
#include "assets/asset.h"

// Progress of the content load; the controller redraws the loading screen on every step.
class IContentObserver {
public:
    virtual ~IContentObserver() = default;
    virtual void onLoadError(const std::string& message) = 0;
    virtual void onLoadBegin(int total) = 0;
    virtual void onLoadStep() = 0;
    virtual void onLoadEnd() = 0;
};

using ObserverList = std::vector<IContentObserver*>;

// The map of managers is ordered by this enum, which is also the release order.
enum class AssetKind { Animation, Effect, Material, Model, Texture };

// A path split by the asset-name rule: the directory part keeps its separator, the name has no
// extension. Both "/" and "\" end a directory part; a leading dot is part of the name.
struct AssetPath {
    std::string directory;
    std::string name;
    std::string extension;
    std::string full() const { return directory + name + (extension.empty() ? "" : "." + extension); }
};
AssetPath splitAssetPath(const std::string& path);
// The registry name of a file: no directory, no last extension.
inline std::string assetName(const std::string& path) { return splitAssetPath(path).name; }

// Appends the names (no folder) of the files matching a wildcard pattern.
void listFiles(const std::string& pattern, std::vector<std::string>& out);

class IAssetsManager {
public:
    virtual ~IAssetsManager() = default;
};

class AssetsManager : public IAssetsManager {
public:
    // Takes ownership of `loader`. `directory` has no trailing separator.
    AssetsManager(IAssetLoader* loader, std::string directory, std::string extension,
                  sm::IServiceProvider* services, const ObserverList* observers);
    // Destroys the loader, then every asset in ascending name order.
    ~AssetsManager() override;
    AssetsManager(const AssetsManager&) = delete;
    AssetsManager& operator=(const AssetsManager&) = delete;

    virtual void notifyError(const std::string& message);
    virtual void notifyStep();
    virtual size_t count() const { return assets_.size(); }
    // Loads the named files of the directory; true when every one loaded. One step per file
    // when `report` is set, failed or not.
    virtual bool loadFiles(bool report, const std::vector<std::string>& files);
    // Loads every file of the directory with the manager's extension.
    virtual bool loadAll(bool report);

    IDisposable* find(const std::string& name) const;
    const std::map<std::string, IDisposable*>& assets() const { return assets_; }
    // The file of that name through the manager's loader, without touching the registry: null
    // when it fails (the loader has logged why). `path` is the whole path.
    IDisposable* loadDetached(const std::string& path, sm::IServiceProvider* services) const;
    // Puts `asset` (owned from now on) under `name` and hands back what was there (the caller
    // owns it; null when nothing was).
    IDisposable* replace(const std::string& name, IDisposable* asset);

private:
    bool loadFile(const std::string& fileName);

    std::map<std::string, IDisposable*> assets_;  // owned, byte-wise name order
    IAssetLoader* loader_;                        // owned
    std::string directory_;
    std::vector<std::string> extensions_;  // only the first entry is used
    sm::IServiceProvider* services_;
    const ObserverList* observers_;
};

// Maps an asset class to its kind for the typed lookups.
template <typename T>
struct AssetKindOf;
class Texture;
class Material;
class Model;
class Effect;
class Animation;
template <> struct AssetKindOf<Texture> { static constexpr AssetKind value = AssetKind::Texture; };
template <> struct AssetKindOf<Material> { static constexpr AssetKind value = AssetKind::Material; };
template <> struct AssetKindOf<Model> { static constexpr AssetKind value = AssetKind::Model; };
template <> struct AssetKindOf<Effect> { static constexpr AssetKind value = AssetKind::Effect; };
template <> struct AssetKindOf<Animation> { static constexpr AssetKind value = AssetKind::Animation; };

class DemoContent : public GenericSingleton<DemoContent> {
public:
    ~DemoContent();

    void addObserver(IContentObserver* observer) { observers_.push_back(observer); }
    // The load pass over the data directory `base` (ending in a separator). True when every
    // file of every kind loaded.
    bool load(const std::string& base, sm::IServiceProvider* services);
    // Destroys every manager in kind order.
    void release();

    IDisposable* find(AssetKind kind, const std::string& name) const;
    // The manager of a kind after a load pass; null before.
    AssetsManager* manager(AssetKind kind) const;
    template <typename T>
    T* find(const std::string& name) const {
        return dynamic_cast<T*>(find(AssetKindOf<T>::value, name));
    }
    // Appends every asset of the kind in ascending name order.
    template <typename T>
    void findAll(std::vector<T*>& out) const {
        auto it = managers_.find(AssetKindOf<T>::value);
        if (it == managers_.end()) return;
        for (const auto& entry : it->second->assets())
            if (T* asset = dynamic_cast<T*>(entry.second)) out.push_back(asset);
    }

    // Fan-out to the observers, in the order they were added.
    void onLoadError(const std::string& message);
    void onLoadBegin(int total);
    void onLoadStep();
    void onLoadEnd();

private:
    friend class GenericSingleton<DemoContent>;
    DemoContent() = default;
    void addManager(AssetKind kind, IAssetLoader* loader, const std::string& directory, const std::string& extension);

    std::map<AssetKind, AssetsManager*> managers_;  // owned
    sm::IServiceProvider* services_ = nullptr;
    ObserverList observers_;
};

// The mesh count at the start of a model file; 0 when it cannot be read or is negative.
int countMeshes(const std::string& path);

// Link steps; each logs every name it cannot resolve as an error line of "DemoController".
bool resolveMaterialTextures();
bool resolveMeshMaterials();
