-- The flight HUD: the marker patterns the marker layers copy, and one layout
-- table of every panel, gauge, readout and lamp the player sees in flight.
-- The desktop binds its controls by name when the interface is uploaded; the
-- status engine, the weapon panel and the markers fill them while the ship flies.

flightHud = { sounds = {} }

local D = engine_Desktop
local node = desktopNode
local rect, with = desktopRect, desktopWith

-- ---- the look -----------------------------------------------------------------------------------

-- Panels are dark and nearly opaque, so that what they say reads the same
-- over a bright planet as over black space.
local panel = { "COLOR", "E0101828", "FRAMECOLOR", "FF5AA0DC" }
local caption = { "FONTSIZE", "10", "TEXTCOLOR", "FF9CC4E4" }
local value = { "FONTSIZE", "12", "TEXTCOLOR", "FFF0F8FF" }
-- Text with no panel of its own behind it carries a dark outline.
local outlined = { "TEXTSTYLE", "OUTLINE", "SHADOWCOLOR", "FF000000" }

local function text(words, ...)
  return with({ "TEXT", words }, unpack(arg))
end

-- A bar of two parts that share the width by its value; its parts are found by their own names.
local function barParts(colour)
  return { "FRAMECOLOR", "FF5AA0DC", "DCOLOR1_100", colour, "DCOLOR1_50", "FFE0C040", "DCOLOR1_25", "FFE04040",
    "DCOLOR2_100", "C0203040", "DCOLOR2_50", "C0203040", "DCOLOR2_25", "C0203040" }
end

-- ---- the marker patterns ---------------------------------------------------------------------

-- An arrow pointing up, filling a square of the size.
local function arrow(size)
  local half = tostring(math.floor(size / 2))
  return { "POINTCOUNT", "3", "X", half .. "," .. size .. ",0", "Y", "0," .. size .. "," .. size }
end

local function bar(name, parent, class, props, colour)
  node(name, parent, class, with(props, barParts(colour)))
  node(name .. "_1", name, "TMegaButton", {})
  node(name .. "_2", name, "TMegaButton", {})
  D(name .. "_1::NAME", "Bar_1")
  D(name .. "_2::NAME", "Bar_2")
end

-- A ship marker: the frame around the ship, the active frame of the selected
-- one with its readouts, and the pointers at the screen border.
local function shipPattern(name, class, colour, extra)
  node(name, "HudPatterns", class, with(rect(0, 0, 64, 64), {
    "MAXDIST", "30000", "MINRADIUS", "28", "MAXRADIUS", "120", "OUTRADIUS", "8", "ANITIMER", "250",
  }))
  node(name .. "HF", name, "TMegaButton", with(rect(-32, -32, 64, 64), { "VISIBLE", "0", "FRAMECOLOR", colour }))
  node(name .. "HFImage", name .. "HF", "TMegaButton", with(rect(5, 5, 54, 54), {
    "IMAGE", "interface\\target_marker.tga", "IMAGECOLOR", colour }))
  node(name .. "AF", name, "TMegaButton", with(rect(-32, -32, 64, 64), outlined, {
    "VISIBLE", "0", "FRAMECOLOR", "FFFFE060", "FONTSIZE", "12", "TEXTCOLOR", "FFFFE060", "TEXTWRAP", "0" }))
  -- The pointers are arrows drawn pointing up; the marker turns them towards the ship.
  node(name .. "HP", name, "TMegaButton", with(rect(-6, -6, 12, 12), arrow(12), { "VISIBLE", "0", "COLOR", colour }))
  node(name .. "AP", name, "TMegaButton", with(rect(-7, -7, 14, 14), arrow(14),
    { "VISIBLE", "0", "COLOR", "FFFFE060" }))
  for i, p in ipairs({ { "Durability", "durability", "FF40E070" }, { "Armor", "armor", "FFE0C040" },
    { "Shield", "shield", "FF40A0FF" } }) do
    bar(name .. p[1], name .. "AF", "TAHObjParamBar", with(rect(2, 66 + (i - 1) * 5, 60, 4), { "PARAMID", p[2] }),
      p[3])
    D(name .. p[1] .. "::NAME", p[1])
  end
  for i = 1, table.getn(extra) do
    local e = extra[i]
    node(name .. e[1], e[2], e[3], with(e[4], outlined, { "FONTSIZE", "11", "TEXTCOLOR", colour }))
    D(name .. e[1] .. "::NAME", e[1])
  end
  D(name .. "HF::NAME", "HelperFrame")
  D(name .. "AF::NAME", "ActiveFrame")
  D(name .. "HP::NAME", "HelperPointer")
  D(name .. "AP::NAME", "ActivePointer")
