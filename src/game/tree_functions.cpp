#include "game/tree_functions.h"

#include <string>

#include "core/lua_functions.h"
#include "game/events.h"
#include "game/game_lua.h"
#include "game/game_object.h"
#include "game/lua_text.h"
#include "game/obj_managers.h"
#include "game/params.h"
#include "shared/errors.h"
#include "shared/helpers.h"

namespace vesk {

namespace {

// Each handler runs in a guard: any failure inside it is reported with the
// function's own name.
template <class Body> int Guarded(const char* name, lua_State* L, Body body) {
    try {
        if (!GlobalObjects) throw std::runtime_error("no game-object root");
        return body(L);
    } catch (...) {
        ErrorReport(std::string(name) + " error: AV", "mhl");
        return 0;
    }
}

std::string Arg(lua_State* L, int i) {
    return LuaArgText(L, i);
}

TBaseGameObject* ParentOrRoot(const std::string& path) {
    return path.empty() ? GlobalObjects : GetVarByPath(path);
}

// engine_AddVar and engine_AddCashedVar: parent, name [, class [, template]].
int AddVar(lua_State* L, bool pooled) {
    const int n = lua_gettop(L);
    TBaseGameObject* parent = ParentOrRoot(Arg(L, 1));
    if (!parent) return 0;
    const std::string name = Arg(L, 2);
    std::string className =
        parent->GetDefaultChildClass() ? parent->GetDefaultChildClass()->name : "TBaseGameObject";
    if (n > 2) className = Arg(L, 3);
    const TGameClass* cls = FindGameClass(className);
    if (!cls) return 0;
    TBaseGameObject* obj = nullptr;
    if (pooled) {
        obj = ObjManagersManager ? ObjManagersManager->GetObject(*cls) : nullptr;
        if (!obj) return 0;
        obj->ReInit(name, parent);
    } else {
        obj = NewGameObject(*cls, name, parent);
    }
    if (n > 3)
        if (TBaseGameObject* tmpl = GetVarByPath(Arg(L, 4))) tmpl->CopyStructure(obj);
    return 0;
}

TBaseGameObject* NodeFromHex(lua_State* L, const char* context) {
    TEngineObject* o = ObjectFromHexText(Arg(L, 1), context);
    auto* node = dynamic_cast<TBaseGameObject*>(o);
    if (o && !node) throw std::runtime_error("not a game object");
    return node;
}

} // namespace

int engine_AddVar(lua_State* L) {
    return Guarded("engine_AddVar", L, [](lua_State* L) { return AddVar(L, false); });
}

int engine_AddCashedVar(lua_State* L) {
    return Guarded("engine_AddCashedVar", L, [](lua_State* L) { return AddVar(L, true); });
}

int engine_DelVar(lua_State* L) {
    return Guarded("engine_DelVar", L, [](lua_State* L) {
        if (TBaseGameObject* node = GetVarByPath(Arg(L, 1))) node->Delete();
        return 0;
    });
}

int engine_IsVar(lua_State* L) {
    return Guarded("engine_IsVar", L, [](lua_State* L) {
        lua_pushnumber(L, FindVarByPath(Arg(L, 1)) ? 1 : 0);
        return 1;
    });
}

int engine_SetVar(lua_State* L) {
    return Guarded("engine_SetVar", L, [](lua_State* L) {
        if (lua_gettop(L) != 2) {
            ErrorReport("engine_SetVar error: lua_gettop(L)<>2", "mhl");
            return 0;
        }
        if (TBaseGameObject* node = GetVarByPath(Arg(L, 1))) node->stringUpdate(Arg(L, 2));
        return 0;
    });
}

int engine_GetVar(lua_State* L) {
    return Guarded("engine_GetVar", L, [](lua_State* L) {
        const std::string path = Arg(L, 1);
        TBaseGameObject* node = FindVarByPath(path);
        if (!node) {
            ErrorReport(Ru("engine_GetVar error: элемента ") + path + Ru(" не существует"), "mhl");
            return 0;
        }
        std::string value;
        node->stringValue(value);
        lua_pushlstring(L, value.data(), value.size());
        return 1;
    });
}

int engine_GetHex(lua_State* L) {
    return Guarded("engine_GetHex", L, [](lua_State* L) {
        TBaseGameObject* node = GetVarByPath(Arg(L, 1));
        if (!node) return 0;
        lua_pushstring(L, node->GetHex().c_str());
        return 1;
    });
}

int engine_GetPath(lua_State* L) {
    return Guarded("engine_GetPath", L, [](lua_State* L) {
        TBaseGameObject* node = NodeFromHex(L, "engine_GetPath error:");
        if (!node) return 0;
        const std::string path = GetLuaPath(node);
        lua_pushlstring(L, path.data(), path.size());
        return 1;
    });
}

int engine_GetId(lua_State* L) {
    return Guarded("engine_GetId", L, [](lua_State* L) {
        TBaseGameObject* node = NodeFromHex(L, "engine_GetPath error:");
        if (!node) return 0;
        lua_pushlstring(L, node->GetName().data(), node->GetName().size());
        return 1;
    });
}

int engine_Execute(lua_State* L) {
    return Guarded("engine_Execute", L, [](lua_State* L) {
        const std::string path = Arg(L, 1);
        TBaseGameObject* node = FindVarByPath(path);
        if (!node) {
            ErrorReport(Ru("engine_Execute error: элемента ") + path + Ru(" не существует"), "mhl");
            return 0;
        }
        return node->Execute(L);
    });
}

int engine_SetParent(lua_State* L) {
    return Guarded("engine_SetParent", L, [](lua_State* L) {
        TBaseGameObject* parent = GetVarByPath(Arg(L, 2));
        if (!parent) return 0;
        if (TBaseGameObject* node = GetVarByPath(Arg(L, 1))) node->SetParent(parent);
        return 0;
    });
}

int engine_GetTable(lua_State* L) {
    return Guarded("engine_GetTable", L, [](lua_State* L) {
        TBaseGameObject* node = GetVarByPath(Arg(L, 1));
        if (!node) return 0;
        std::string text = "{";
        int32_t cursor;
        TBaseGameObject* child;
        node->First(cursor);
        while (node->Next(cursor, child)) text += LuaLongString(child->GetName()) + ",";
        text += "}";
        lua_pushlstring(L, text.data(), text.size());
        return 1;
    });
}

int engine_SpawnVar(lua_State* L) {
    return Guarded("engine_SpawnVar", L, [](lua_State* L) {
        TBaseGameObject* parent = ParentOrRoot(Arg(L, 2));
        if (!parent) return 0;
        TBaseGameObject* pattern = GetVarByPath(Arg(L, 1));
        if (!pattern) return 0;
        auto* spawner = dynamic_cast<IGameObjectSpawner*>(pattern);
        if (!spawner) throw std::runtime_error("not a spawn pattern");
        spawner->Spawn(Arg(L, 3), parent);
        return 0;
    });
}

int engine_SaveToFile(lua_State* L) {
    return Guarded("engine_SaveToFile", L, [](lua_State* L) {
        if (TBaseGameObject* node = GetVarByPath(Arg(L, 1))) node->saveData(Arg(L, 2));
        return 0;
    });
}

int engine_LoadFromFile(lua_State* L) {
    return Guarded("engine_LoadFromFile", L, [](lua_State* L) {
        if (TBaseGameObject* node = GetVarByPath(Arg(L, 1))) node->loadData(Arg(L, 2));
        return 0;
    });
}

int engine_UpdateToScript(lua_State* L) {
    return Guarded("engine_UpdateToScript", L, [](lua_State* L) {
        if (TBaseGameObject* node = GetVarByPath(Arg(L, 1))) node->UpdateToScript(Arg(L, 2));
        return 0;
    });
}

int engine_UpdateToEngine(lua_State* L) {
    return Guarded("engine_UpdateToEngine", L, [](lua_State* L) {
        if (TBaseGameObject* node = GetVarByPath(Arg(L, 1))) node->UpdateToEngine(Arg(L, 2));
        return 0;
    });
}

void RegisterGameTreeClasses() {
    RegisterListClasses();
    RegisterParamClasses();
    RegisterEventClasses();
}

void RegisterGameTreeFunctions() {
    static const std::pair<const char*, lua_CFunction> kFunctions[] = {
        {"engine_SetVar", engine_SetVar},
        {"engine_GetVar", engine_GetVar},
        {"engine_AddVar", engine_AddVar},
        {"engine_AddCashedVar", engine_AddCashedVar},
        {"engine_SpawnVar", engine_SpawnVar},
        {"engine_UpdateToScript", engine_UpdateToScript},
        {"engine_UpdateToEngine", engine_UpdateToEngine},
        {"engine_SaveToFile", engine_SaveToFile},
        {"engine_LoadFromFile", engine_LoadFromFile},
        {"engine_DelVar", engine_DelVar},
        {"engine_IsVar", engine_IsVar},
        {"engine_Execute", engine_Execute},
        {"engine_SetParent", engine_SetParent},
        {"engine_GetHex", engine_GetHex},
        {"engine_GetPath", engine_GetPath},
        {"engine_GetId", engine_GetId},
        {"engine_GetTable", engine_GetTable},
    };
    for (const auto& [name, handler] : kFunctions) SetEngineFunction(name, handler);
}

} // namespace vesk
