// A process-wide instance created on first access and destroyed explicitly at shutdown.
#pragma once

template <typename T>
class GenericSingleton {
public:
    static T* instance() {
        if (!instance_) instance_ = new T;
        return instance_;
    }
    static bool exists() { return instance_ != nullptr; }
    // Destroys the instance; a later instance() creates a new one.
    static void destroyInstance() {
        T* doomed = instance_;
        instance_ = nullptr;
        delete doomed;
    }

protected:
    GenericSingleton() = default;

private:
    static inline T* instance_ = nullptr;
};