end

local function buildPatterns()
  node("HudPatterns", "desktop", "TMegaButton", { "VISIBLE", "0", "TICKED", "0" })
  shipPattern("TESHelper", "TEnemyShipHelper", "FFFF4040", {
    { "e_Distance", "TESHelperAF", "TDistanceNode", rect(0, 84, 64, 14) },
    { "e_Speed", "TESHelperAF", "TMegaButton", rect(0, 98, 64, 14) },
    { "_RocketLock", "TESHelperAF", "TMegaButton", with(rect(66, 0, 40, 14), { "TEXT", "LOCK", "VISIBLE", "0" }) },
    { "AttackPlayerShip", "TESHelperHF", "TMegaButton", with(rect(66, 0, 12, 14), { "TEXT", "!", "VISIBLE", "0" }) },
    { "AttackFriendShip", "TESHelperHF", "TMegaButton", with(rect(66, 14, 12, 14), { "TEXT", "+", "VISIBLE", "0" }) },
    { "APE_Distance", "TESHelperAP", "TDistanceNode", rect(16, -4, 60, 14) },
  })
  shipPattern("TFSHelper", "TShipHelper", "FF40E070", {
    { "F_Distance", "TFSHelperAF", "TDistanceNode", rect(0, 84, 64, 14) },
    { "F_Speed", "TFSHelperAF", "TMegaButton", rect(0, 98, 64, 14) },
    { "APF_Distance", "TFSHelperAP", "TDistanceNode", rect(16, -4, 60, 14) },
    { "TargetedCounter", "TFSHelperHF", "TTargetedCounterNode", rect(66, 0, 20, 14) },
  })
  shipPattern("TNSHelper", "TShipHelper", "FFC0C0C0", {
    { "F_Distance", "TNSHelperAF", "TDistanceNode", rect(0, 84, 64, 14) },
    { "F_Speed", "TNSHelperAF", "TMegaButton", rect(0, 98, 64, 14) },
  })
  -- A waypoint fades as the ship comes near and hides once it is there.
  node("TWPHelper", "HudPatterns", "TAHWaypoint", with(rect(0, 0, 32, 32), { "FADEDIST", "800", "MINDIST", "150" }))
  node("TWPHelperHF", "TWPHelper", "TMegaButton", with(rect(-10, -10, 20, 20), { "VISIBLE", "0", "FRAMECOLOR", "FF40C0FF" }))
  node("TWPHelperAF", "TWPHelper", "TMegaButton", with(rect(-14, -14, 28, 28), outlined, {
    "VISIBLE", "0", "FRAMECOLOR", "FF80E0FF", "FONTSIZE", "11", "TEXTCOLOR", "FF80E0FF" }))
  node("TWPHelperHP", "TWPHelper", "TMegaButton", with(rect(-5, -5, 10, 10), arrow(10),
    { "VISIBLE", "0", "COLOR", "FF40C0FF" }))
  node("TWPHelperAP", "TWPHelper", "TMegaButton", with(rect(-5, -5, 10, 10), arrow(10),
    { "VISIBLE", "0", "COLOR", "FF80E0FF" }))
  node("TWPHelperWD", "TWPHelperAF", "TDistanceNode", with(rect(0, 30, 60, 14), outlined, { "FONTSIZE", "11" }))
  D("TWPHelperHF::NAME", "HelperFrame")
  D("TWPHelperAF::NAME", "ActiveFrame")
  D("TWPHelperHP::NAME", "HelperPointer")
  D("TWPHelperAP::NAME", "ActivePointer")
  D("TWPHelperWD::NAME", "W_Distance")
  -- Rockets and mines: small frames that follow the object's size.
  for _, p in ipairs({ { "TEnemyRocketHelper", "TRocketHelper", "FFFF8040" }, { "TMineHelper", "TMineHelper", "FF40FF80" } }) do
    node(p[1], "HudPatterns", p[2], with(rect(0, 0, 24, 24), {
      "MAXDIST", "6000", "MINRADIUS", "10", "MAXRADIUS", "40", "ANITIMER", "200" }))
    for _, f in ipairs({ "HelperFrame", "ActiveFrame", "HelperPointer", "ActivePointer" }) do
      node(p[1] .. f, p[1], "TMegaButton", with(rect(-6, -6, 12, 12), { "VISIBLE", "0", "FRAMECOLOR", p[3] }))
      D(p[1] .. f .. "::NAME", f)
    end
  end
  -- The radar's blips: the object's colour in front of the ship, dimmer and smaller behind it.
  for _, p in ipairs({ { "RadarLabel_enemy", "FFFF5050", "80FF5050" }, { "RadarLabel_friend", "FF50FF70", "8050FF70" },
    { "RadarLabel_Waypoint", "FF50C0FF", "8050C0FF" }, { "RadarLabel_ShipWaypoint", "FF80E0FF", "8080E0FF" } }) do
    node(p[1], "HudPatterns", "TRadarNode", {
      "IMAGE", "interface\\radar_blip.tga", "SELECTEDIMAGE", "interface\\hud_blip_selected.tga",
      "IMAGECOLOR", p[2], "BACKCOLOR", p[3], "IMAGESIZE", "12", "BACKIMAGESIZE", "7", "VISIBLERANGE", "30000",
    })
  end
  -- The colours of a weapon slot that is on and one that is off.
  node("dataWeaponOn", "HudPatterns", "TMegaButton", { "COLOR", "E0305838", "FRAMECOLOR", "FF40E070",
    "TEXTCOLOR", "FFE8FFE8" })
  node("dataWeaponOff", "HudPatterns", "TMegaButton", { "COLOR", "E0402020", "FRAMECOLOR", "FF804040",
    "TEXTCOLOR", "FFE0B0B0" })
