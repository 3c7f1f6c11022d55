// Keyframe tracks: sorted keys evaluated at a time with a spline rule (TCBInterpolator) or a
// step rule (StateInterpolator), and the provider through which properties edit and read them.
// Times carry no unit: the owner decides (milliseconds for properties, seconds for animations).
#pragma once

#include <algorithm>
#include <cmath>
#include <memory>
#include <type_traits>
#include <vector>

#include "anim/math.h"

template <class T>
struct Key {
    float time = 0.0f;
    bool step = false;  // the segment starting here holds this value until the next key
    T value{};
};

class IKeysContainer {
public:
    virtual ~IKeysContainer() = default;
    virtual int count() const = 0;
    // An index outside 0..count-1 does nothing.
    virtual void removeAt(int index) = 0;
};

template <class T>
class IInterpolator : public IKeysContainer {
public:
    // Writes the value at `time`, or leaves `out` untouched where the rule gives nothing
    // (no keys, a step track before its first key, a NaN time).
    virtual void valueAt(float time, T* out) const = 0;
    // Inserts a key, or replaces value and step of the key with exactly this time. A NaN time
    // is ignored: it has no place in the order.
    virtual void addKey(float time, const T& value, bool step) = 0;
    // False (outputs untouched) for an index outside 0..count-1.
    virtual bool getKey(int index, float& time, T& value, bool& step) const = 0;
};

// Truncates toward zero; values beyond the int range saturate and NaN gives 0, so that a
// hostile track cannot make the conversion undefined.
inline int truncateToInt(float v) {
    if (!(v == v)) return 0;
    if (v >= 2147483520.0f) return 2147483647;
    if (v <= -2147483648.0f) return -2147483647 - 1;
    return static_cast<int>(v);
}

// Per-type access to the numbers a spline blends: `lanes` numbers per value, all floats.
template <class T>
struct SplineLanes;

template <>
struct SplineLanes<float> {
    static constexpr int lanes = 1;
    static constexpr bool integral = false;
    static float get(const float& v, int) { return v; }
    static void set(float& v, int, float x) { v = x; }
    static void finish(float&) {}
};

template <>
struct SplineLanes<int> {
    static constexpr int lanes = 1;
    static constexpr bool integral = true;
    static float get(const int& v, int) { return static_cast<float>(v); }
    static void set(int& v, int, float x) { v = truncateToInt(x); }
    static void finish(int&) {}
};

template <>
struct SplineLanes<sm::Vec3> {
    static constexpr int lanes = 3;
    static constexpr bool integral = false;
    static float get(const sm::Vec3& v, int i) { return i == 0 ? v.x : i == 1 ? v.y : v.z; }
    static void set(sm::Vec3& v, int i, float x) { (i == 0 ? v.x : i == 1 ? v.y : v.z) = x; }
    static void finish(sm::Vec3& v) { v.w = 1.0f; }
};

template <>
struct SplineLanes<sm::Quat> {
    static constexpr int lanes = 4;
    static constexpr bool integral = false;
    static float get(const sm::Quat& q, int i) { return i == 0 ? q.w : i == 1 ? q.v.x : i == 2 ? q.v.y : q.v.z; }
    static void set(sm::Quat& q, int i, float x) { (i == 0 ? q.w : i == 1 ? q.v.x : i == 2 ? q.v.y : q.v.z) = x; }
    static void finish(sm::Quat& q) { q.v.w = 1.0f; }
};

// Tangents are truncated at every step for int tracks, kept as they are otherwise.
template <class T>
inline float tangentStep(float v) {
    return SplineLanes<T>::integral ? static_cast<float>(truncateToInt(v)) : v;
}

// The spline between keys[i - 1] and keys[i] at time t, for keys[i - 1].time < t < keys[i].time
// and no step on keys[i - 1]. Tangents come from the neighbours, with the natural-spline end
// correction at the real ends of the track and a straight line for two keys.
template <class T>
T splineSegment(const std::vector<Key<T>>& keys, size_t i, float t) {
    using L = SplineLanes<T>;
    const Key<T>& k0 = keys[i - 1];
    const Key<T>& k1 = keys[i];
    const size_t n = keys.size();
    const bool k0First = i - 1 == 0;
    const bool k1Last = i == n - 1;
    const float u = (t - k0.time) / (k1.time - k0.time);
    const float u2 = u * u, u3 = u2 * u;
    const float h00 = 2.0f * u3 - 3.0f * u2 + 1.0f;
    const float h01 = 3.0f * u2 - 2.0f * u3;
    const float h10 = u3 - 2.0f * u2 + u;
    const float h11 = u3 - u2;
    T out = k0.value;
    for (int lane = 0; lane < L::lanes; ++lane) {
        const float p0 = L::get(k0.value, lane);
        const float p1 = L::get(k1.value, lane);
        float t0, t1;
        if (n == 2) {
            t0 = t1 = tangentStep<T>(p1 - p0);
        } else {
            if (k0First || keys[i - 2].step)
                t0 = tangentStep<T>(1.5f * (p1 - p0));
            else
                t0 = tangentStep<T>(0.5f * (p1 - L::get(keys[i - 2].value, lane)));
            if (k1Last || k1.step)
                t1 = tangentStep<T>(1.5f * (p1 - p0));
            else
                t1 = tangentStep<T>(0.5f * (L::get(keys[i + 1].value, lane) - p0));
            if (k0First) t0 = tangentStep<T>(t0 - 0.5f * t1);
            if (k1Last) t1 = tangentStep<T>(t1 - 0.5f * t0);
        }
        L::set(out, lane, h00 * p0 + h01 * p1 + h10 * t0 + h11 * t1);
    }
    L::finish(out);
    return out;
}

