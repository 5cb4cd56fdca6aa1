-- The flight HUD checked with a flight of its own: the player's ship with
-- guns, a rocket launcher and a repair pack, two raiders marked as enemies,
-- a wingman and a waypoint, all driven through engine_Serv. The HUD is the
-- game's (Scripts/game/hud.lua); the check keeps it hidden and the main menu
-- where it is, and leaves the desktop as it found it.

local D = engine_Desktop
local Serv = engine_Serv

hud = { shown = false }

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

-- The markers' look on the last tick, for the log: their own flags, as the
-- HUD they stand in stays hidden while the menu waits.
local function markers()
  local out = ""
  for _, n in ipairs({ "hudRaider1", "hudRaider2", "hudWingman" }) do
    out = out .. " " .. n .. "=" .. tostring(getfast_visible(n))
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
      ", radar blip " .. tostring(getfast_visible("RadarMarker_hudRaider1")))
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
      tostring(getfast_visible("MachSpeedIcon")) .. ", gun 1 '" .. getfast_text("Gun_1") .. "', repair '" ..
      getfast_text("LItems_1_count") .. "', lock sounds " .. tostring(flightHud.sounds.event_target_lock))
    Serv("DEBUG", "DECSHIELD")
    Serv("TARGET", "SETID", "")
    -- Matching ends with the check: a game starts without it.
    Serv("TARGET", "MATCHSPEED")
  elseif tick == 38 then
    demo.trace("hud: shield " .. getfast_text("sp_label") .. ", condition " ..
      getfast_text("itCriticalDamageValue") .. ", timers " .. Serv("TIMER", "GET") .. " / " ..
      Serv("MISSIONTIMER", "GET") .. ", selected '" .. Serv("TARGET", "GETID") .. "'")
    -- Back to the menu's mode, the clocks stopped, as the check found them.
    Serv("TIMER", "STOP")
    Serv("MISSIONTIMER", "STOP")
    if mission == nil or mission.state == "idle" then Serv("DESKTOP", "MODE", "IMSHELL") end
  end
end

demo.OnInit("hud world", hud.MakeWorld)
demo.OnTick("hud", function(ms, tick)
  if tick == 1 then
    demo.trace("hud: built" .. (get_hex("FlightHud") and "" or " (not found)"))
  end
  fly(tick)
end)