end

-- ---- the layout ---------------------------------------------------------------------------------

-- The readouts that ride the curved gauges are placed by the status engine
-- from the energy gauge's extents (left 80 (1 - f)^2 + width - 155, top
-- (1 - f) height): a holder this far right of the gauge's edge keeps them
-- right of it, clear of the gauge's other labels.
local gaugeWidth, gaugeHeight = 14, 120
local gaugeScale = 155 - gaugeWidth

-- The lamps a flight can light, by the words they show: warnings in red,
-- the ship's regime in blue, repairs in green.
local lampLooks = {
  warn = { "COLOR", "E0401010", "FRAMECOLOR", "FFE04040", "TEXTCOLOR", "FFFFC0B0" },
  mode = { "COLOR", "E0102848", "FRAMECOLOR", "FF5AA0DC", "TEXTCOLOR", "FFB0D8FF" },
  good = { "COLOR", "E0103818", "FRAMECOLOR", "FF40E070", "TEXTCOLOR", "FFB8FFC0" },
}
local lamps = {
  { "itShieldOff", "SHIELD LOW" }, { "itShieldOffPermanent", "SHIELD DOWN" }, { "itShieldDismount", "NO SHIELD" },
  { "itArmorOff", "ARMOR LOST" }, { "itArmorOffPermanent", "NO ARMOR" }, { "itArmorDismount", "UNARMORED" },
  { "itCriticalDamage", "CRITICAL" }, { "itFire", "FIRE" }, { "itImpact", "COLLISION" },
  { "itMissileApproach", "MISSILE" }, { "itMineField", "MINES" }, { "itOnAim", "TARGETED" },
  { "itOnGunning", "UNDER FIRE" }, { "itFreez", "FROZEN" }, { "itRepair", "REPAIR", "good" },
  { "itAttackMode", "ATTACK", "mode" }, { "itDefendMode", "DEFENCE", "mode" },
}
-- The array's other lamps: the flight lights none of them, they wait in a hidden box.
local spareLamps = {
  "itApproach", "itAutopilot", "itMessage", "itHeatMode", "itFreezeMode", "itNormalizeMode", "itStealthMode",
  "itBerserkMode", "itIsDetected", "itMissileDestroy", "itSafety", "itNewMission", "itMissionComplete",
  "itMissionFailed", "itProtectWarning", "itFormation", "itCheckFormation",
}

