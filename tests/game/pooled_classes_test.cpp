// Every registered game class as scripts handle it: taken from a pool
// (engine_AddCashedVar), the entry is built with the children a new object of
// the class has, takes values, ticks, goes back to its pool and comes out
// whole again; and an object whose children a script deletes one by one goes
// on working without them (its owner lets go of each as it leaves).
#include <string>
#include <vector>

#include "ai_fixture.h"
#include "game/camera_tracks.h"
#include "game/damage.h"
#include "game/scene.h"
#include "game/triggers.h"
#include "shared/errors.h"

namespace vesk::test {
namespace {

class PooledClasses : public AiTest {
protected:
    void SetUp() override {
        AiTest::SetUp();
        // Everything the program registers.
        RegisterCameraTrackClasses();
        RegisterSceneClasses();
        RegisterTriggerClasses();
        Run("engine_AddVar('', 'pool', 'TBaseGameObjectList')");
        // A fatal report is recorded and the walk goes on, so that one class
        // that fails shows every other one too.
        GetErrorHooks().halt = [] {};
    }

    // The node's own subtree as text: name and class of each child, in order.
    static std::string Shape(const TBaseGameObject* node) {
        std::string out;
        const TChildList* list = node ? node->GetObjects() : nullptr;
        if (!list) return out;
        for (const TBaseGameObject* c : *list) {
            if (!c || c->GetParent() != node) continue;
            out += c->GetName() + ":" + c->ClassName();
            const std::string inner = Shape(c);
            if (!inner.empty()) out += "{" + inner + "}";
            out += " ";
        }
        return out;
    }

    // The fatal reports made since the last call.
    std::vector<std::string> Fatal() {
        std::vector<std::string> out;
        for (const auto& r : trap.reports)
            if (r.flags.find('h') != std::string::npos) out.push_back(r.text);
        trap.reports.clear();
        return out;
    }

    // Gives each plain value among the node's children a value and reads it
    // back through the same path; what was read, in order. (Only plain
    // values: they can be put back exactly as they were.)
    std::string SetFields(const std::string& path, const TBaseGameObject* node) {
        std::string read;
        const TChildList* list = node ? node->GetObjects() : nullptr;
        if (!list) return read;
        std::vector<std::string> names;
        for (const TBaseGameObject* c : *list)
            if (c && c->GetParent() == node &&
                (c->ClassName() == "TGameObjectStringParam" || c->ClassName() == "TGameObjectIntParam" ||
                 c->ClassName() == "TGameObjectSubParam"))
                names.push_back(c->GetName());
        for (const std::string& n : names) {
            const std::string p = LuaQuote(path + "." + n);
            const std::string was = Eval("engine_GetVar(" + p + ")");
            Run("engine_SetVar(" + p + ", '7')");
            read += n + "=" + Eval("engine_GetVar(" + p + ")") + " ";
            // Values outlive a pooled node's use: each life leaves them as it found them.
            Run("engine_SetVar(" + p + ", " + LuaQuote(was) + ")");
        }
        return read;
    }

    // A new "pool.probe" of the class; false (and nothing left) when the
    // class cannot be made here. children: the names of its own children.
    bool MakeProbe(const std::string& cls, std::vector<std::string>& children) {
        children.clear();
        Fatal();
        Run("engine_AddVar('pool', 'probe', '" + cls + "')");
        TBaseGameObject* probe = FindVarByPath("pool.probe");
        if (!probe || !Fatal().empty()) {
            if (FindVarByPath("pool.probe")) Run("engine_DelVar('pool.probe')");
            Frame();
            Fatal();
            return false;
        }
        if (probe->GetObjects())
            for (const TBaseGameObject* c : *probe->GetObjects())
                if (c && c->GetParent() == probe) children.push_back(c->GetName());
        return true;
    }

    // Runs body on a new "pool.probe" of every class that can be made here,
    // with the names of the probe's own children; then clears up.
    template <class Body> void ForEachProbe(Body body) {
        int walked = 0;
        for (const TGameClass* cls : RegisteredGameClasses()) {
            SCOPED_TRACE(cls->name);
            std::vector<std::string> children;
            if (!MakeProbe(cls->name, children)) continue;
            body(std::string(cls->name), children);
            if (FindVarByPath("pool.probe")) Run("engine_DelVar('pool.probe')");
            Frame();
            Frame();
            Fatal();
            ++walked;
        }
        EXPECT_GT(walked, 80);
    }

