#include "shared/class_manager.h"

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
    EXPECT_TRUE(ClassManager.RegisterFactory<TaskKind>("TCountedTask", [&]() -> TTaskBase* {
        ++made;
        return TEngineObject::New<TPatrolTask>();
    }));
    TTaskBase* t = ClassManager.Create<TaskKind>("TCOUNTEDTASK");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(made, 1);
    t->Free();
}

} // namespace
} // namespace vesk