-- Every node of the flight HUD in the order it is drawn (later ones over
-- earlier ones): name, parent, class, left, top, width and height within the
-- parent, and the node's other properties. The layout test reads the laid
-- out tree: no two texts overlap and each reads against what is behind it.
flightHud.layout = {
  { "FlightHud", "desktop", "TMegaButton", 0, 0, 0, 0, { "VISIBLE", "0" } },
  -- The marker layers have no size of their own: a click where no marker is
  -- goes to what lies below.
  { "spaceAH", "FlightHud", "TAHLayer", 0, 0, 0, 0 },
  { "WaypointAHLayer", "spaceAH", "TMegaButton", 0, 0, 0, 0 },
  { "FriendAHLayer", "spaceAH", "TMegaButton", 0, 0, 0, 0 },
  { "EnemyAHLayer", "spaceAH", "TMegaButton", 0, 0, 0, 0 },
  -- The lead mark over the target and the rocket-lock pointer.
  { "Deflection", "FlightHud", "TMegaButton", 0, 0, 12, 12, { "FRAMECOLOR", "FFFFE060", "VISIBLE", "0" } },
  { "RocketLockAnimPointer", "FlightHud", "TMovingNode", 511, 383, 16, 16,
    { "FRAMECOLOR", "FFFF8040", "VISIBLE", "0", "SPEED", "600" } },

  -- Top right: the selected ship, its model, name, condition, range and speed;
  -- screen noise and "no target" while nothing is selected.
  { "TargetPanel", "FlightHud", "TMegaButton", 824, 8, 192, 194, panel },
  { "TargetAnimationPanel", "TargetPanel", "TMegaButton", 4, 4, 184, 130 },
  { "TargetNoise", "TargetAnimationPanel", "TNoiseGenerator", 0, 0, 184, 110,
    { "BASICNOISELEVEL", "20", "NOISELEVEL", "20" } },
  { "TargetNoise1", "TargetNoise", "TMegaButton", 0, 0, 184, 110, { "IMAGE", "interface\\noise_1", "BLEND", "ADD" } },
  { "TargetNoise2", "TargetNoise", "TMegaButton", 0, 0, 184, 110, { "IMAGE", "interface\\noise_2", "BLEND", "ADD" } },
  { "TargetNoise3", "TargetNoise", "TMegaButton", 0, 0, 184, 110, { "IMAGE", "interface\\noise_3", "BLEND", "ADD" } },
  { "TargetNone", "TargetAnimationPanel", "TLabelNode", 0, 114, 184, 16,
    text("NO TARGET", caption, { "TEXTALIGN", "CENTER" }) },
  { "EnemyShipInfo", "TargetPanel", "TMegaButton", 4, 4, 184, 186, { "VISIBLE", "0" } },
  { "TargetViewport", "EnemyShipInfo", "TViewportNode", 0, 0, 184, 110, { "VISIBLE", "0" } },
  { "ShipName", "EnemyShipInfo", "TMegaButton", 0, 113, 184, 16, with(value, { "FONTSIZE", "13", "TEXTCOLOR", "FFFF8080" }) },
  { "TargetDurabilityBar", "EnemyShipInfo", "TAHObjParamBar", 0, 132, 184, 4, barParts("FF40E070"), "bar" },
  { "TargetArmorBar", "EnemyShipInfo", "TAHObjParamBar", 0, 138, 184, 4, barParts("FFE0C040"), "bar" },
  { "TargetShieldBar", "EnemyShipInfo", "TAHObjParamBar", 0, 144, 184, 4, barParts("FF40A0FF"), "bar" },
  { "TargetRangeCaption", "EnemyShipInfo", "TLabelNode", 0, 152, 42, 14, text("RANGE", caption) },
  { "RangeValue", "EnemyShipInfo", "TMegaButton", 42, 151, 50, 16, value },
  { "TargetSpeedCaption", "EnemyShipInfo", "TLabelNode", 96, 152, 42, 14, text("SPEED", caption) },
  { "SpeedValue", "EnemyShipInfo", "TMegaButton", 138, 151, 46, 16, value },
  { "KillMessage", "EnemyShipInfo", "TMegaButton", 0, 169, 184, 16,
    text("DESTROYED", value, { "TEXTCOLOR", "FFFF6060", "TEXTALIGN", "CENTER", "VISIBLE", "0" }) },
  -- The mission's clocks under it, each on a plate of its own while it runs.
  { "CountdownTimer", "FlightHud", "TGameTimer", 868, 208, 72, 18,
    with(panel, value, { "VISIBLE", "0", "COUNTDOWN", "1", "TEXTCOLOR", "FFFFE060", "TEXTALIGN", "CENTER" }) },
  { "GameTimer", "FlightHud", "TGameTimer", 944, 208, 72, 18,
    with(panel, value, { "VISIBLE", "0", "TEXTALIGN", "CENTER" }) },

  -- Left: the usable item, the guns and the rocket launchers, one under another.
  { "Items_Panel_Left", "FlightHud", "TMegaButton", 8, 352, 218, 36 },
  { "WeaponPanel", "FlightHud", "TMegaButton", 8, 392, 218, 204 },

  -- Bottom left: shield, armour and hull, and the whole condition.
  { "ParametersPanel", "FlightHud", "TMegaButton", 8, 604, 218, 96, panel },
  { "p_back_icon", "ParametersPanel", "TMegaButton", 4, 4, 28, 88, { "COLOR", "FF183050" } },
  { "ConditionPanel", "FlightHud", "TMegaButton", 8, 704, 218, 20, panel },
  { "ConditionCaption", "ConditionPanel", "TLabelNode", 6, 3, 120, 14, text("CONDITION", caption) },

  -- Bottom, left of the radar: the speed gauge. The afterburner's glow lies under the rest.
  { "SpeedPanel", "FlightHud", "TMegaButton", 232, 604, 186, 152, panel },
  { "ForsageTransporant", "SpeedPanel", "TMegaButton", 0, 0, 186, 152, { "COLOR", "40FF8040", "VISIBLE", "0" } },
  { "SpeedCaption", "SpeedPanel", "TLabelNode", 4, 4, 46, 14, text("SPEED", caption) },
  { "MaxSpeed", "SpeedPanel", "TMegaButton", 4, 20, 46, 16, with(value, { "TEXTALIGN", "RIGHT" }) },
  { "P_SpeedValue", "SpeedPanel", "TMegaButton", 4, 62, 46, 22, with(value, { "FONTSIZE", "16", "TEXTALIGN", "RIGHT" }) },
  { "MachSpeedIcon", "SpeedPanel", "TMegaButton", 4, 130, 46, 14,
    text("MATCH", caption, { "TEXTCOLOR", "FF60D0FF", "VISIBLE", "0" }) },
  { "SpeedTrough", "SpeedPanel", "TMegaButton", 54, 18, gaugeWidth, gaugeHeight, { "COLOR", "FF081018" } },
  { "bar_Speed", "SpeedPanel", "TMegaButton", 54, 18, gaugeWidth, gaugeHeight,
    { "IMAGE", "interface\\bar.tga", "IMAGECOLOR", "FF80D8FF" } },
  { "point_Speed", "bar_Speed", "TMegaButton", -4, 0, 22, 4, { "COLOR", "FFFFFFFF" } },
  { "point_MaxSpeed", "bar_Speed", "TMegaButton", -4, 0, 22, 4, { "COLOR", "FFFF8040" } },
  { "SpeedScale", "SpeedPanel", "TMegaButton", 74 + gaugeScale, 11, 0, 0 },
  { "cur_MaxSpeed", "SpeedScale", "TMegaButton", 0, 0, 32, 14, with(value, { "FONTSIZE", "11", "TEXTCOLOR", "FFFFB080" }) },
  { "MinSpeed", "SpeedScale", "TMegaButton", 0, 0, 32, 14, with(value, { "FONTSIZE", "11" }) },

  -- Bottom middle: the radar.
  { "Radar", "FlightHud", "TRadar", 437, 610, 150, 150, { "IMAGE", "interface\\radar.tga" } },

  -- Right of the radar: the energy gauge.
  { "panel_Energy", "FlightHud", "TMegaButton", 606, 604, 186, 152, panel },
  { "EnergyCaption", "panel_Energy", "TLabelNode", 4, 4, 46, 14, text("ENERGY", caption) },
  { "MaxEnergy", "panel_Energy", "TMegaButton", 4, 20, 46, 16, with(value, { "TEXTALIGN", "RIGHT" }) },
  { "Overheat", "panel_Energy", "TMegaButton", 4, 130, 46, 14,
    text("HEAT", caption, { "TEXTCOLOR", "FFFF6050", "VISIBLE", "0" }) },
  { "EnergyTrough", "panel_Energy", "TMegaButton", 54, 18, gaugeWidth, gaugeHeight, { "COLOR", "FF081018" } },
  { "bar_Energy", "panel_Energy", "TMegaButton", 54, 18, gaugeWidth, gaugeHeight, { "IMAGE", "interface\\bar.tga" } },
  { "EnergyScale", "panel_Energy", "TMegaButton", 74 + gaugeScale, 11, 0, 0 },
  { "P_PowerValue", "EnergyScale", "TMegaButton", 0, 0, 32, 14, with(value, { "FONTSIZE", "11", "TEXTCOLOR", "FF80FFA0" }) },

  -- The lamps: the ship's condition in per cent is one of them. The warnings
  -- stand in two columns at the bottom right (below).
  { "IndicatorArray", "FlightHud", "TIndicator", 0, 0, 0, 0 },
  { "itCriticalDamageValue", "IndicatorArray", "TMegaButton", 134, 706, 86, 16,
    with(value, { "TEXT", "100%", "TEXTCOLOR", "FFFFE060", "TEXTALIGN", "RIGHT" }) },
  { "SpareLamps", "IndicatorArray", "TMegaButton", 0, 0, 0, 0, { "VISIBLE", "0" } },
}

