-- The player: the player's ship with a gun in a slot and a spare in the
-- hold, steered by the player; its regimes switched (defence, attack, and
-- back to base by the fast save); a profile made, the game saved and loaded
-- again, and what came back compared with what was saved.

-- The scripts' mirror of the player, which the engine keeps informed.
player = player or {}
service = service or {}

local demoSaves = { id = nil, saved = nil, done = false }

local set, value = demo.set, demo.value

mesh.ai_demo_hawk = mesh.ai_demo_hawk or { name = "Vesk Hawk", path = "models/ships/vesk_hawk.cm",
  physic_params = { ph_Type = "small", ph_MaxVelocity = 400, ph_AccelerateTime = 2,
    ph_MaxRotateVelocity = 90, ph_RotateForceMultiply = 4, ph_RotateFading = 1, ph_MaxPitchAngle = 60,
    ph_StaticRotate90Time = 1, ph_MaxRollAngle = 30, ph_RollForceMultiply = 2, ph_RollFading = 1 } }

-- ---- comparing trees ---------------------------------------------------------------------------

-- Differences between two Lua mirrors of a tree, as "path: a ~= b" texts.
local function differences(a, b, path, out)
  for k, v in pairs(a) do
    local w = b[k]
    if type(v) == "table" and type(w) == "table" then
      differences(v, w, path .. "." .. k, out)
    elseif v ~= w then
      table.insert(out, path .. "." .. k .. ": " .. tostring(v) .. " ~= " .. tostring(w))
    end
  end
  for k, w in pairs(b) do
    if a[k] == nil then
      table.insert(out, path .. "." .. k .. ": nil ~= " .. tostring(w))
    end
  end
  return out
end

local function snapshot()
  local s = {}
  engine_UpdateToScript("player", "aiDemoSnapshot")
  s.player = aiDemoSnapshot
  engine_UpdateToScript("obj.pship", "aiDemoSnapshot")
  s.ship = aiDemoSnapshot
  engine_UpdateToScript("items.pGun", "aiDemoSnapshot")
  s.gun = aiDemoSnapshot
  engine_UpdateToScript("items.pSpare", "aiDemoSnapshot")
  s.spare = aiDemoSnapshot
  aiDemoSnapshot = nil
  return s
end

local function regimeText()
  local p = "obj.pship.param."
  local class = "none"
  if engine_IsVar("obj.pship.effects.pshipRegime") == 1 then
    engine_UpdateToScript("obj.pship.effects.pshipRegime", "aiDemoRegime")
    class = aiDemoRegime.engineType
    aiDemoRegime = nil
  end
  return class .. ", shield speed " .. engine_GetVar(p .. "shield.speed") .. ", heat speed " ..
    engine_GetVar(p .. "temperature.speed") .. ", heat " .. engine_GetVar(p .. "temperature")
end

-- The regime switch the flight controls give: the old regime goes and one
-- of the class asked for is switched on for the ship.
local function switchRegime(class)
  if engine_IsVar("obj.pship.effects.pshipRegime") == 1 then
    engine_DelVar("obj.pship.effects.pshipRegime")
  end
  engine_AddVar("obj.pship.effects", "pshipRegime", class)
  engine_Execute("obj.pship.effects.pshipRegime.events.onEnable", "0", engine_GetHex("obj.pship"))
end

-- ---- the demo ---------------------------------------------------------------------------------

demo.OnInit("player", function()
  engine_AddVar("obj", "pship", "TGameObject")
  local p = "obj.pship"
  set(p .. ".SOClass", 2)
  set(p .. ".position", "0 -600 0")
  set(p .. ".spacemodel", "ai_demo_hawk")
  set(p .. ".fraction", "player")
  value(p .. ".param.shield", 200, 150)
  set(p .. ".param.shield.speed", 4)
  value(p .. ".param.armor", 100)
  value(p .. ".param.durability", 100)
  value(p .. ".param.temperature", 200, 0)
  set(p .. ".param.temperature.speed", -2)
  value(p .. ".param.p_engine", 100)
  value(p .. ".param.power", 100)
  value(p .. ".param.capacity", 100, 0)
  -- A gun for the slot on the left pylon and a spare in the hold.
  gunmodel.laser_gun = gunmodel.laser_gun or { type = "gun" }
  engine_AddVar("items", "pGun", "TGameItem")
  set("items.pGun.mesh", "laser_gun")
  set("items.pGun.class", 1)
  set("items.pGun.group", "energy")
  engine_AddVar("items", "pSpare", "TGameItem")
  set("items.pSpare.mesh", "laser_gun")
  set("items.pSpare.class", 1)
  engine_AddVar(p .. ".slots", "gunLeft")
  set(p .. ".slots.gunLeft.helper", "gun01")
  set(p .. ".slots.gunLeft.class", "gun")
  set(p .. ".slots.gunLeft.itemType", 1)
  engine_AddVar(p .. ".cargo", "hold1")
  -- The constants of the regimes.
  set("bal.defenceRegimeRegenKoeff", 150)
  set("bal.defenceRegimeOverheatCoeff", 50)
  set("bal.defenceRegimeStartOverheat", 10)
  set("bal.defenceRegimeDamageCoeff", 50)
  set("bal.defenceRegimeWeaponOverheatCoeff", 100)
  set("player.ship", "pship")
  demo.trace("player: the player's ship is " .. engine_GetVar("player.ship"))
end)

