#include "shared/class_manager.h"

#include "platform/files.h"
#include "shared/errors.h"
#include "support/error_trap.h"

#include <gtest/gtest.h>

namespace vesk {
namespace {

using test::ErrorTrap;
using test::Halted;

class TNodeBase : public TEngineObject {
public:
    explicit TNodeBase(std::string n = {}) : name(std::move(n)) {}
    std::string name;
};
class TPanelNode : public TNodeBase {
public:
    using TNodeBase::TNodeBase;
};
class TTaskBase : public TEngineObject {};
class TPatrolTask : public TTaskBase {};

using NodeKind = TClassKind<TNodeBase, const std::string&>;
using TaskKind = TClassKind<TTaskBase>;

TEST(ClassManager, RegistersOnceAndFindsIgnoringCase) {
    TClassManager m;
    EXPECT_TRUE((m.RegisterClass<NodeKind, TPanelNode>()));
    EXPECT_FALSE((m.RegisterClass<NodeKind, TPanelNode>()));
    EXPECT_FALSE((m.RegisterClass<TaskKind, TPatrolTask>("TPANELNODE"))); // the name is taken
    EXPECT_TRUE((m.RegisterClass<TaskKind, TPatrolTask>()));
    EXPECT_EQ(m.Count(), 2);
    const TClassRef* c = m.FindClass("tpanelnode");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->Name(), "TPanelNode");
    EXPECT_TRUE(c->IsKind<NodeKind>());
    EXPECT_EQ(m.IndexOf("TPatrolTask"), 1);
    EXPECT_EQ(m.IndexOf("Nothing"), -1);

    TNodeBase* n = m.Create<NodeKind>("TPanelNode", "hud");
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->ClassName(), "TPanelNode");
    EXPECT_EQ(n->name, "hud");
    n->Free();
    TTaskBase* t = m.Create<TaskKind>("TPatrolTask");
    ASSERT_NE(t, nullptr);
    t->Free();
}

TEST(ClassManager, UnknownClassesAndWrongKindsAreReported) {
    ErrorTrap trap;
    TClassManager m;
    m.RegisterClass<NodeKind, TPanelNode>();
    EXPECT_THROW(m.FindClass("TMissing"), Halted);
    EXPECT_EQ(trap.lastFatal, "Class \"TMissing\" is not registered with ClassManager");
    EXPECT_EQ(trap.reports.back().flags, "mhl");
    size_t live = LiveEngineObjectCount();
    EXPECT_THROW(m.Create<TaskKind>("TPanelNode"), Halted);
    EXPECT_EQ(trap.lastFatal, "ClassManager: class \"TPanelNode\" is not a TTaskBase");
    EXPECT_EQ(LiveEngineObjectCount(), live); // nothing was made
}

TEST(ClassManager, CustomFactoriesAndTheGlobalRegistry) {
    int made = 0;
    EXPECT_TRUE((ClassManager.RegisterFactory<TaskKind, TPatrolTask>("TCountedTask", [&]() -> TTaskBase* {
        ++made;
        return TEngineObject::New<TPatrolTask>();
    })));
    TTaskBase* t = ClassManager.Create<TaskKind>("TCOUNTEDTASK");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(made, 1);
    t->Free();
}

// A check asks for the class itself or for the class and its descendants, in
// code that sees the class or by its registered name; either way a panel node
// is a node but not of the node class, and a class made by a factory of its
// own knows its place as well as one made by the default constructor.
TEST(ClassManager, ClassChecksTellTheClassItselfFromItsDescendants) {
    TClassManager m;
    m.RegisterClass<NodeKind, TNodeBase>();
    m.RegisterClass<NodeKind, TPanelNode>();
    m.RegisterFactory<TaskKind, TPatrolTask>("TPatrolTask", [] { return TEngineObject::New<TPatrolTask>(); });
    TNodeBase* node = m.Create<NodeKind>("TNodeBase", "n");
    TNodeBase* panel = m.Create<NodeKind>("TPanelNode", "p");
    TTaskBase* task = m.Create<TaskKind>("TPatrolTask");
    struct Case {
        const TEngineObject* object;
        const char* name;
        bool exactly, inherits;
    };
    const Case cases[] = {
        {panel, "TPanelNode", true, true},  {panel, "tpanelnode", true, true},
        {panel, "TNodeBase", false, true},  {node, "TNodeBase", true, true},
        {node, "TPanelNode", false, false}, {task, "TPatrolTask", true, true},
        {task, "TNodeBase", false, false},  {nullptr, "TNodeBase", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.object ? c.object->ClassName() : "nil") + " / " + c.name);
        EXPECT_EQ(m.IsClassType(c.object, c.name), c.exactly);
        EXPECT_EQ(m.InheritsFrom(c.object, c.name), c.inherits);
    }
    EXPECT_TRUE(IsClassType<TPanelNode>(panel));
    EXPECT_FALSE(IsClassType<TNodeBase>(panel));
    EXPECT_TRUE(InheritsFrom<TNodeBase>(panel));
    EXPECT_FALSE(InheritsFrom<TPanelNode>(node));
    EXPECT_FALSE(IsClassType<TNodeBase>(static_cast<TNodeBase*>(nullptr)));
    EXPECT_FALSE(InheritsFrom<TNodeBase>(static_cast<TNodeBase*>(nullptr)));
    node->Free();
    panel->Free();
    task->Free();
}

// A check against a name no class has is a fault in the code that asks: it
// answers no, and the error log says which name it was.
TEST(ClassManager, ACheckAgainstAnUnregisteredNameIsLogged) {
    test::TempDir dir;
    SetLogFolder(dir / "logs");
    LogEnabled = true;
    TClassManager m;
    m.RegisterClass<NodeKind, TPanelNode>();
    TNodeBase* panel = m.Create<NodeKind>("TPanelNode", "p");
    EXPECT_FALSE(m.IsClassType(panel, "TPanelNod"));
    EXPECT_FALSE(m.InheritsFrom(panel, "TPanelNod"));
    std::string log;
    EXPECT_TRUE(platform::ReadFile(dir / "logs/errlog.txt", log));
    EXPECT_NE(log.find("ClassManager: a class check names \"TPanelNod\", which is not registered"),
              std::string::npos)
        << log;
    panel->Free();
    LogEnabled = false;
    SetLogFolder("logs/def");
}

} // namespace
} // namespace vesk