for i = 1, table.getn(lamps) do
  local l = lamps[i]
  local column, row = math.mod(i - 1, 2), math.floor((i - 1) / 2)
  local look = lampLooks[l[3] or "warn"]
  table.insert(flightHud.layout, { l[1], "IndicatorArray", "TMegaButton", 800 + column * 109, 604 + row * 17, 107, 15,
    with(look, { "VISIBLE", "0", "TEXT", l[2], "FONTSIZE", "10", "TEXTALIGN", "CENTER" }) })
end
for i = 1, table.getn(spareLamps) do
  table.insert(flightHud.layout, { spareLamps[i], "SpareLamps", "TMegaButton", 0, 0, 10, 10, { "VISIBLE", "0" } })
end

-- The weapon panel's rows (the gun controller stacks the shown ones) and the item places.
for i = 0, 4 do
  local row = with(outlined, { "FONTSIZE", "12", "VISIBLE", "0", "TEXTHEIGHT", "16" })
  table.insert(flightHud.layout, { "Gun_" .. i, "WeaponPanel", "TMegaButton", 0, i * 20, 218, 20, row })
  table.insert(flightHud.layout, { "Gun_Bar_" .. i, "Gun_" .. i, "TMegaButton", 0, 17, 218, 3, { "COLOR", "FFE0C040" } })
  table.insert(flightHud.layout, { "Rocket_" .. i, "WeaponPanel", "TMegaButton", 0, 104 + i * 20, 218, 20, row })
  table.insert(flightHud.layout, { "Rocket_Bar_" .. i, "Rocket_" .. i, "TMegaButton", 0, 17, 218, 3,
    { "COLOR", "FFE08040" } })
