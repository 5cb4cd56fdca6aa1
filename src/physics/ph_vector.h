#pragma once
// Vector objects of the movement code: a 3-vector that keeps its length and
// unit direction current and remembers its previous value, shared between the
// physics unit, its owner and the cameras through IPhVector.
#include "shared/engine_object.h"
#include "shared/math.h"

namespace vesk {

class IPhVector {
public:
    virtual Vec3 GetDirection() const = 0;
    virtual float GetLength() const = 0;
    virtual float GetPrevLength() const = 0;
    virtual Vec3 GetVector() const = 0;
    virtual Vec3 GetNegVector() const = 0;
    virtual Vec3 GetPrevVector() const = 0;
    virtual void SetVector(const Vec3& v) = 0;
    // normalise(d) * length; a zero d is ignored.
    virtual void SetDirection(const Vec3& d) = 0;
    virtual void SetVectorFrom(const IPhVector& o) = 0;
    virtual void SetDirectionFrom(const IPhVector& o) = 0;
    virtual void SetLength(float s) = 0;
    // The *Set forms store their result as the new value.
    virtual Vec3 AddSet(const Vec3& b) = 0;
    virtual Vec3 SubSet(const Vec3& b) = 0;
    virtual Vec3 CrossSet(const Vec3& b) = 0;
    virtual Vec3 AddSet(const IPhVector& b) = 0;
    virtual Vec3 SubSet(const IPhVector& b) = 0;
    virtual Vec3 CrossSet(const IPhVector& b) = 0;
    virtual Vec3 ScaleSet(float s) = 0;
    virtual Vec3 RotateSet(const Vec3& axis, float angle) = 0;
    virtual Vec3 RotateSet(const IPhVector& axis, float angle) = 0;
    virtual Vec3 Add(const Vec3& b) const = 0;
    virtual Vec3 Sub(const Vec3& b) const = 0;
    virtual Vec3 Cross(const Vec3& b) const = 0;
    virtual float Dot(const Vec3& b) const = 0;
    virtual Vec3 Add(const IPhVector& b) const = 0;
    virtual Vec3 Sub(const IPhVector& b) const = 0;
    virtual Vec3 Cross(const IPhVector& b) const = 0;
    virtual float DotWith(const IPhVector& b) const = 0;
    virtual Vec3 Scale(float s) const = 0;
    virtual float Angle(const Vec3& b) const = 0;
    virtual float CosAngle(const Vec3& b) const = 0;
    virtual Vec3 Rotate(const Vec3& axis, float angle) const = 0;
    virtual float Angle(const IPhVector& b) const = 0;
    virtual float CosAngle(const IPhVector& b) const = 0;
    virtual Vec3 Rotate(const IPhVector& axis, float angle) const = 0;
    virtual void Normalize() = 0;
    virtual void Negate() = 0;

protected:
    ~IPhVector() = default;
};

class TPhVector : public TEngineObject, public IPhVector {
public:
    TPhVector() = default;
    explicit TPhVector(const Vec3& v) { SetVector(v); }

    Vec3 GetDirection() const override { return dir_; }
    float GetLength() const override { return length_; }
    float GetPrevLength() const override { return prevLength_; }
    Vec3 GetVector() const override { return vec_; }
    Vec3 GetNegVector() const override { return Vec3Scale(vec_, -1.0f); }
    Vec3 GetPrevVector() const override { return prev_; }
    void SetVector(const Vec3& v) override;
    void SetDirection(const Vec3& d) override;
    void SetVectorFrom(const IPhVector& o) override { SetVector(o.GetVector()); }
    void SetDirectionFrom(const IPhVector& o) override { SetDirection(o.GetVector()); }
    void SetLength(float s) override { SetVector(Vec3Scale(dir_, s)); }
    Vec3 AddSet(const Vec3& b) override { return Store(Add(b)); }
    Vec3 SubSet(const Vec3& b) override { return Store(Sub(b)); }
    Vec3 CrossSet(const Vec3& b) override { return Store(Cross(b)); }
    Vec3 AddSet(const IPhVector& b) override { return AddSet(b.GetVector()); }
    Vec3 SubSet(const IPhVector& b) override { return SubSet(b.GetVector()); }
    Vec3 CrossSet(const IPhVector& b) override { return CrossSet(b.GetVector()); }
    Vec3 ScaleSet(float s) override { return Store(Scale(s)); }
    Vec3 RotateSet(const Vec3& axis, float angle) override { return Store(Rotate(axis, angle)); }
    Vec3 RotateSet(const IPhVector& axis, float angle) override { return RotateSet(axis.GetVector(), angle); }
    Vec3 Add(const Vec3& b) const override { return Vec3Add(vec_, b); }
    Vec3 Sub(const Vec3& b) const override { return Vec3Sub(vec_, b); }
    Vec3 Cross(const Vec3& b) const override { return Vec3Cross(vec_, b); }
    float Dot(const Vec3& b) const override { return Vec3Dot(vec_, b); }
    Vec3 Add(const IPhVector& b) const override { return Add(b.GetVector()); }
    Vec3 Sub(const IPhVector& b) const override { return Sub(b.GetVector()); }
    Vec3 Cross(const IPhVector& b) const override { return Cross(b.GetVector()); }
    float DotWith(const IPhVector& b) const override { return Dot(b.GetVector()); }
    Vec3 Scale(float s) const override { return Vec3Scale(vec_, s); }
    float Angle(const Vec3& b) const override;
    float CosAngle(const Vec3& b) const override { return Vec3CosAngle(vec_, b); }
    Vec3 Rotate(const Vec3& axis, float angle) const override {
        return Vec3RotateAroundAxis(vec_, axis, angle);
    }
    float Angle(const IPhVector& b) const override { return Angle(b.GetVector()); }
    float CosAngle(const IPhVector& b) const override { return CosAngle(b.GetVector()); }
    Vec3 Rotate(const IPhVector& axis, float angle) const override { return Rotate(axis.GetVector(), angle); }
    void Normalize() override { SetVector(dir_); }
    void Negate() override { SetVector(GetNegVector()); }

private:
    Vec3 Store(const Vec3& v) {
        SetVector(v);
        return v;
    }
    Vec3 prev_{};
    Vec3 vec_{};
    Vec3 dir_{};
    float length_ = 0.0f;
    float prevLength_ = 0.0f;
};

// The direction of v within the plane spanned by a and b (v itself when a
// and b are parallel).
Vec3 ProjectOnPlaneDir(const Vec3& v, const Vec3& a, const Vec3& b);

// v turned about the axis by the angle in whichever sense leaves it nearer the
// direction `toward` (the positive sense when both are as near); with `away`,
// in the other sense.
Vec3 TurnAboutAxis(const Vec3& v, const Vec3& axis, float angle, const Vec3& toward, bool away = false);

// Finite and not NaN in every component.
inline bool IsValidVector(const Vec3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

} // namespace vesk