    // One life of "pool.obj" made by the Lua call given: its shape once made
    // and once ticked, its fields written and read, a tick, its deletion; with
    // every fatal report on the way (a class that needs surroundings this
    // list does not give fails the same way new or pooled).
    std::string Life(const std::string& make, TBaseGameObject** made = nullptr) {
        Run(make);
        // Looked up again after each tick: an object may end itself on its first.
        TBaseGameObject* obj = FindVarByPath("pool.obj");
        if (made) *made = obj;
        std::string life = "made: " + Shape(obj) + "\n";
        Frame();
        life += "ticked: " + Shape(FindVarByPath("pool.obj")) + "\n";
        life += "fields: " + SetFields("pool.obj", FindVarByPath("pool.obj")) + "\n";
        Frame();
        Run("engine_DelVar('pool.obj')");
        Frame();
        Frame();
        for (const std::string& f : Fatal()) life += "fatal: " + f + "\n";
        return life;
    }
};

TEST_F(PooledClasses, EveryClassComesFromItsPoolWholeAndGoesBack) {
    const std::vector<const TGameClass*> classes = RegisteredGameClasses();
    ASSERT_GT(classes.size(), 100u);
    for (const TGameClass* cls : classes) {
        const std::string name = cls->name;
        SCOPED_TRACE(name);
        Fatal();
        // What the life of a new object of the class is.
        const std::string fresh = Life("engine_AddVar('pool', 'obj', '" + name + "')");
        // The same from the pool, twice: the second time the same object again.
        const std::string pooled = "engine_AddCashedVar('pool', 'obj', '" + name + "')";
        TBaseGameObject* first = nullptr;
        TBaseGameObject* again = nullptr;
        EXPECT_EQ(Life(pooled, &first), fresh);
        EXPECT_EQ(Life(pooled, &again), fresh);
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(again, first);
        EXPECT_EQ(FindEngineObjectById(first->GetId()), first); // back in its pool, alive
    }
}

// The timed damages are made by the engine only (scripts cannot name them);
// their pools build them whole all the same.
TEST_F(PooledClasses, TimedDamagesComeFromTheirPoolsWhole) {
    for (const TGameClass* cls : {&TTimingDamage::StaticClass(), &TTimingGravDamage::StaticClass()}) {
        SCOPED_TRACE(cls->name);
        const std::string made = Shape(NewGameObject(*cls, "made", FindVarByPath("pool")));
        TBaseGameObject* pooled = ObjManagersManager->GetObject(*cls);
        ASSERT_NE(pooled, nullptr);
        pooled->ReInit("pooled", FindVarByPath("pool"));
        EXPECT_EQ(Shape(pooled), made);
        EXPECT_NE(made, "");
        Run("engine_SetVar('pool.pooled.time', '2') engine_DelVar('pool.pooled') engine_DelVar('pool.made')");
        Frame();
        Frame();
        EXPECT_EQ(ObjManagersManager->GetObject(*cls), pooled);
        pooled->ReInit("again", FindVarByPath("pool"));
        EXPECT_EQ(Shape(pooled), made);
        Run("engine_SetVar('pool.again.time', '3')");
        EXPECT_EQ(Eval("engine_GetVar('pool.again.time')"), "3");
        Run("engine_DelVar('pool.again')");
        Frame();
        EXPECT_EQ(FirstFatal(), "");
    }
}

TEST_F(PooledClasses, ObjectsGoOnWithoutTheChildrenScriptsDelete) {
    ForEachProbe([this](const std::string& name, const std::vector<std::string>& children) {
        for (const std::string& child : children) {
            SCOPED_TRACE(child);
            Run("engine_DelVar(" + LuaQuote("pool.probe." + child) + ")");
            Frame();
            Frame();
            // What is left is still read, written, copied and ticked.
            Run("engine_AddVar('pool', 'copy', '" + name + "', 'pool.probe') engine_DelVar('pool.copy')");
            SetFields("pool.probe", FindVarByPath("pool.probe"));
            Frame();
        }
    });
}

// A script may move an object's events (or any child holding some) out of it
// and then delete the object: the events stay usable, their Lua code runs,
// and the native handlers of the object that is gone are not called.
TEST_F(PooledClasses, EventsMovedOutOfTheirObjectOutliveIt) {
    ForEachProbe([this](const std::string&, const std::vector<std::string>& children) {
        Run("engine_AddVar('', 'moved', 'TBaseGameObjectList')");
        for (const std::string& child : children)
            Run("engine_SetParent(" + LuaQuote("pool.probe." + child) + ", 'moved')");
        Run("engine_DelVar('pool.probe')");
        Frame();
        Frame();
        std::vector<std::string> events;
        std::vector<TBaseGameObject*> todo{FindVarByPath("moved")};
        while (!todo.empty()) {
            TBaseGameObject* n = todo.back();
            todo.pop_back();
            if (dynamic_cast<TGameEvent*>(n)) events.push_back(GetLuaPath(n));
            if (n->GetObjects())
                for (TBaseGameObject* c : *n->GetObjects())
                    if (c && c->GetParent() == n) todo.push_back(c);
        }
        for (const std::string& e : events) Run("engine_Execute(" + LuaQuote(e) + ")");
        Frame();
        Run("engine_DelVar('moved')");
    });
}

} // namespace
} // namespace vesk::test