end
for n = 1, 4 do
  table.insert(flightHud.layout, { "LItems_" .. n, "Items_Panel_Left", "TMegaButton", (n - 1) * 54, 0, 50, 36,
    with(panel, { "VISIBLE", "0" }) })
  table.insert(flightHud.layout, { "LItems_" .. n .. "_count", "LItems_" .. n, "TMegaButton", 2, 18, 46, 16,
    with(value, { "TEXTALIGN", "CENTER" }) })
end

-- Shield, armour and hull: a colour mark, the word, the bar and the value.
for i, l in ipairs({ { "sp", "SHIELD", "FF40A0FF" }, { "ap", "ARMOR", "FFE0C040" }, { "dp", "HULL", "FF40E070" } }) do
  local top = 8 + (i - 1) * 28
  table.insert(flightHud.layout, { l[1] .. "_icon", "ParametersPanel", "TMegaButton", 8, top, 20, 20, { "COLOR", l[3] } })
  table.insert(flightHud.layout, { l[1] .. "_caption", "ParametersPanel", "TLabelNode", 36, top + 3, 54, 14,
    text(l[2], caption) })
  table.insert(flightHud.layout, { l[1] .. "_bar", "ParametersPanel", "TActiveHelperBar", 92, top + 4, 80, 12,
    barParts(l[3]), "bar" })
  table.insert(flightHud.layout, { l[1] .. "_label", "ParametersPanel", "TMegaButton", 174, top + 1, 40, 18,
    with(value, { "TEXT", "0", "TEXTALIGN", "RIGHT" }) })
