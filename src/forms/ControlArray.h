#pragma once

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace kavro::toolkit {

// A control array: element 0 always exists; further elements are loaded by index, start as
// copies of element 0's settings, hidden, and can be unloaded again. Indices are 16-bit.
template <class T>
class ControlArray {
public:
    static constexpr int kMaxIndex = 32767;

    explicit ControlArray(std::string name, T design) : name_(std::move(name)) {
        design.Index = 0;
        elements_.push_back(std::make_unique<T>(std::move(design)));
    }

    const std::string& Name() const { return name_; }

    // Highest loaded index.
    int UBound() const { return static_cast<int>(elements_.size()) - 1; }
    bool Exists(int i) const {
        return i >= 0 && i <= UBound() && elements_[static_cast<std::size_t>(i)] != nullptr;
    }
    // nullptr when element i is not loaded.
    T* At(int i) { return Exists(i) ? elements_[static_cast<std::size_t>(i)].get() : nullptr; }
    const T* At(int i) const {
        return Exists(i) ? elements_[static_cast<std::size_t>(i)].get() : nullptr;
    }
    // Throws std::out_of_range when element i is not loaded.
    T& operator[](int i) {
        if (!Exists(i)) throw std::out_of_range(name_ + "(" + std::to_string(i) + ") is not loaded");
        return *elements_[static_cast<std::size_t>(i)];
    }
    const T& operator[](int i) const {
        if (!Exists(i)) throw std::out_of_range(name_ + "(" + std::to_string(i) + ") is not loaded");
        return *elements_[static_cast<std::size_t>(i)];
    }

    // Loads element i as a hidden copy of element 0. False when i is out of range or loaded.
    bool Load(int i) {
        if (i <= 0 || i > kMaxIndex || Exists(i)) return false;
        if (i > UBound()) elements_.resize(static_cast<std::size_t>(i) + 1);
        auto element = std::make_unique<T>(*elements_[0]);
        // Settings are copied; what was drawn on element 0 is not.
        if constexpr (requires { element->Cls(); }) element->Cls();
        element->Index = i;
        element->Visible = false;
        elements_[static_cast<std::size_t>(i)] = std::move(element);
        return true;
    }
    // Unloads element i (never element 0). False when it is not loaded.
    bool Unload(int i) {
        if (i <= 0 || !Exists(i)) return false;
        elements_[static_cast<std::size_t>(i)].reset();
        while (elements_.size() > 1 && elements_.back() == nullptr) elements_.pop_back();
        return true;
    }

    // Visits every loaded element in index order.
    template <class F>
    void ForEach(F&& f) {
        for (auto& e : elements_)
            if (e) f(*e);
    }
    template <class F>
    void ForEach(F&& f) const {
        for (const auto& e : elements_)
            if (e) f(static_cast<const T&>(*e));
    }

private:
    std::string name_;
    std::vector<std::unique_ptr<T>> elements_;
};

}  // namespace kavro::toolkit
