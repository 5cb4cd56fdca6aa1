-- The flight HUD, built from script: marker layers with their patterns, the
-- radar, the status panels, the weapon panel, the target panel, the timers,
-- the indicator array and the cursor; the desktop binds them when the
-- interface is uploaded. After the menu's part the demo flies: the player's
-- ship with guns, a rocket launcher and a repair pack, two raiders marked as
-- enemies, a wingman and a waypoint, all driven through engine_Serv.

local D = engine_Desktop
local Serv = engine_Serv

hud = { shown = false }

local node = desktopNode

local function rect(l, t, w, h)
  return { "LEFT", tostring(l), "TOP", tostring(t), "WIDTH", tostring(w), "HEIGHT", tostring(h) }
end

-- Joins property lists.
local function with(...)
  local out = {}
  for i = 1, table.getn(arg) do
    for j = 1, table.getn(arg[i]) do
      table.insert(out, arg[i][j])
    end
  end
  return out
end

-- A bar of two parts that share the width by its value.
local function bar(name, parent, class, props, colour)
  node(name, parent, class, with(props, {
    "FRAMECOLOR", "FF5AA0DC",
    "DCOLOR1_100", colour, "DCOLOR1_50", "FFE0C040", "DCOLOR1_25", "FFE04040",
    "DCOLOR2_100", "60203040", "DCOLOR2_50", "60203040", "DCOLOR2_25", "60203040",
  }))
  node(name .. "_1", name, "TMegaButton", {})
  node(name .. "_2", name, "TMegaButton", {})
  -- The parts are found by their own names.
  D(name .. "_1::NAME", "Bar_1")
  D(name .. "_2::NAME", "Bar_2")
end

local function label(name, parent, props, text, colour)
  node(name, parent, "TMegaButton", with(props, { "TEXT", text or "", "FONTSIZE", "12",
    "TEXTCOLOR", colour or "FFE0F0FF" }))
end

-- ---- the marker patterns ---------------------------------------------------------------

