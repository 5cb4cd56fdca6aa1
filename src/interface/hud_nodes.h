#pragma once
// The small HUD node classes that show values, one family a file: the
// indicator array, the two-part bars, the tactic map and its markers, the game
// timers, the text lists, the counter labels, the rocket-lock pointer and the
// screen noise. What they read of the game (the player, its ship, objects'
// parameters) they read through the game-object tree, so they work with
// whatever the scripts have built.
#include "interface/hud_bars.h"
#include "interface/hud_counters.h"
#include "interface/hud_indicators.h"
#include "interface/hud_lists.h"
#include "interface/hud_map.h"
#include "interface/hud_noise.h"
#include "interface/hud_pointer.h"
#include "interface/hud_timers.h"
#include "interface/hud_world.h"

namespace vesk {

// Registers every class of the family with the class registry.
void RegisterHudNodeClasses();

} // namespace vesk
