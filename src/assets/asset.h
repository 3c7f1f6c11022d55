// The asset base types shared by every loader and the content registry.
#pragma once

#include <map>
#include <string>

// Base of every asset (Texture, Material, Effect, Model, Animation); owned by the registry.
class IDisposable {
public:
    virtual ~IDisposable() = default;
};

namespace sm {
class IServiceProvider {
public:
    virtual ~IServiceProvider() = default;
    // Null when the key is unknown.
    virtual void* getService(const std::string& key) = 0;
};
}  // namespace sm

class ServiceProvider : public sm::IServiceProvider {
public:
    void add(const std::string& key, void* service) { services_[key] = service; }
    void* getService(const std::string& key) override {
        auto it = services_.find(key);
        return it == services_.end() ? nullptr : it->second;
    }

private:
    std::map<std::string, void*> services_;
};

class IAssetLoader {
public:
    virtual ~IAssetLoader() = default;
    // A new asset the caller owns, or null on failure. `services` may be null.
    virtual IDisposable* load(const char* path, sm::IServiceProvider* services) = 0;
};