// The first index i in 1..n-1 with t <= keys[i].time, for keys[0].time < t < keys[n-1].time,
// found by walking from the first key. The reference the faster search must agree with.
template <class T>
size_t linearSegment(const std::vector<Key<T>>& keys, float t) {
    size_t i = 1;
    while (t > keys[i].time) ++i;
    return i;
}

template <class T>
class Interpolator : public IInterpolator<T> {
public:
    int count() const override { return static_cast<int>(keys_.size()); }

    void removeAt(int index) override {
        if (index < 0 || index >= count()) return;
        keys_.erase(keys_.begin() + index);
    }

    void addKey(float time, const T& value, bool step) override {
        if (std::isnan(time)) return;
        auto it = std::lower_bound(keys_.begin(), keys_.end(), time,
                                   [](const Key<T>& k, float when) { return k.time < when; });
        if (it != keys_.end() && it->time == time) {
            it->value = value;
            it->step = step;
            return;
        }
        keys_.insert(it, Key<T>{time, step, value});
    }

    bool getKey(int index, float& time, T& value, bool& step) const override {
        if (index < 0 || index >= count()) return false;
        time = keys_[index].time;
        value = keys_[index].value;
        step = keys_[index].step;
        return true;
    }

    const std::vector<Key<T>>& keys() const { return keys_; }

protected:
    // Same answer as linearSegment. Tracks are read every frame at a slowly moving time, so
    // the segment of the previous call (or the one after it) is tried first; otherwise a
    // binary search. Either way the cost does not grow with the position of t.
    size_t segment(float t) const {
        const size_t n = keys_.size();
        size_t i = lastSegment_;
        if (i >= 1 && i < n && keys_[i - 1].time < t && t <= keys_[i].time) return i;
        if (i + 1 < n && keys_[i].time < t && t <= keys_[i + 1].time) return lastSegment_ = i + 1;
        size_t lo = 1, hi = n - 1;  // keys_[hi].time >= t is known
        while (lo < hi) {
            const size_t mid = lo + (hi - lo) / 2;
            if (t <= keys_[mid].time)
                hi = mid;
            else
                lo = mid + 1;
        }
        return lastSegment_ = lo;
    }

    std::vector<Key<T>> keys_;  // strictly increasing time

private:
    mutable size_t lastSegment_ = 0;
};

template <class T>
class TCBInterpolator : public Interpolator<T> {
public:
    void valueAt(float t, T* out) const override {
        const auto& keys = this->keys_;
        if (keys.empty() || std::isnan(t)) return;
        if (t <= keys.front().time) {
            *out = keys.front().value;
            return;
        }
        if (t >= keys.back().time) {
            *out = keys.back().value;
            return;
        }
        const size_t i = this->segment(t);
        if (t == keys[i].time)
            *out = keys[i].value;
        else if (keys[i - 1].step)
            *out = keys[i - 1].value;
        else
            *out = splineSegment(keys, i, t);
    }
};

template <class T>
class StateInterpolator : public Interpolator<T> {
public:
    void valueAt(float t, T* out) const override {
        const auto& keys = this->keys_;
        if (keys.empty() || std::isnan(t) || t < keys.front().time) return;
        if (t >= keys.back().time) {
            *out = keys.back().value;
            return;
        }
        if (t == keys.front().time) {
            *out = keys.front().value;
            return;
        }
        const size_t i = this->segment(t);
        *out = t == keys[i].time ? keys[i].value : keys[i - 1].value;
    }
};

// What the property script edits and reads a track through.
template <class T>
class IKeyframesProvider {
public:
    virtual ~IKeyframesProvider() = default;
    virtual int count() const = 0;
    virtual bool getKey(int index, float& time, bool& step, T& value) const = 0;
    // The index is ignored: a key is found again by its time.
    virtual void setKey(int index, float time, bool step, const T& value) = 0;
    // Zero (for vectors (0, 0, 0, 1)) where the track gives no value.
    virtual T valueAt(float time) const = 0;
    virtual void addKey(float time, bool step, const T& value) = 0;
    virtual void removeAt(int index) = 0;
};

template <class T>
class KeyframesProvider : public IKeyframesProvider<T> {
public:
    explicit KeyframesProvider(std::unique_ptr<IInterpolator<T>> interpolator)
        : interpolator_(std::move(interpolator)) {}

    int count() const override { return interpolator_->count(); }
    bool getKey(int index, float& time, bool& step, T& value) const override {
        return interpolator_->getKey(index, time, value, step);
    }
    void setKey(int, float time, bool step, const T& value) override { interpolator_->addKey(time, value, step); }
    T valueAt(float time) const override {
        T out = zero();
        interpolator_->valueAt(time, &out);
        return out;
    }
    void addKey(float time, bool step, const T& value) override { interpolator_->addKey(time, value, step); }
    void removeAt(int index) override { interpolator_->removeAt(index); }

    IInterpolator<T>* interpolator() const { return interpolator_.get(); }

private:
    static T zero() {
        if constexpr (std::is_same_v<T, sm::Vec3>)
            return sm::Vec3(0.0f, 0.0f, 0.0f);
        else
            return T{};
    }
    std::unique_ptr<IInterpolator<T>> interpolator_;
};
