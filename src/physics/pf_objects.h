#pragma once
// The obstacles one moving unit steers around: the big static ones near it,
// rebuilt after it has moved far enough, and the dynamic ones other units
// registered with it.
#include "physics/ph_config.h"
#include "physics/ph_owner.h"

#include <functional>
#include <vector>

namespace vesk {

struct BSphereRecord;

// The ship units of the current scene (installed by the scene side).
using SceneShipsProvider = std::function<void(std::vector<TBaseRenderUnit*>& out)>;
void SetSceneShipsProvider(SceneShipsProvider provider);
// The scene's ships now, without those on their way out; empty without a provider.
void GetSceneShips(std::vector<TBaseRenderUnit*>& out);
// A ship killed or discarded (freed at the end of the frame) is in nobody's
// way any more.
bool LeavingScene(const TBaseRenderUnit* unit);

class TPFObjectsManager : public TEngineObject {
public:
    TPFObjectsManager(IOwnerPhObj* owner, const TShipPhysicParams* record, float scale);
    static TPFObjectsManager* Create(IOwnerPhObj* owner, const TShipPhysicParams* record, float scale) {
        return New<TPFObjectsManager>(owner, record, scale);
    }

    void SetPosition(const Vec3& p);
    void Refresh();
    void AddDynamicObj(TBaseRenderUnit* unit);

    int StaticCount() const { return static_cast<int>(staticList_.size()); }
    int DynamicCount() const { return static_cast<int>(dynamicList_.size()); }
    bool GetStatic(int i, TBaseRenderUnit*& out) const;
    bool GetDynamic(int i, TBaseRenderUnit*& out) const;
    bool GetStaticSphere(int i, BSphereRecord*& out) const;
    bool GetDynamicSphere(int i, BSphereRecord*& out) const;
    float RefreshDistance() const { return refreshDistance_; }

    void Message(IEngineObject* sender, int msg, int param) override;
    void Free() override;

private:
    void RebuildStatic(int32_t mask, float margin);
    void DropStatic();

    std::vector<TBaseRenderUnit*> staticList_;
    std::vector<TBaseRenderUnit*> dynamicList_;
    const TShipPhysicParams* record_;
    IOwnerPhObj* owner_;
    float scale_;
    Vec3 lastPosition_{};
    Vec3 position_{};
    float refreshDistanceSq_ = 0.0f;
    float refreshDistance_ = 0.0f;
};

} // namespace vesk
