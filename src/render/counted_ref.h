#pragma once
// An owning reference to a reference-counted render interface (textures,
// render-state sets, fogs): AddRef on copy, ReleaseRef when dropped. The
// interfaces count apart from the engine object's own Release, which queues
// the object for deferred destruction.
#include <cstddef>
#include <utility>

namespace vesk {

template <class T> class CountedRef {
public:
    CountedRef() = default;
    CountedRef(std::nullptr_t) {}
    // Takes a new reference to p.
    explicit CountedRef(T* p) : p_(p) {
        if (p_) p_->AddRef();
    }
    CountedRef(const CountedRef& o) : CountedRef(o.p_) {}
    CountedRef(CountedRef&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    template <class U> CountedRef(const CountedRef<U>& o) : CountedRef(o.Get()) {}
    ~CountedRef() { Reset(); }
    CountedRef& operator=(const CountedRef& o) {
        if (o.p_) o.p_->AddRef();
        Reset();
        p_ = o.p_;
        return *this;
    }
    CountedRef& operator=(CountedRef&& o) noexcept {
        if (this != &o) {
            Reset();
            p_ = std::exchange(o.p_, nullptr);
        }
        return *this;
    }
    CountedRef& operator=(std::nullptr_t) {
        Reset();
        return *this;
    }
    // Takes over a reference the caller already holds.
    static CountedRef Adopt(T* p) {
        CountedRef r;
        r.p_ = p;
        return r;
    }
    void Reset() {
        if (p_) std::exchange(p_, nullptr)->ReleaseRef();
    }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    T& operator*() const { return *p_; }
    explicit operator bool() const { return p_ != nullptr; }
    bool operator==(const CountedRef& o) const { return p_ == o.p_; }
    bool operator==(std::nullptr_t) const { return p_ == nullptr; }

private:
    T* p_ = nullptr;
};

} // namespace vesk
