-- Checks of engine roads no other demo part takes: a model placed in the main
-- scene from a script with its bounding spheres shown, a burst that throws
-- pieces of a model, what the scripts ask of ships in a fight (their speed,
-- and whether an attack is still worth going on with), sparks shown where two
-- ships collide, and the player's view shaken by the afterburner. Runs last.

-- The render demo's beacon as a scene object of its own.
mesh.checks_beacon = { name = "render_demo", path = "models/render_demo", kwsubobjects = { "antenna" },
  physic_params = { ph_Type = "big" } }
-- The raider's model, taken apart: each piece of a wreck is one of its objects.
mesh.checks_debris = { name = "raider", path = "models/ships" }
-- Its shield ellipsoid is one of them.
if materials.shield == nil then
  materials.shield = demo.flatMaterial("2090", "fx/shield")
end

-- Loaded with the rest of the "fx" table when the effects part reloads it.
fx.checks_debris = { id = "checks_debris", type = "particle", mesh = "checks_debris" }
fx.checks_wreck = { id = "checks_wreck", type = "burst", numParticles = "5", vmin = "10", vmax = "30",
  MaxSize = "1", MinSize = "1", MaxLifeTime = "1.5", MinLifeTime = "1", particleID = "checks_debris",
  color = "FFFFFFFF", friction = "10" }

local checks = { wreck = "none", fight = false, sparks = false, shaken = false }

-- The camera's shake sets the blur of the post-processing: the check listens in.
local setPostProcess = SetPPParam
function SetPPParam(effect, parameter, value)
  if effect == "blur" then checks.blur = value end
  setPostProcess(effect, parameter, value)
end

local set = demo.set

local function hexOf(path)
  local hex = engine_GetVar(path .. ".hex")
  if hex == nil or hex == "" then return "0" end
  return hex
end

local function round(v)
  return math.floor(tonumber(v) + 0.5)
end

-- The beacon stands far from the other parts' ships. Ships built while the
-- game's "showBSpheres" is on show their bounding spheres; the beacon turns
-- it off again once it is built (its creation event runs after the build).
local function placeBeacon()
  set("ini.showBSpheres", 1)
  engine_AddVar("obj", "checksBeacon", "TGameObject")
  local p = "obj.checksBeacon"
  set(p .. ".SOClass", 2)
  set(p .. ".position", "-8000 -8000 0")
  set(p .. ".events.onCreated", "engine_SetVar('ini.showBSpheres', '0')")
  set(p .. ".spacemodel", "checks_beacon")
end

local function showWreck(tick)
  engine_AddVar("", "checks", "TBaseGameObjectList")
  engine_AddVar("checks", "wreck", "TGameObjectFx")
  set("checks.wreck.fxId", "checks_wreck")
  set("checks.wreck.objId", "checksBeacon")
  checks.wreck = "made"
  checks.wreckMade = tick
end

local function followWreck(tick)
  local hex = hexOf("checks.wreck")
  if checks.wreck == "made" and hex ~= "0" then
    checks.wreck = "running"
    demo.trace("checks: a wreck burst throws pieces of the raider at checksBeacon as unit " .. hex)
  elseif checks.wreck == "made" and tick > checks.wreckMade + 3 then
    checks.wreck = "done"
    demo.trace("checks: the wreck burst made no unit")
  elseif checks.wreck == "running" and hex == "0" then
    checks.wreck = "done"
    demo.trace("checks: the wreck burst ended when its pieces were gone")
  end
end

-- The AI demo's raider once it has taken an enemy.
local function askOfTheFight()
  local enemy = engine_GetVar("obj.raider1.ai.curEnemy")
  if enemy == nil or enemy == "0" or enemy == "" then return end
  checks.fight = true
  demo.trace("checks: obj.raider1 flies at " .. round(engine_GetObjSpeed("obj.raider1")) ..
    ", its attack on " .. engine_GetPath(enemy) .. " is actual: " .. engine_AttackActuality("obj.raider1") ..
    ", on its own base: " .. engine_AttackActuality("obj.raider1", "obj.aiBase"))
  -- Measured against the planet system: a point of its model, and the physics the raider flies by.
  local params = engine_GetStringPhParams(engine_GetVar("obj.raider1.hex"))
  local _, lines = string.gsub(params, "\n", "")
  demo.trace("checks: obj.raider1 is " .. round(engine_PhDotRange("location:kessa_outpost", "obj.raider1")) ..
    " from the outpost's place in the system; its physics in " .. lines .. " lines, " ..
    (string.gfind(params, "[^\n]+")() or ""))
end

-- The physics part's fighter shows sparks when it meets the raider.
local function fitSparks()
  engine_AddVar("obj.phHawk.collisionFx", "sparks", "TGameObjectFxLink")
  set("obj.phHawk.collisionFx.sparks.fx", "demo_burst")
end

local function watchSparks()
  local shown = engine_GetVar("obj.phHawk.collisionFx.sparks.fxLink")
  if shown ~= nil and shown ~= "" and shown ~= "0" then
    checks.sparks = true
    demo.trace("checks: phHawk's collision showed its sparks as " .. engine_GetPath(shown))
  end
end

-- The player's ship lights its afterburner once the game's constants give it a shake.
local function lightAfterburner()
  set("bal.forsageQuakeTime", 1)
  set("bal.forsageQuakeAmplitude", 3)
  set("bal.forsageQuakeFrequency", 4)
  checks.blur = nil
  -- The link names the ship in the "obj" list.
  local ship = "obj." .. engine_GetVar("player.ship")
  engine_Execute(ship .. ".events.startForsage")
  checks.shaken = true
  demo.trace("checks: the afterburner of the player's ship " .. ship .. " shakes the view, blur power " ..
    tostring(checks.blur))
end

demo.OnTick("checks", function(ms, tick)
  if tick == 1 then
    placeBeacon()
    if engine_IsVar("obj.phHawk") == 1 then fitSparks() end
    return
  end
  if not checks.sparks and engine_IsVar("obj.phHawk.collisionFx.sparks") == 1 then watchSparks() end
  if not checks.shaken and tick >= 30 and (engine_GetVar("player.ship") or "") ~= "" then lightAfterburner() end
  if checks.wreck == "none" and hexOf("obj.checksBeacon") ~= "0" then
    demo.trace("checks: checksBeacon stands in the scene as unit " .. hexOf("obj.checksBeacon") ..
      ", speed " .. engine_GetObjSpeed("obj.checksBeacon") .. ", spheres shown while it was built, now " ..
      engine_GetVar("ini.showBSpheres"))
    showWreck(tick)
  end
  followWreck(tick)
  if not checks.fight then askOfTheFight() end
end)
