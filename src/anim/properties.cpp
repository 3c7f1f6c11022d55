#include "anim/properties.h"

#include <fstream>
#include <sstream>

#include "anim/cameras.h"
#include "base/binary.h"
#include "base/log.h"

namespace {


template <class T>
std::unique_ptr<IKeyframesProvider<T>> makeProvider(const std::string& name) {
    // The camera changer's track cuts between values; every other track blends.
    std::unique_ptr<IInterpolator<T>> interpolator;
    if (name == "camera_changer")
        interpolator = std::make_unique<StateInterpolator<T>>();
    else
        interpolator = std::make_unique<TCBInterpolator<T>>();
    return std::make_unique<KeyframesProvider<T>>(std::move(interpolator));
}

bool readValue(std::istream& in, int& v) { return static_cast<bool>(in >> v); }
bool readValue(std::istream& in, float& v) { return static_cast<bool>(in >> v); }
bool readValue(std::istream& in, sm::Vec3& v) {
    float x, y, z;
    if (!(in >> x >> y >> z)) return false;
    v = sm::Vec3(x, y, z);
    return true;
}

// Reads keys up to "endkeys" into the provider. False when the text ends or a key is broken.
template <class T>
bool readKeys(std::istream& in, IKeyframesProvider<T>& provider) {
    std::string word;
    while (in >> word) {
        if (word == "endkeys") return true;
        float time;
        int flag;
        T value;
        if (!(in >> time >> flag) || !readValue(in, value)) return false;
        provider.addKey(time, flag == 1, value);
    }
    return false;
}

bool skipKeys(std::istream& in) {
    std::string word;
    while (in >> word)
        if (word == "endkeys") return true;
    return false;
}

}  // namespace

PropertyRegistry::PropertyRegistry() = default;
PropertyRegistry::~PropertyRegistry() = default;

bool PropertyRegistry::reload(const std::string& path) {
    {
        PropertyRegistry trial;
        if (!trial.load(path)) return false;
    }
    {
        std::lock_guard<std::mutex> guard(lock_);
        properties_.clear();
        cameras_.clear();
    }
    return load(path);
}

bool PropertyRegistry::load(const std::string& path) {
    std::string text;
    if (!readWholeFile(path, text)) {
        logError("couldn't open the property script '" + path + "'; no properties loaded (is props.scr in the archive's properties folder?)");
        return false;
    }
    return parse(text, path);
}

bool PropertyRegistry::parse(const std::string& text, const std::string& source) {
    std::istringstream in(text);
    bool complete = false;
    std::string problem;
    std::string keyword;
    while (true) {
        if (!(in >> keyword)) {
            problem = "ends before \"end\"";
            break;
        }
        if (keyword == "end") {
            complete = true;
            break;
        }
        if (keyword != "ValueProperty" && keyword != "AnimProperty" && keyword != "CameraProperty") {
            problem = "has the unknown keyword '" + keyword + "'";
            break;
        }
        int type, id, reserved;
        std::string name;
        if (!(in >> type >> id >> reserved >> name)) {
            problem = "ends inside the header of a " + keyword;
            break;
        }
        std::unique_ptr<EditableProperty> property;
        bool bodyRead = true;
        if (keyword == "ValueProperty") {
            auto p = std::make_unique<ValueProperty>(id, name, type);
            if (type == kTypeInt) {
                int v;
                bodyRead = readValue(in, v);
                p->value = v;
            } else if (type == kTypeFloat) {
                float v;
                bodyRead = readValue(in, v);
                p->value = v;
            } else if (type == kTypeVector) {
                sm::Vec3 v;
                bodyRead = readValue(in, v);
                p->value = v;
            }
            property = std::move(p);
        } else if (keyword == "AnimProperty") {
            auto p = std::make_unique<AnimProperty>(id, name, type);
            if (type == kTypeInt || type == kTypeIntTrack) {
                p->intProvider = makeProvider<int>(name);
                bodyRead = readKeys(in, *p->intProvider);
            } else if (type == kTypeFloat) {
                p->floatProvider = makeProvider<float>(name);
                bodyRead = readKeys(in, *p->floatProvider);
            } else if (type == kTypeVector) {
                p->vectorProvider = makeProvider<sm::Vec3>(name);
                bodyRead = readKeys(in, *p->vectorProvider);
            } else {
                bodyRead = skipKeys(in);
                if (bodyRead)
                    logError("property script '" + source + "': skipped the track '" + name + "' of type " +
                             std::to_string(type) + " (tracks are of type 2, 3, 5 or 9)");
                p.reset();
            }
            property = std::move(p);
        } else {
            auto p = std::make_unique<CameraProperty>(id, name, type);
            bodyRead = static_cast<bool>(in >> p->positionId >> p->rotationId >> p->scalarAId >> p->scalarBId);
            property = std::move(p);
        }
        if (!bodyRead) {
            problem = "ends inside the " + keyword + " '" + name + "'";
            break;
        }
        if (property) properties_[id] = std::move(property);
    }
    if (!complete)
        logError("property script '" + source + "' " + problem + "; kept the " + std::to_string(properties_.size()) +
                 " properties read before it");

    cameras_.clear();
    for (const auto& entry : properties_)
        if (auto* camera = dynamic_cast<CameraProperty*>(entry.second.get()))
            cameras_.push_back(std::make_unique<EditableCamera>(*camera, *this));
    return complete;
}

EditableProperty* PropertyRegistry::find(const std::string& name) {
    std::lock_guard<std::mutex> guard(lock_);
    for (const auto& entry : properties_)
        if (entry.second->name == name) return entry.second.get();
    return nullptr;
}

EditableProperty* PropertyRegistry::byId(int id) const {
    auto it = properties_.find(id);
    return it == properties_.end() ? nullptr : it->second.get();
}

AnimProperty* PropertyRegistry::findTrack(const std::string& name) {
    return dynamic_cast<AnimProperty*>(find(name));
}

PropertyValue::PropertyValue(EditableProperty* property) : property_(property) {
    if (auto* track = dynamic_cast<AnimProperty*>(property)) {
        floatTrack_ = track->floatProvider.get();
        intTrack_ = track->intProvider.get();
    } else {
        constant_ = dynamic_cast<ValueProperty*>(property);
    }
}

float PropertyValue::at(float t) const {
    if (floatTrack_) return floatTrack_->valueAt(t);
    if (intTrack_) return static_cast<float>(intTrack_->valueAt(t));
    if (constant_) {
        if (const float* f = std::get_if<float>(&constant_->value)) return *f;
        if (const int* i = std::get_if<int>(&constant_->value)) return static_cast<float>(*i);
    }
    return 0.0f;
}
