#include "core/var_list.h"

#include "platform/text.h"
#include "shared/errors.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace vesk {

TVarList* IniVars = nullptr;
TVarList* SpVars = nullptr;
TVarList* IeVars = nullptr;

namespace {

std::vector<std::unique_ptr<TVarList>>& VarListRegistry() {
    static std::vector<std::unique_ptr<TVarList>> lists;
    return lists;
}

std::string_view TrimSpaces(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool ParseInteger(std::string_view s, int32_t& out) {
    s = TrimSpaces(s);
    bool negative = false;
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (!s.empty() && s[0] == '$') {
        base = 16;
        s.remove_prefix(1);
    } else if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    if (s.empty()) return false;
    int64_t v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
    if (ec != std::errc() || end != s.data() + s.size()) return false;
    if (negative) v = -v;
    // Hexadecimal text names a bit pattern: "$FFFFFFFF" is -1.
    if (base == 16 && !negative && v <= 0xFFFFFFFFll) v = static_cast<int32_t>(static_cast<uint32_t>(v));
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) return false;
    out = static_cast<int32_t>(v);
    return true;
}

bool ParseFloat(std::string_view s, double& out) {
    s = TrimSpaces(s);
    if (!s.empty() && s[0] == '+') s.remove_prefix(1);
    if (s.empty()) return false;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && end == s.data() + s.size() && std::isfinite(out);
}

bool ParseBoolean(std::string_view s, bool& out) {
    std::string t = platform::LowerCaseCp1251(TrimSpaces(s));
    if (t == "true") return out = true, true;
    if (t == "false") return out = false, true;
    return false;
}

// Round to the nearest integer, halves to even, when it fits.
bool RoundToInt32(double d, int32_t& out) {
    if (!std::isfinite(d)) return false;
    double r = std::nearbyint(d);
    if (r < std::numeric_limits<int32_t>::min() || r > std::numeric_limits<int32_t>::max()) return false;
    out = static_cast<int32_t>(r);
    return true;
}

void SetOk(bool* ok, bool value) {
    if (ok) *ok = value;
}

// Lower-case form of every byte, made once: names are compared on every
// lookup.
const std::array<unsigned char, 256>& LowerTable() {
    static const std::array<unsigned char, 256> table = [] {
        std::array<unsigned char, 256> t{};
        for (int c = 0; c < 256; ++c)
            t[static_cast<size_t>(c)] =
                static_cast<unsigned char>(platform::LowerCp1251(static_cast<char>(c)));
        return t;
    }();
    return table;
}

int CompareNames(std::string_view a, std::string_view b) {
    const auto& lower = LowerTable();
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char ca = lower[static_cast<unsigned char>(a[i])];
        unsigned char cb = lower[static_cast<unsigned char>(b[i])];
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

} // namespace

// ---- VarValue --------------------------------------------------------------

VarValue VarValue::OfType(VarType type) {
    switch (type) {
    case VarType::Integer:
        return VarValue(int32_t{0});
    case VarType::Single:
        return VarValue(0.0f);
    case VarType::String:
        return VarValue(std::string());
    case VarType::Boolean:
        return VarValue(false);
    case VarType::Empty:
        break;
    }
    return VarValue();
}

int32_t VarValue::AsInteger(bool* ok) const {
    SetOk(ok, true);
    int32_t r = 0;
    switch (Type()) {
    case VarType::Empty:
        return 0;
    case VarType::Integer:
        return std::get<int32_t>(value_);
    case VarType::Boolean:
        return std::get<bool>(value_) ? 1 : 0;
    case VarType::Single:
        if (RoundToInt32(std::get<float>(value_), r)) return r;
        break;
    case VarType::String: {
        const std::string& s = std::get<std::string>(value_);
        double d = 0;
        bool b = false;
        if (ParseInteger(s, r)) return r;
        if (ParseFloat(s, d) && RoundToInt32(d, r)) return r;
        if (ParseBoolean(s, b)) return b ? 1 : 0;
        break;
    }
    }
    SetOk(ok, false);
    return 0;
}

float VarValue::AsSingle(bool* ok) const {
    SetOk(ok, true);
    switch (Type()) {
    case VarType::Empty:
        return 0.0f;
    case VarType::Integer:
        return static_cast<float>(std::get<int32_t>(value_));
    case VarType::Single:
        return std::get<float>(value_);
    case VarType::Boolean:
        return std::get<bool>(value_) ? 1.0f : 0.0f;
    case VarType::String: {
        const std::string& s = std::get<std::string>(value_);
        double d = 0;
        int32_t i = 0;
        bool b = false;
        if (ParseFloat(s, d) && std::fabs(d) <= std::numeric_limits<float>::max())
            return static_cast<float>(d);
        if (ParseInteger(s, i)) return static_cast<float>(i);
        if (ParseBoolean(s, b)) return b ? 1.0f : 0.0f;
        break;
    }
    }
    SetOk(ok, false);
    return 0.0f;
}

bool VarValue::AsBoolean(bool* ok) const {
    SetOk(ok, true);
    switch (Type()) {
    case VarType::Empty:
        return false;
    case VarType::Integer:
        return std::get<int32_t>(value_) != 0;
    case VarType::Single:
        return std::get<float>(value_) != 0.0f;
    case VarType::Boolean:
        return std::get<bool>(value_);
    case VarType::String: {
        const std::string& s = std::get<std::string>(value_);
        bool b = false;
        double d = 0;
        if (ParseBoolean(s, b)) return b;
        if (ParseFloat(s, d)) return d != 0.0;
        int32_t i = 0;
        if (ParseInteger(s, i)) return i != 0;
        break;
    }
    }
    SetOk(ok, false);
    return false;
}

std::string VarValue::AsString() const {
    switch (Type()) {
    case VarType::Empty:
        return {};
    case VarType::Integer:
        return std::to_string(std::get<int32_t>(value_));
    case VarType::Single: {
        char buf[32];
        auto [end, ec] = std::to_chars(buf, buf + sizeof buf, std::get<float>(value_));
        return ec == std::errc() ? std::string(buf, end) : std::string("0");
    }
    case VarType::String:
        return std::get<std::string>(value_);
    case VarType::Boolean:
        return std::get<bool>(value_) ? "True" : "False";
    }
    return {};
}

// ---- TVarList ----------------------------------------------------------------

TVarList* TVarList::Create(std::string name) {
    auto& lists = VarListRegistry();
    lists.push_back(std::unique_ptr<TVarList>(new TVarList(std::move(name))));
    return lists.back().get();
}

size_t TVarList::Find(std::string_view name, bool& found) const {
    auto it = std::lower_bound(names_.begin(), names_.end(), name, [](const auto& entry, std::string_view n) {
        return CompareNames(entry.first, n) < 0;
    });
    found = it != names_.end() && CompareNames(it->first, name) == 0;
    return static_cast<size_t>(it - names_.begin());
}

int TVarList::DeclareVar(std::string_view name, VarType type) {
    bool found = false;
    size_t at = Find(name, found);
    if (found) return names_[at].second;
    int index = static_cast<int>(values_.size());
    values_.push_back(VarValue::OfType(type));
    names_.insert(names_.begin() + static_cast<std::ptrdiff_t>(at), {std::string(name), index});
    // A name read before it was declared has its value now.
    ForgetCachedReads();
    return index;
}

void TVarList::DeclareVector(std::string_view name, const Vec3& v) {
    std::string base(name);
    for (const char* suffix : {".x", ".y", ".z"}) DeclareVar(base + suffix, VarType::Single);
    SetVector(name, v);
}

void TVarList::SetVector(std::string_view name, const Vec3& v) {
    std::string base(name);
    Put(base + ".x", v.x);
    Put(base + ".y", v.y);
    Put(base + ".z", v.z);
}

Vec3 TVarList::GetVector(std::string_view name) const {
    std::string base(name);
    return {Get(base + ".x").AsSingle(), Get(base + ".y").AsSingle(), Get(base + ".z").AsSingle()};
}

bool TVarList::Exists(std::string_view name) const {
    bool found = false;
    Find(name, found);
    return found;
}

VarValue TVarList::Get(std::string_view name) const {
    bool found = false;
    size_t at = Find(name, found);
    if (!found) {
        ErrorReport("Failed TVarList.Get()\nVariable not found: " + std::string(name), "mhl");
        return VarValue();
    }
    return values_[static_cast<size_t>(names_[at].second)];
}

void TVarList::Put(std::string_view name, const VarValue& v) {
    bool found = false;
    size_t at = Find(name, found);
    if (!found) {
        ErrorReport("Failed TVarList.Put()\nVariable not found: " + std::string(name), "mhl");
        return;
    }
    values_[static_cast<size_t>(names_[at].second)] = v;
    ForgetCachedReads();
}

int32_t TVarList::ReadAndKeep(size_t slot, std::string_view name, int32_t fallback) const {
    bool found = false;
    const size_t at = Find(name, found);
    CachedRead& r = cached_[slot];
    r.value = found ? values_[static_cast<size_t>(names_[at].second)].AsInteger() : fallback;
    r.valid = true;
    return r.value;
}

void TVarList::ForgetCachedReads() {
    for (CachedRead& r : cached_) r.valid = false;
}

// ---- the global lists ----------------------------------------------------------

const std::vector<std::unique_ptr<TVarList>>& AllVarLists() {
    return VarListRegistry();
}

TVarList* FindVarListWith(std::string_view name) {
    for (const auto& list : VarListRegistry())
        if (list->Exists(name)) return list.get();
    return nullptr;
}

void FreeAllVarLists() {
    IniVars = SpVars = IeVars = nullptr;
    auto& lists = VarListRegistry();
    lists.clear();
    lists.shrink_to_fit();
}

namespace {

// Declared settings with their defaults, in declaration order per list.
// Kinds: 'i' integer, 'f' single, 's' string, 'b' boolean, 'v' vector ("x y z").
struct VarDecl {
    char kind;
    const char* name;
    const char* def;
};

constexpr VarDecl kIniDecls[] = {
    {'i', "maxstars", "0"},
    {'i', "maxbigstars", "0"},
    {'i', "win.x", "0"},
    {'i', "win.y", "0"},
    {'i', "win.w", "0"},
    {'i', "win.h", "0"},
    {'i', "sound", "-1"},
    {'i', "sound_log", "0"},
    {'i', "texture_res", "-1"},
    {'i', "profile", "0"},
    {'i', "fullscreen", "-1"},
    {'i', "fullscreen.w", "0"},
    {'i', "fullscreen.h", "0"},
    {'i', "loadenv", "0"},
    {'i', "loadobj", "0"},
    {'i', "hardware_acceleration", "0"},
    {'i', "debugkeys", "0"},
    {'i', "xmode", "0"},
    {'i', "autoSaveIni", "0"},
    {'s', "win.caption", "Vesk Annals"},
    {'s', "path.data", ""},
    {'s', "font", "verdana.ttf"},
    {'b', "nocinimaticmenuback", "false"},
};

constexpr VarDecl kSpDecls[] = {
    {'i', "env", "0"},
    {'i', "env.skysphere", "0"},
    {'i', "env.stars", "0"},
    {'i', "env.bigstars", "0"},
    {'i', "env.stars.low", "0"},
    {'i', "vis.wiremode", "0"},
    {'i', "vis.cubemode", "0"},
    {'i', "vis.gwaxis", "0"},
    {'v', "env.angle", "0 0 0"},
    {'v', "cam.from", "0 0 0"},
    {'v', "cam.to", "0 0 0"},
    {'v', "cam.ori", "0 0 0"},
    {'v', "cam.Up", "0 0 1"},
    {'s', "cam.mode", ""},
    {'f', "cam.fov", "0"},
    {'f', "cam.angle", "0"},
    {'s', "spts", ""},
    {'s', "spts2", ""},
    // Scene switches read each tick by jets, effects, ships and turrets.
    {'i', "vis.jets", "1"},
    {'i', "vis.effectsoff", "0"},
    {'i', "vis.frozen", "0"},
};

constexpr VarDecl kIeDecls[] = {
    {'i', "fps", "0"},
    {'f', "con.h", "0"},
    {'v', "con.color", "0 0 0"},
    {'v', "con.fontcolor", "0 0 0"},
    {'i', "filter", "0"},
    {'f', "dx", "0"},
    {'f', "dy", "0"},
    {'f', "sensitivity", "0"},
    {'i', "playvideo", "1"},
    {'i', "maxlag", "1000"},
    {'i', "i_debug", "0"},
    {'i', "i_maxloadbar", "0"},
    {'i', "i_actions", "0"},
    {'i', "i_dialog", "0"},
    {'i', "i_fly_mode", "0"},
    {'i', "i_instation", "0"},
    {'i', "i_navigation", "0"},
    {'i', "i_shipcrew", "0"},
    {'i', "i_loading", "0"},
    {'i', "i_satellites", "0"},
    {'i', "i_crewskills", "0"},
    {'i', "i_camera", "0"},
    {'i', "i_trade", "0"},
    {'i', "i_repair", "0"},
    {'i', "i_upgrade", "0"},
    {'i', "i_sound_off", "0"},
    {'s', "i_local", "rus"},
    {'i', "i_unitcontrol", "0"},
};

template <size_t N> void Declare(TVarList& list, const VarDecl (&decls)[N]) {
    for (const VarDecl& d : decls) {
        VarValue def(d.def);
        switch (d.kind) {
        case 'i':
            list.DeclareVar(d.name, VarType::Integer);
            list.Put(d.name, def.AsInteger());
            break;
        case 'f':
            list.DeclareVar(d.name, VarType::Single);
            list.Put(d.name, def.AsSingle());
            break;
        case 's':
            list.DeclareVar(d.name, VarType::String);
            list.Put(d.name, def);
            break;
        case 'b':
            list.DeclareVar(d.name, VarType::Boolean);
            list.Put(d.name, def.AsBoolean());
            break;
        case 'v': {
            Vec3 v;
            std::sscanf(d.def, "%f %f %f", &v.x, &v.y, &v.z);
            list.DeclareVector(d.name, v);
            break;
        }
        }
    }
}

} // namespace

void InitVarLists() {
    FreeAllVarLists();
    // Made in the order the console walks them; declared "ini", "sp", "ie".
    SpVars = TVarList::Create("sp");
    IeVars = TVarList::Create("ie");
    IniVars = TVarList::Create("ini");
    Declare(*IniVars, kIniDecls);
    Declare(*SpVars, kSpDecls);
    Declare(*IeVars, kIeDecls);
}

} // namespace vesk
