#pragma once
// An interface tree under a stand-in desktop, with a fresh Lua host, the
// destroy queue, recorded drawing and the current folder in a temp folder
// (fault reports write their tree dumps there).
#include <gtest/gtest.h>

#include <string>

#include "core/lua_machine.h"
#include "interface/draw_nodes.h"
#include "interface/interface_tools.h"
#include "platform/files.h"
#include "support/error_trap.h"

namespace vesk::test {

class TestDesktop : public IDesktopView {
public:
    TSimpleNode* root = nullptr;
    bool doubleClick = false;
    uint8_t modifiers = 0;
    TIPoint cursor{511, 383};
    TSimpleNode* Root() override { return root; }
    bool DoubleClickFlag() override { return doubleClick; }
    uint8_t ModifierState() override { return modifiers; }
    TIPoint CursorPosition() override { return cursor; }
};

class InterfaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        oldFolder_ = platform::CurrentFolder();
        platform::SetCurrentFolder(dir.path());
        if (!TEODestroyManager) TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
        LuaDebugMode = false;
        CreateLuaMachine();
        StartInterfaceCore();
        root = TEngineObject::New<TMegaButton>();
        root->SetName("desktop");
        root->SetWidth(1024);
        root->SetHeight(768);
        desktop.root = root;
        InterfaceTools->SetDesktop(&desktop);
        InterfaceDrawer = &draw;
        InterfaceTextDrawer = &draw;
    }
    void TearDown() override {
        InterfaceDrawer = nullptr;
        InterfaceTextDrawer = nullptr;
        InterfaceScaleX = InterfaceScaleY = 1.0f;
        root->Free();
        TEODestroyManager->Flush();
        TEODestroyManager.reset();
        EndInterfaceCore();
        FreeLuaMachine();
        platform::SetCurrentFolder(oldFolder_);
    }

    // A child of the given class made through the registry, named.
    template <class T = TMegaButton>
    T* Add(TSimpleNode* parent, const std::string& name, const std::string& cls = "TMegaButton",
           const std::string& pattern = "") {
        TSimpleNode* n = parent->CreateChild(cls, pattern);
        n->SetProperty("NAME", name);
        T* t = dynamic_cast<T*>(n);
        if (!t) ADD_FAILURE() << name << " is a " << n->ClassName();
        return t;
    }
    // A button with a rectangle.
    TMegaButton* Button(TSimpleNode* parent, const std::string& name, int left, int top, int width,
                        int height) {
        TMegaButton* b = Add(parent, name);
        b->SetLeft(left);
        b->SetTop(top);
        b->SetWidth(width);
        b->SetHeight(height);
        return b;
    }
    void Lua(const std::string& chunk) { LuaMachine->RunString(chunk); }
    std::string Global(const char* name) {
        lua_State* L = LuaMachine->State();
        lua_getglobal(L, name);
        std::string v = lua_isstring(L, -1) ? lua_tostring(L, -1) : "";
        lua_pop(L, 1);
        return v;
    }
    std::string Prop(TSimpleNode* n, const std::string& key) {
        std::string v;
        n->GetProperty(key, v);
        return v;
    }
    // A press and a release of the left button at the cursor, through the tree.
    void Click(int x, int y, int button = 0) {
        desktop.cursor = {x, y};
        DispatchMouseButton(root, x, y, 0, button);
        DispatchMouseButton(root, x, y, 1, button);
    }

    ErrorTrap trap;
    TempDir dir;
    TestDesktop desktop;
    TDrawRecorder draw;
    TMegaButton* root = nullptr;

private:
    std::string oldFolder_;
};

} // namespace vesk::test