-- An arrow pointing up, filling a square of the size.
local function arrow(size)
  local half = tostring(math.floor(size / 2))
  return { "POINTCOUNT", "3", "X", half .. "," .. size .. ",0", "Y", "0," .. size .. "," .. size }
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
  node(name .. "AF", name, "TMegaButton", with(rect(-32, -32, 64, 64), {
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
    node(name .. e[1], e[2], e[3], with(e[4], { "FONTSIZE", "11", "TEXTCOLOR", colour }))
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
  node("TWPHelperAF", "TWPHelper", "TMegaButton", with(rect(-14, -14, 28, 28), {
    "VISIBLE", "0", "FRAMECOLOR", "FF80E0FF", "FONTSIZE", "11", "TEXTCOLOR", "FF80E0FF" }))
  node("TWPHelperHP", "TWPHelper", "TMegaButton", with(rect(-5, -5, 10, 10), arrow(10),
    { "VISIBLE", "0", "COLOR", "FF40C0FF" }))
  node("TWPHelperAP", "TWPHelper", "TMegaButton", with(rect(-5, -5, 10, 10), arrow(10),
    { "VISIBLE", "0", "COLOR", "FF80E0FF" }))
  node("TWPHelperWD", "TWPHelperAF", "TDistanceNode", with(rect(0, 30, 60, 14), { "FONTSIZE", "11" }))
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
end

-- ---- the panels --------------------------------------------------------------------------

local function buildStatus()
  -- Shield, armour and hull.
  node("ParametersPanel", "FlightHud", "TMegaButton", with(rect(8, 600, 200, 96),
    { "COLOR", "A0102030", "FRAMECOLOR", "FF5AA0DC" }))
  node("p_back_icon", "ParametersPanel", "TMegaButton", with(rect(4, 4, 40, 88), { "COLOR", "FF183050" }))
  local layers = { { "sp", "FF40A0FF" }, { "ap", "FFE0C040" }, { "dp", "FF40E070" } }
  for i = 1, 3 do
    local p, top = layers[i][1], 8 + (i - 1) * 28
    node(p .. "_icon", "ParametersPanel", "TMegaButton", with(rect(12, top, 24, 20), { "COLOR", layers[i][2] }))
    label(p .. "_label", "ParametersPanel", rect(150, top, 44, 20), "0")
    bar(p .. "_bar", "ParametersPanel", "TActiveHelperBar", rect(48, top + 4, 96, 12), layers[i][2])
  end

  -- The curved gauges: energy on the right, speed on the left of it.
  node("panel_Energy", "FlightHud", "TMegaButton", with(rect(824, 560, 192, 140), { "COLOR", "80102030" }))
  node("bar_Energy", "panel_Energy", "TMegaButton", with(rect(0, 0, 180, 120), { "IMAGE", "interface\\bar.tga" }))
  label("MaxEnergy", "panel_Energy", rect(120, 122, 60, 16), "0")
  label("P_PowerValue", "panel_Energy", rect(0, 0, 40, 16), "0", "FF40FF80")
  node("Overheat", "panel_Energy", "TMegaButton", with(rect(4, 122, 80, 16),
    { "TEXT", "OVERHEAT", "TEXTCOLOR", "FFFF4040", "VISIBLE", "0" }))
  node("SpeedPanel", "FlightHud", "TMegaButton", with(rect(216, 560, 120, 150), { "COLOR", "80102030" }))
  node("bar_Speed", "SpeedPanel", "TMegaButton", with(rect(4, 0, 20, 150), { "IMAGE", "interface\\bar.tga" }))
  node("point_Speed", "SpeedPanel", "TMegaButton", with(rect(0, 0, 28, 4), { "COLOR", "FFFFFFFF" }))
  node("point_MaxSpeed", "SpeedPanel", "TMegaButton", with(rect(0, 0, 28, 4), { "COLOR", "FFFF8040" }))
  label("P_SpeedValue", "SpeedPanel", rect(30, 60, 80, 16), "0", "FFFFFFFF")
  label("MaxSpeed", "SpeedPanel", rect(30, 0, 80, 16), "0")
  label("MinSpeed", "SpeedPanel", rect(30, 130, 80, 16), "0")
  label("cur_MaxSpeed", "SpeedPanel", rect(30, 20, 80, 16), "0", "FFFF8040")
  node("MachSpeedIcon", "SpeedPanel", "TMegaButton", with(rect(30, 90, 80, 16),
    { "TEXT", "MATCH", "TEXTCOLOR", "FF40C0FF", "VISIBLE", "0" }))
  node("ForsageTransporant", "SpeedPanel", "TMegaButton", with(rect(0, 0, 120, 150),
    { "COLOR", "30FF8040", "VISIBLE", "0" }))

  -- The target panel: the selected ship's model, name, bars, speed and range.
  node("TargetPanel", "FlightHud", "TMegaButton", with(rect(824, 8, 192, 196),
    { "COLOR", "A0102030", "FRAMECOLOR", "FF5AA0DC" }))
  -- With no target the panel shows screen noise.
  node("TargetAnimationPanel", "TargetPanel", "TMegaButton", rect(4, 4, 184, 120))
  node("TargetNoise", "TargetAnimationPanel", "TNoiseGenerator", with(rect(0, 0, 184, 120),
    { "BASICNOISELEVEL", "20", "NOISELEVEL", "20" }))
  for i = 1, 3 do
    node("TargetNoise" .. i, "TargetNoise", "TMegaButton", with(rect(0, 0, 184, 120),
      { "IMAGE", "interface\\noise_" .. i, "BLEND", "ADD" }))
  end
  node("EnemyShipInfo", "TargetPanel", "TMegaButton", with(rect(4, 4, 184, 188), { "VISIBLE", "0" }))
  node("TargetViewport", "EnemyShipInfo", "TViewportNode", with(rect(0, 0, 184, 120), { "VISIBLE", "0" }))
  label("ShipName", "EnemyShipInfo", rect(0, 122, 184, 16), "", "FFFF6060")
  bar("TargetDurabilityBar", "EnemyShipInfo", "TAHObjParamBar", rect(0, 140, 120, 5), "FF40E070")
  bar("TargetArmorBar", "EnemyShipInfo", "TAHObjParamBar", rect(0, 147, 120, 5), "FFE0C040")
  bar("TargetShieldBar", "EnemyShipInfo", "TAHObjParamBar", rect(0, 154, 120, 5), "FF40A0FF")
  label("SpeedValue", "EnemyShipInfo", rect(124, 140, 60, 14), "0")
  label("RangeValue", "EnemyShipInfo", rect(0, 164, 120, 14), "0")
  node("KillMessage", "EnemyShipInfo", "TMegaButton", with(rect(0, 176, 184, 12),
    { "TEXT", "DESTROYED", "TEXTCOLOR", "FFFF4040", "VISIBLE", "0" }))

  -- The lead mark over the target and the rocket-lock pointer.
  node("Deflection", "FlightHud", "TMegaButton", with(rect(0, 0, 12, 12), { "FRAMECOLOR", "FFFFE060", "VISIBLE", "0" }))
  node("RocketLockAnimPointer", "FlightHud", "TMovingNode", with(rect(511, 383, 16, 16),
    { "FRAMECOLOR", "FFFF8040", "VISIBLE", "0", "SPEED", "600" }))
end

local function buildWeapons()
  -- The colours of a slot that is on and one that is off.
  node("dataWeaponOn", "HudPatterns", "TMegaButton", { "COLOR", "C0306040", "FRAMECOLOR", "FF40E070",
    "TEXTCOLOR", "FFE0FFE0" })
  node("dataWeaponOff", "HudPatterns", "TMegaButton", { "COLOR", "C0402020", "FRAMECOLOR", "FF804040",
    "TEXTCOLOR", "FF906060" })
  node("WeaponPanel", "FlightHud", "TMegaButton", rect(8, 420, 200, 170))
  for i = 0, 4 do
    node("Gun_" .. i, "WeaponPanel", "TMegaButton", with(rect(0, i * 16, 196, 16),
      { "FONTSIZE", "11", "VISIBLE", "0" }))
    node("Gun_Bar_" .. i, "Gun_" .. i, "TMegaButton", with(rect(0, 13, 196, 3), { "COLOR", "FFE0C040" }))
    node("Rocket_" .. i, "WeaponPanel", "TMegaButton", with(rect(0, 86 + i * 16, 196, 16),
      { "FONTSIZE", "11", "VISIBLE", "0" }))
    node("Rocket_Bar_" .. i, "Rocket_" .. i, "TMegaButton", with(rect(0, 13, 196, 3), { "COLOR", "FFE08040" }))
  end
  node("Items_Panel_Left", "FlightHud", "TMegaButton", rect(8, 380, 200, 36))
  for n = 1, 4 do
    node("LItems_" .. n, "Items_Panel_Left", "TMegaButton", with(rect((n - 1) * 50, 0, 46, 34),
      { "COLOR", "C0204060", "FRAMECOLOR", "FF5AA0DC", "VISIBLE", "0" }))
    label("LItems_" .. n .. "_count", "LItems_" .. n, rect(2, 18, 42, 14), "")
  end
end

-- The controls the desktop binds when the interface is uploaded.
local function buildBound()
  -- The marker layers have no size of their own: a click where no marker is
  -- goes to what lies below.
  node("spaceAH", "FlightHud", "TAHLayer", {})
  for _, l in ipairs({ "WaypointAHLayer", "FriendAHLayer", "EnemyAHLayer" }) do
    node(l, "spaceAH", "TMegaButton", {})
  end
  node("Radar", "FlightHud", "TRadar", with(rect(422, 618, 180, 140), { "IMAGE", "interface\\radar.tga" }))
  node("Map", "desktop", "TMap", { "VISIBLE", "0" })
  node("TacticMap", "Map", "TImageNode", { "WIDTH", "200", "HEIGHT", "200" })
  D("insert", "FOVVariator", "desktop", "", "TVarFOV")
  node("GameTimer", "FlightHud", "TGameTimer", with(rect(900, 212, 100, 16), { "VISIBLE", "0", "TEXTCOLOR", "FFFFFFFF" }))
  node("CountdownTimer", "FlightHud", "TGameTimer", with(rect(900, 230, 100, 16),
    { "VISIBLE", "0", "COUNTDOWN", "1", "TEXTCOLOR", "FFFFE060" }))
  node("IndicatorArray", "desktop", "TIndicator", with(rect(8, 740, 400, 20), {}))
  local names = {
    "itApproach", "itShieldOff", "itShieldOffPermanent", "itShieldDismount", "itArmorOff", "itArmorOffPermanent",
    "itArmorDismount", "itFire", "itCriticalDamageValue", "itAutopilot", "itMessage", "itDefendMode",
    "itAttackMode", "itHeatMode", "itFreezeMode", "itNormalizeMode", "itStealthMode", "itBerserkMode",
    "itIsDetected", "itImpact", "itMissileApproach", "itMissileDestroy", "itMineField", "itCriticalDamage",
    "itRepair", "itFreez", "itSafety", "itOnAim", "itOnGunning", "itNewMission", "itMissionComplete",
    "itMissionFailed", "itProtectWarning", "itFormation", "itCheckFormation",
  }
  for i = 1, table.getn(names) do
    node(names[i], "IndicatorArray", "TMegaButton", with(rect((i - 1) * 11, 0, 10, 10),
      { "VISIBLE", "0", "COLOR", "FFE04040" }))
  end
  -- The ship's whole condition in per cent, shown by the status panel.
  node("itCriticalDamageValue", "IndicatorArray", "TMegaButton", with(rect(0, -20, 200, 16),
    { "VISIBLE", "1", "TEXT", "100%", "FONTSIZE", "12", "TEXTCOLOR", "FFFFE060" }))
  D("IndicatorArray::INIT")
  node("SequencerLayer", "desktop", "TMegaButton", { "VISIBLE", "0" })
  for i = 1, 7 do
    node("Sequencer_" .. i, "SequencerLayer", "TMegaButton", rect(500 + i * 4, 378, 3, 10))
  end
  -- The cursor is drawn over everything and takes no clicks.
  node("CursorLayer", "desktop", "TMegaButton", { "ENABLED", "0" })
  node("CursorArrow", "CursorLayer", "TMegaButton", { "WIDTH", "16", "HEIGHT", "16", "IMAGE", "interface\\cursor.tga" })
  node("CursorCentre", "CursorLayer", "TMegaButton", { "WIDTH", "16", "HEIGHT", "16", "IMAGE", "interface\\cursor.tga" })
end

function hud.Build()
  node("FlightHud", "desktop", "TMegaButton", { "VISIBLE", "0" })
  buildPatterns()
  buildBound()
  buildStatus()
  buildWeapons()
end

-- ---- what the HUD calls in the content ------------------------------------------------------

i_sound = i_sound or {}
for _, e in ipairs({ "event_target_lock", "event_weapon_select", "event_missile_select", "event_packet_use",
  "event_collision", "event_incoming_missile", "event_mine_field", "event_on_aim", "event_critical_damage" }) do
  i_sound[e] = i_sound[e] or e
end
hud.sounds = {}
if not play_ex then
  function play_ex(event)
    hud.sounds[event] = (hud.sounds[event] or 0) + 1
  end
end
if not setVar then
  function setVar(path, value)
    engine_SetVar(path, value)
  end
end
if not updateSelectedShip then
  function updateSelectedShip()
    hud.selectionChanges = (hud.selectionChanges or 0) + 1
  end
end
if not showDistanceToRocket then
  function showDistanceToRocket(km)
    hud.rocketDistance = km
  end
end

-- ---- the flight ---------------------------------------------------------------------------------

local set, value = demo.set, demo.value

local function ship(name, model, position, shield, armor, hull)
  engine_AddVar("obj", name, "TGameObject")
  local p = "obj." .. name
  set(p .. ".SOClass", 2)
  set(p .. ".position", position)
  set(p .. ".name", name)
  set(p .. ".spacemodel", model)
  value(p .. ".param.shield", shield)
  value(p .. ".param.armor", armor)
  value(p .. ".param.durability", hull)
  value(p .. ".param.power", 200, 150)
  value(p .. ".param.p_engine", 100)
end

local function item(name, class, bullet, functional, ammo, slot, helper)
  engine_AddVar("items", name, "TGameItem")
  local p = "items." .. name
  set(p .. ".name", name)
  set(p .. ".mesh", "laser_gun")
  set(p .. ".class", class)
  set(p .. ".bulletType", bullet)
  set(p .. ".functionalType", functional)
  if ammo then
    value(p .. ".quanity", ammo)
  end
  value(p .. ".reloading", 1)
  engine_AddVar("obj.hudHawk.slots", slot)
  set("obj.hudHawk.slots." .. slot .. ".helper", helper)
  set("obj.hudHawk.slots." .. slot .. ".class", "gun")
  set("obj.hudHawk.slots." .. slot .. ".itemType", class)
end

mesh.hud_hawk = { name = "HUD demo fighter", path = "models/ships/vesk_hawk.cm",
  physic_params = { ph_Type = "small", ph_MaxVelocity = 300, ph_AccelerateTime = 2 } }
mesh.hud_raider = { name = "HUD demo raider", path = "models/ships/raider.cm",
  physic_params = { ph_Type = "small", ph_MaxVelocity = 240, ph_AccelerateTime = 2 } }
mesh.laser_gun = mesh.laser_gun or { name = "Laser gun", path = "models/weapons/laser_gun.cm" }
gunmodel = gunmodel or {}
gunmodel.laser_gun = gunmodel.laser_gun or { type = "gun" }

function hud.MakeWorld()
  ship("hudHawk", "hud_hawk", "0 0 0", 100, 80, 120)
  ship("hudRaider1", "hud_raider", "2500 300 0", 60, 40, 90)
  ship("hudRaider2", "hud_raider", "3200 -600 200", 60, 40, 90)
  ship("hudWingman", "hud_hawk", "-400 500 0", 80, 60, 100)
  item("hudLaserA", 1, 2, 0, nil, "hudGunA", "gun01")
  item("hudLaserB", 1, 2, 0, nil, "hudGunB", "gun02")
  item("hudRockets", 1, 1, 0, 6, "hudRocketPod", "rocket01")
  item("hudRepair", 2, 0, 1, 3, "hudPack", "cockpit")
end

local function hex(name)
  return engine_GetHex("obj." .. name)
end

-- The markers' look on the last tick, for the log.
local function markers()
  local out = ""
  for _, n in ipairs({ "hudRaider1", "hudRaider2", "hudWingman" }) do
    out = out .. " " .. n .. "=" .. tostring(get_visible(n))
  end
  return out
end

local function fly(tick)
  if tick == 1 then
    -- The items go into the ship's slots.
    for _, s in ipairs({ { "hudGunA", "hudLaserA" }, { "hudGunB", "hudLaserB" }, { "hudRocketPod", "hudRockets" },
      { "hudPack", "hudRepair" } }) do
      set("obj.hudHawk.slots." .. s[1] .. ".item", s[2])
    end
  elseif tick == 28 then
    -- The menu and the player's own part are done: into flight, in the HUD's ship.
    set("player.ship", "hudHawk")
    set("player.selfShipControl", 1)
    D("MainMenu::VISIBLE", "0")
    D("FlightHud::VISIBLE", "1")
    Serv("DESKTOP", "MODE", "IMGAME")
    Serv("HELPER", "ADD", "ENEMY", hex("hudRaider1"))
    Serv("HELPER", "ADD", "ENEMY", hex("hudRaider2"))
    Serv("HELPER", "ADD", "FRIEND", hex("hudWingman"))
    Serv("TIMER", "SET", "0")
    Serv("MISSIONTIMER", "SET", "90")
    Serv("GUNENGINE", "RESET")
    Serv("ship", "speed", "set", "50")
    Serv("MOUSE", "SETSENSPARAM", "1.5")
    engine_PhCommand("obj.hudHawk", "goToPoint", "", 3000, 0, 0)
    engine_PhCommand("obj.hudRaider1", "goToPoint", "", 0, 0, 0)
    hud.shown = true
    demo.trace("hud: flying, gun 0 '" .. getfast_text("Gun_0") .. "', rockets '" .. getfast_text("Rocket_0") ..
      "', mission time " .. Serv("MISSIONTIMER", "GET"))
  elseif tick == 29 then
    -- The markers have placed themselves: the nearest enemy is locked.
    Serv("TARGET", "NEARESTENEMY")
    demo.trace("hud: markers" .. markers() .. ", nearest enemy " .. Serv("TARGET", "GETID") ..
      ", radar blip " .. tostring(get_visible("RadarMarker_hudRaider1")))
  elseif tick == 31 then
    demo.trace("hud: target " .. getfast_text("ShipName") .. " at " .. getfast_text("RangeValue") ..
      ", own speed " .. getfast_text("P_SpeedValue") .. " of " .. getfast_text("MaxSpeed") ..
      ", condition " .. getfast_text("itCriticalDamageValue"))
    Serv("TARGET", "NEXTENEMY")
    Serv("SHIP", "SPEED", "UP")
    Serv("GUNS", "REVOLVE")
    Serv("ROCKETS", "SELECT", "0")
    Serv("USESLOT")
    Serv("TARGET", "MATCHSPEED")
    Serv("PHYSICS", "SHIP", "ROTATELEFT", "0.5")
    Serv("PHYSICS", "SHIP", "STOPROTATE")
  elseif tick == 33 then
    demo.trace("hud: next target " .. Serv("TARGET", "GETID") .. ", match " ..
      tostring(get_visible("MachSpeedIcon")) .. ", gun 1 '" .. getfast_text("Gun_1") .. "', repair '" ..
      getfast_text("LItems_1_count") .. "', lock sounds " .. tostring(hud.sounds.event_target_lock))
    Serv("DEBUG", "DECSHIELD")
    Serv("TARGET", "SETID", "")
  elseif tick == 38 then
    demo.trace("hud: shield " .. getfast_text("sp_label") .. ", condition " ..
      getfast_text("itCriticalDamageValue") .. ", timers " .. Serv("TIMER", "GET") .. " / " ..
      Serv("MISSIONTIMER", "GET") .. ", selected '" .. Serv("TARGET", "GETID") .. "'")
  end
end

demo.OnInit("hud", function()
  hud.Build()
  demo.trace("hud: built")
end)
demo.OnInit("hud world", hud.MakeWorld)
demo.OnTick("hud", function(ms, tick)
  fly(tick)
end)
