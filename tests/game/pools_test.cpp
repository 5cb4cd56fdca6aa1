// Per-class pools of game objects and the deleted-objects list.
#include "game_tree_fixture.h"
#include "shared/engine_object.h"

namespace vesk::test {
namespace {

using Pools = GameTreeTest;

TEST_F(Pools, CachedNodesComeFromThePoolAndGoBack) {
    Run("engine_AddVar('', 'o', 'TBaseGameObjectList')");
    const size_t before = LiveEngineObjectCount();
    Run("engine_AddCashedVar('o', 'n', 'TGameObjectIntParam')");
    TBaseGameObject* n = FindVarByPath("o.n");
    ASSERT_NE(nullptr, n);
    // A pool of 30000 entries makes only what it hands out.
    EXPECT_LT(LiveEngineObjectCount() - before, 5u);
    TDynamicObjManager* m = ObjManagersManager->GetManager(TGameObjectIntParam::StaticClass(), 1);
    EXPECT_EQ("TGameObjectIntParam_m", m->GetPool()->GetName());
    EXPECT_EQ(30000, m->GetPool()->GetCapacity());
    EXPECT_EQ(1, m->GetPool()->GetUsedCount());
    EXPECT_NE(nullptr, n->GetPoolEntry());

    auto* watcher = NewGameObject<TGameObjectFreeLink>("w", GlobalObjects);
    Run("engine_SetVar('o.n', '12') engine_SetVar('w', engine_GetHex('o.n'))");
    EXPECT_EQ(n, watcher->GetValue());
    const int32_t id = n->GetId();
    Run("engine_DelVar('o.n')");
    EXPECT_EQ(nullptr, watcher->GetValue());
    Frame();
    // Back in its pool, alive for reuse.
    EXPECT_EQ(n, FindEngineObjectById(id));
    EXPECT_EQ(0, m->GetPool()->GetUsedCount());
    EXPECT_EQ(nullptr, n->GetPoolEntry());

    Run("engine_AddCashedVar('o', 'again', 'TGameObjectIntParam')");
    EXPECT_EQ(n, FindVarByPath("o.again"));
    EXPECT_EQ("0", Eval("engine_GetVar('o.again')"));
    EXPECT_FALSE(n->IsDeleted());
}

TEST_F(Pools, AClassPoolGrowsByItsStep) {
    TDynamicObjManager* m = ObjManagersManager->GetManager(TGameObjectSubParam::StaticClass(), 3);
    EXPECT_EQ(m, ObjManagersManager->GetManager(TGameObjectSubParam::StaticClass(), 99));
    std::vector<TBaseGameObject*> got;
    for (int i = 0; i < 4; ++i) got.push_back(m->getObject());
    EXPECT_EQ(503, m->GetPool()->GetCapacity());
    for (auto* o : got) o->ReInit("x", GlobalObjects);
}

TEST_F(Pools, PresetPoolsForRegisteredClasses) {
    static const TGameClass wait{"TTaskwait", []() -> TBaseGameObject* { return new TBaseGameObjectList(); }};
    RegisterGameClass(wait);
    ObjManagersManager->createStandartManagers();
    // A preset class that is not linked in gets no pool. Whether bullets are
    // registered depends on the tests that ran before in this process: the
    // class registry lasts as long as the program.
    const bool bullets = FindGameClassQuiet("TGameObjectBullet") != nullptr;
    EXPECT_EQ(bullets, StandardManagers[0] != nullptr);
    if (bullets) {
        EXPECT_EQ("TGameObjectBullet_m", StandardManagers[0]->GetPool()->GetName());
    }
    ASSERT_NE(nullptr, StandardManagers[15]);
    EXPECT_EQ("TTaskwait_m", StandardManagers[15]->GetPool()->GetName());
    EXPECT_EQ(100, StandardManagers[15]->GetPool()->GetCapacity());
    ReleaseStandartManagers();
    EXPECT_EQ(nullptr, StandardManagers[15]);
    TEODestroyManager->Flush();
}

// Deletes another node when it is freed.
class TChainDelete : public TBaseGameObject {
public:
    TBaseGameObject* next = nullptr;
    void Free() override {
        if (next) next->Delete();
        TBaseGameObject::Free();
    }
};

TEST_F(Pools, NodesDeletedWhileTheQueueFreesWaitAFrame) {
    auto* first = NewGameObject<TChainDelete>("first", GlobalObjects);
    auto* second = NewGameObject<TBaseGameObject>("second", GlobalObjects);
    first->next = second;
    const int32_t id2 = second->GetId();
    first->Delete();
    Frame();
    EXPECT_TRUE(second->IsDeleted());
    EXPECT_NE(nullptr, FindEngineObjectById(id2));
    EXPECT_EQ(1, DeletedObjects->GetObjects()->Count());
    Frame();
    EXPECT_EQ(nullptr, FindEngineObjectById(id2));
    EXPECT_EQ(0, DeletedObjects->GetObjects()->Count());
}

} // namespace
} // namespace vesk::test