local shipUnit = "0"

demo.OnTick("player", function(ms, tick)
  local unit = engine_GetVar("obj.pship.hex")
  if unit == "0" then
    return
  end
  -- A ship that got a new unit (after a load) is the player's again.
  if unit ~= shipUnit then
    shipUnit = unit
    engine_UpdatePlayerShip()
    set("player.selfShipControl", engine_GetVar("player.selfShipControl"))
  end
  if tick == 3 then
    set("obj.pship.slots.gunLeft.item", "pGun")
    set("obj.pship.cargo.hold1", "pSpare")
    set("player.selfShipControl", 1)
    engine_Execute("player", "cockpitOn")
    engine_Execute("player.cockpit", "left", "0.5")
    engine_Execute("player.cockpit", "center")
    engine_Execute("player", "cockpitOff")
    demo.trace("player: the player steers; selfShipControl=" .. engine_GetVar("player.selfShipControl") ..
      ", cockpit mode " .. engine_GetVar("player.isCockpitMode"))
  elseif tick == 6 then
    -- The player picks the raider as the target and calls for help.
    player.selected = "obj.raider1"
    engine_UpdateSelectedShip()
    engine_SetCursorObj("obj.aiBase")
    engine_Execute("player.events.sayHelp")
    demo.trace("player: the cursor is on " .. tostring(player.cursor))
  elseif tick == 9 then
    demo.trace("player: regime " .. regimeText())
  elseif tick == 11 then
    switchRegime("TPlayerShipDefenceRegime")
    demo.trace("player: regime " .. regimeText())
  elseif tick == 13 then
    -- The attack regime by the flight controls' own command.
    engine_Serv("SHIP", "MODE", "ATTACK")
    demo.trace("player: regime " .. regimeText())
  elseif tick == 15 then
    engine_Execute("player", "fastSave")
    demo.trace("player: after the fast save, regime " .. regimeText() .. "; the mirror holds the ship: " ..
      tostring(playership and playership.engineType))
  elseif tick == 17 then
    -- Values that stay still while the save is compared.
    set("obj.pship.param.shield.speed", 0)
    set("obj.pship.param.temperature.speed", 0)
  elseif tick == 19 then
    engine_Execute("player", "newProfile", "pilot")
    demoSaves.id = engine_Execute("player", "getNewSaveId")
    engine_Execute("player", "save", demoSaves.id)
    set("playerSettings.numberSaves", tonumber(engine_GetVar("playerSettings.numberSaves")) + 1)
    demoSaves.saved = snapshot()
    engine_Execute("playerSettings", "updateSaveNames")
    demo.trace("player: saved " .. demoSaves.id .. " in profile " .. engine_GetVar("ini.curPlayerProfile") ..
      "; saves listed " .. engine_GetTable("playerSettings.saves") .. " named " ..
      engine_GetVar("playerSettings.saves." .. demoSaves.id .. ".name"))
  elseif tick == 22 then
    -- The game goes on and changes; loading gives back the saved game.
    set("obj.pship.param.shield", 20)
    set("player.res1", 7)
    set("obj.pship.slots.gunLeft.item", "")
    engine_Execute("player", "load", demoSaves.id)
  elseif tick == 23 then
    -- A frame later the links of the loaded ship have found their items.
    local diff = differences(demoSaves.saved, snapshot(), "", {})
    demo.trace("player: loaded " .. demoSaves.id .. ": " .. table.getn(diff) .. " differences from the save" ..
      (table.getn(diff) > 0 and (" (first " .. diff[1] .. ")") or "") ..
      "; current save " .. engine_GetVar("playerSettings.curSave"))
  elseif tick == 26 then
    demo.trace("player: after the load the ship holds " .. engine_GetVar("obj.pship.slots.gunLeft.item") ..
      " and " .. engine_GetVar("obj.pship.cargo.hold1") .. ", regime " .. regimeText())
  end
end)
