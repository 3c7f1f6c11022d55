// Named values of the film read from the property script "props.scr": constants, keyframed
// tracks (times in milliseconds) and cameras assembled from other properties.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <variant>
#include <vector>

#include "anim/keyframes.h"
#include "anim/math.h"

// Value-type codes of the script.
enum PropertyType : int { kTypeInt = 2, kTypeFloat = 3, kTypeVector = 5, kTypeIntTrack = 9 };

class EditableProperty {
public:
    EditableProperty(int id_, std::string name_, int type_) : id(id_), name(std::move(name_)), type(type_) {}
    virtual ~EditableProperty() = default;
    virtual bool isAnimated() const = 0;

    int id;
    std::string name;
    int type;
};

class ValueProperty : public EditableProperty {
public:
    using EditableProperty::EditableProperty;
    bool isAnimated() const override { return false; }

    // Empty for types that carry no value.
    std::variant<std::monostate, int, float, sm::Vec3> value;
};

class AnimProperty : public EditableProperty {
public:
    using EditableProperty::EditableProperty;
    bool isAnimated() const override { return true; }

    // The track of the property's type, null for the other types: int for 2 and 9, float for 3,
    // vector for 5.
    template <class T>
    IKeyframesProvider<T>* provider() const;

    std::unique_ptr<IKeyframesProvider<int>> intProvider;
    std::unique_ptr<IKeyframesProvider<float>> floatProvider;
    std::unique_ptr<IKeyframesProvider<sm::Vec3>> vectorProvider;
};

template <>
inline IKeyframesProvider<int>* AnimProperty::provider<int>() const { return intProvider.get(); }
template <>
inline IKeyframesProvider<float>* AnimProperty::provider<float>() const { return floatProvider.get(); }
template <>
inline IKeyframesProvider<sm::Vec3>* AnimProperty::provider<sm::Vec3>() const { return vectorProvider.get(); }

class CameraProperty : public EditableProperty {
public:
    using EditableProperty::EditableProperty;
    bool isAnimated() const override { return false; }

    int positionId = 0;  // vector property
    int rotationId = 0;  // vector property
    int scalarAId = 0;   // float property
    int scalarBId = 0;   // float property
};

// Reads one property as a float at a demo time: a float or int track, or a float or int
// constant; 0 for anything else and for none. The property's kind is settled once here, not at
// every read.
class PropertyValue {
public:
    PropertyValue() = default;
    explicit PropertyValue(EditableProperty* property);
    float at(float t) const;
    bool exists() const { return property_ != nullptr; }

private:
    EditableProperty* property_ = nullptr;
    IKeyframesProvider<float>* floatTrack_ = nullptr;
    IKeyframesProvider<int>* intTrack_ = nullptr;
    ValueProperty* constant_ = nullptr;
};

class EditableCamera;

// The properties by id (iterated in ascending order), and the editable cameras built from the
// camera entries after loading.
class PropertyRegistry {
public:
    PropertyRegistry();
    ~PropertyRegistry();
    PropertyRegistry(const PropertyRegistry&) = delete;
    PropertyRegistry& operator=(const PropertyRegistry&) = delete;

    // Reads a script into the registry. Returns false when the file could not be read to its
    // "end"; what was read up to the fault stays registered, and one line names the file and
    // what was found there.
    bool load(const std::string& path);
    // Parses script text; `source` names it in the log line.
    bool parse(const std::string& text, const std::string& source);
    // Reads the script anew in place of what is registered, only when the whole file reads
    // (a script that fails leaves everything as it was). Pointers to the old properties are
    // dangling afterwards: whoever looked properties up must look them up again.
    bool reload(const std::string& path);

    // The first property in id order whose name is exactly `name`, or null. Takes the lock.
    EditableProperty* find(const std::string& name);
    EditableProperty* byId(int id) const;
    // A property of the given name when it is an AnimProperty, else null.
    AnimProperty* findTrack(const std::string& name);

    const std::map<int, std::unique_ptr<EditableProperty>>& properties() const { return properties_; }
    const std::vector<std::unique_ptr<EditableCamera>>& cameras() const { return cameras_; }

private:
    std::map<int, std::unique_ptr<EditableProperty>> properties_;
    std::vector<std::unique_ptr<EditableCamera>> cameras_;
    std::mutex lock_;
};