end

-- The controls the desktop binds by name that the flight does not show.
local function buildUnshown()
  node("Map", "desktop", "TMap", { "VISIBLE", "0" })
  node("TacticMap", "Map", "TImageNode", { "WIDTH", "200", "HEIGHT", "200" })
  D("insert", "FOVVariator", "desktop", "", "TVarFOV")
  node("SequencerLayer", "desktop", "TMegaButton", { "VISIBLE", "0" })
  for i = 1, 7 do
    node("Sequencer_" .. i, "SequencerLayer", "TMegaButton", rect(500 + i * 4, 378, 3, 10))
  end
  -- The cursor is drawn over everything and takes no clicks.
  node("CursorLayer", "desktop", "TMegaButton", { "ENABLED", "0" })
  node("CursorArrow", "CursorLayer", "TMegaButton", { "WIDTH", "16", "HEIGHT", "16", "IMAGE", "interface\\cursor.tga" })
  node("CursorCentre", "CursorLayer", "TMegaButton", { "WIDTH", "16", "HEIGHT", "16", "IMAGE", "interface\\cursor.tga" })
end

function flightHud.Build()
  buildPatterns()
  for i = 1, table.getn(flightHud.layout) do
    local e = flightHud.layout[i]
    node(e[1], e[2], e[3], with(rect(e[4], e[5], e[6], e[7]), e[8] or {}))
    if e[9] == "bar" then
      node(e[1] .. "_1", e[1], "TMegaButton", {})
      node(e[1] .. "_2", e[1], "TMegaButton", {})
      D(e[1] .. "_1::NAME", "Bar_1")
      D(e[1] .. "_2::NAME", "Bar_2")
    end
  end
  D("IndicatorArray::INIT")
  buildUnshown()
end

-- The flight begins: every lamp off but the condition, no speed matched.
function flightHud.Reset()
  engine_Serv("INTERFACE", "RESETINDICATORS")
  D("itCriticalDamageValue::VISIBLE", "1")
  if getfast_visible("MachSpeedIcon") then engine_Serv("TARGET", "MATCHSPEED") end
end

-- A ship destroyed in the fight: its marker and its radar blip go at once,
-- so that the arrows, frames and blips show what can still be fought. The
-- target panel says so while the wreck stays selected.
function flightHud.Destroyed(id)
  if get_hex(id) then D(id .. "::HELPEROFF", "1") end
  if get_hex("RadarMarker_" .. id) then D("delete", "RadarMarker_" .. id) end
end

-- ---- what the HUD calls in the content ------------------------------------------------------

i_sound = i_sound or {}
for _, e in ipairs({ "event_target_lock", "event_weapon_select", "event_missile_select", "event_packet_use",
  "event_collision", "event_incoming_missile", "event_mine_field", "event_on_aim", "event_critical_damage" }) do
  i_sound[e] = i_sound[e] or e
end
if not play_ex then
  function play_ex(event)
    flightHud.sounds[event] = (flightHud.sounds[event] or 0) + 1
  end
end
if not setVar then
  function setVar(path, value)
    engine_SetVar(path, value)
  end
end
if not showDistanceToRocket then
  function showDistanceToRocket(km)
    flightHud.rocketDistance = km
  end
end

demo.OnInit("flight hud", flightHud.Build)
