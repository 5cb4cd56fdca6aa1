#pragma once
// Named lists of typed settings variables ("ini", "sp", "ie"), declared with
// their defaults at start and changed by the console start files and scripts.
#include "platform/math_types.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace vesk {

enum class VarType { Empty, Integer, Single, String, Boolean };

// One variable's value. It carries its own type: storing a value of another
// type changes the variable's type. Reading it as another type converts.
class VarValue {
public:
    VarValue() = default;
    VarValue(int32_t v) : value_(v) {}
    VarValue(float v) : value_(v) {}
    VarValue(double v) : value_(static_cast<float>(v)) {} // stored as a single
    VarValue(std::string v) : value_(std::move(v)) {}
    VarValue(const char* v) : value_(std::string(v)) {}
    VarValue(bool v) : value_(v) {}
    // The empty value of a type: 0, 0.0, "" or false.
    static VarValue OfType(VarType type);

    VarType Type() const { return static_cast<VarType>(value_.index()); }
    bool IsEmpty() const { return Type() == VarType::Empty; }

    // Conversions. Text is read as a number ("$" or "0x" for hexadecimal; a
    // fraction is rounded to the nearest, halves to even) or as "true"/"false";
    // text that is neither reads as 0 (or false) and *ok is set false.
    int32_t AsInteger(bool* ok = nullptr) const;
    float AsSingle(bool* ok = nullptr) const;
    bool AsBoolean(bool* ok = nullptr) const;
    // Integers in decimal, singles in the shortest text that reads back the
    // same, booleans as "True"/"False", the empty value as "".
    std::string AsString() const;

    bool operator==(const VarValue& other) const = default;

private:
    std::variant<std::monostate, int32_t, float, std::string, bool> value_;
};

class TVarList {
public:
    // A new empty list entered in the global list of var lists, which owns it.
    static TVarList* Create(std::string name);

    const std::string& Name() const { return name_; }

    // Appends a variable holding its type's empty value; returns its index.
    // A name declared before keeps its variable and index.
    int DeclareVar(std::string_view name, VarType type);
    // Declares the singles name.x, name.y, name.z and stores the vector.
    void DeclareVector(std::string_view name, const Vec3& v);
    void SetVector(std::string_view name, const Vec3& v);
    Vec3 GetVector(std::string_view name) const;

    // Names compare without case.
    bool Exists(std::string_view name) const;
    // A copy of the stored value. An unknown name is a fatal report.
    VarValue Get(std::string_view name) const;
    // The stored value becomes a copy of v, taking v's type. An unknown name is a fatal report.
    void Put(std::string_view name, const VarValue& v);

    // Declared names in the list's sorted order, each with its value index.
    const std::vector<std::pair<std::string, int>>& Names() const { return names_; }
    const std::vector<VarValue>& Values() const { return values_; }

    // For variables read many times a frame (the scene switches): the value of
    // the name as an integer, or fallback while the list does not declare it.
    // The caller gives each such name a number of its own below kCachedReads;
    // the list keeps what it read there until a variable is declared or stored.
    static constexpr size_t kCachedReads = 4;
    int32_t CachedInteger(size_t slot, std::string_view name, int32_t fallback) const {
        const CachedRead& r = cached_[slot];
        return r.valid ? r.value : ReadAndKeep(slot, name, fallback);
    }

private:
    explicit TVarList(std::string name) : name_(std::move(name)) {}
    // Position of the name in names_, or of where it would go; found says which.
    size_t Find(std::string_view name, bool& found) const;
    int32_t ReadAndKeep(size_t slot, std::string_view name, int32_t fallback) const;
    void ForgetCachedReads();

    struct CachedRead {
        bool valid = false;
        int32_t value = 0;
    };

    std::string name_;
    std::vector<std::pair<std::string, int>> names_; // sorted without case
    std::vector<VarValue> values_;
    mutable std::array<CachedRead, kCachedReads> cached_{};
};

// The three lists of the settings (owned by the global list of var lists).
extern TVarList* IniVars; // "ini"
extern TVarList* SpVars;  // "sp"
extern TVarList* IeVars;  // "ie"

// Every var list, in the order the console walks them: "sp", "ie", "ini", then
// any list made later.
const std::vector<std::unique_ptr<TVarList>>& AllVarLists();
// The first list in walk order that declares the name; nullptr when none does.
TVarList* FindVarListWith(std::string_view name);
// Frees every var list and the global list; the three globals become nullptr.
void FreeAllVarLists();
// Makes the three settings lists with their declared variables and defaults
// (freeing any var lists there were).
void InitVarLists();

// Switches read by the scene each tick; the console and scripts change them
// through the "sp" variables "vis.jets", "vis.effectsoff" and "vis.frozen".
// Each has a cached read of its own in the "sp" list.
enum SceneSwitchRead : size_t { kJetsRead, kEffectsOffRead, kFrozenRead };
static_assert(kFrozenRead < TVarList::kCachedReads);
// Jets tick only while this is not 0 (default 1).
inline int32_t JetsSwitch() {
    return SpVars ? SpVars->CachedInteger(kJetsRead, "vis.jets", 1) : 1;
}
// 0 in normal play.
inline int32_t EffectsOffMode() {
    return SpVars ? SpVars->CachedInteger(kEffectsOffRead, "vis.effectsoff", 0) : 0;
}
// Ship and turret updates are skipped while set.
inline bool GameUpdatesFrozen() {
    return SpVars && SpVars->CachedInteger(kFrozenRead, "vis.frozen", 0) != 0;
}

} // namespace vesk
