#include "interface/hud_nodes.h"

namespace vesk {

void RegisterHudNodeClasses() {
    ClassManager.RegisterClass<TNodeKind, TIndicator>();
    ClassManager.RegisterClass<TNodeKind, TActiveHelperBar>();
    ClassManager.RegisterClass<TNodeKind, TAHObjParamBar>();
    ClassManager.RegisterClass<TNodeKind, TAHObjComplexParamBar>();
    ClassManager.RegisterClass<TNodeKind, TAHSpeed>();
    ClassManager.RegisterClass<TNodeKind, TAHRange>();
    ClassManager.RegisterClass<TNodeKind, TMap>();
    ClassManager.RegisterClass<TNodeKind, TMapNode>();
    ClassManager.RegisterClass<TNodeKind, TGameTimer>();
    ClassManager.RegisterClass<TNodeKind, TListNode>();
    ClassManager.RegisterClass<TNodeKind, TEnemyList>();
    ClassManager.RegisterClass<TNodeKind, TFriendList>();
    ClassManager.RegisterClass<TNodeKind, TTargetList>();
    ClassManager.RegisterClass<TNodeKind, TMissionList>();
    ClassManager.RegisterClass<TNodeKind, TFragCounterNode>();
    ClassManager.RegisterClass<TNodeKind, TDistanceNode>();
    ClassManager.RegisterClass<TNodeKind, TGamePropertyNode>();
    ClassManager.RegisterClass<TNodeKind, TTargetedCounterNode>();
    ClassManager.RegisterClass<TNodeKind, TMovingNode>();
    ClassManager.RegisterClass<TNodeKind, TNoiseGenerator>();
}

} // namespace vesk
