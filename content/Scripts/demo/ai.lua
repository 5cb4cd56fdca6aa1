-- The AI: a raider of the pirates keeps to its base, walks its patrol route
-- (points 1, 2 and 5) and, once the player's ship is within its leash,
-- takes it as its enemy and flies its attack runs. The manoeuvres are the
-- named sequences below, expanded into the raider's task queue.

-- The AI models an object can be given through "ai_model": the engine makes
-- the model of the class "engineType" names, then calls setAi.
ai = ai or {}
ai.dummy = ai.dummy or { engineType = "TGameObjectEmptyShipAIModel" }
ai.fighter = ai.fighter or { engineType = "TGameObjectShipAIModel", maxAttackRange = 1500, minAttackRange = 400 }
ai.heavy = ai.heavy or { engineType = "THeavyShipAiModel", maxAttackRange = 3000, minAttackRange = 1200 }

-- Models of the demo's objects (the content generator's).
mesh.ai_demo_raider = mesh.ai_demo_raider or { name = "Raider", path = "models/ships/raider.cm",
  physic_params = { ph_Type = "small", ph_MaxVelocity = 300, ph_AccelerateTime = 2,
    ph_MaxRotateVelocity = 90, ph_RotateForceMultiply = 4, ph_RotateFading = 1, ph_MaxPitchAngle = 60,
    ph_StaticRotate90Time = 1, ph_MaxRollAngle = 30, ph_RollForceMultiply = 2, ph_RollFading = 1 } }
mesh.ai_demo_outpost = mesh.ai_demo_outpost or { name = "Pirate base", path = "models/space/outpost_kessa.cm",
  physic_params = { ph_Type = "big" } }
mesh.ai_demo_rock = mesh.ai_demo_rock or { name = "Patrol point", path = "models/space/asteroid_a.cm",
  physic_params = { ph_Type = "big" } }

if materials.asteroid_rock == nil then
  materials.asteroid_rock = { id = "2010", texture_technique = 20, diffuse_color = "FFFFFF", specular_color = "0",
    ambient_color = "FFFFFF", emissive_color = "0", power = 1,
    diffuse_map = { name = "asteroids/rock", mipbias = 0, mipfilter = 0, magfilter = 1, minfilter = 1 } }
end

local aiDemo = { enemyTold = false, leashed = false }

-- The path of the object a link holds, "none" for an empty link.
local function linked(path)
  local id = engine_GetVar(path)
  if id == "0" or id == "" then
    return "none"
  end
  return engine_GetPath(id)
end

local set = demo.set

local function hex(path)
  return engine_GetVar(path .. ".hex")
end

local function placeObject(name, model, soClass, position, fraction)
  engine_AddVar("obj", name, "TGameObject")
  local p = "obj." .. name
  set(p .. ".SOClass", soClass)
  set(p .. ".position", position)
  set(p .. ".spacemodel", model)
  if fraction then
    set(p .. ".fraction", fraction)
  end
end

demo.OnInit("ai", function()
  -- Two factions that hate each other.
  engine_AddVar("fractions", "pirates")
  engine_AddVar("fractions", "player")
  set("fractions.pirates.attitudes.player", 10)
  set("fractions.player.attitudes.pirates", 10)
  game.DefineSequences()
  -- The raider's base, its patrol points and the raider itself.
  placeObject("aiBase", "ai_demo_outpost", 13, "6000 0 0")
  placeObject("patrol1", "ai_demo_rock", 13, "6000 1500 0")
  placeObject("patrol2", "ai_demo_rock", 13, "7500 0 0")
  placeObject("patrol5", "ai_demo_rock", 13, "6000 -1500 0")
  placeObject("raider1", "ai_demo_raider", 2, "5500 600 0", "pirates")
  local r = "obj.raider1.param."
  for _, v in ipairs({ "shield", "armor", "durability", "p_engine", "power" }) do
    set(r .. v .. ".max", 100)
    set(r .. v, 100)
  end
  set("obj.raider1.events.onDamaged", "aiDemoRaiderHit()")
  -- The base defends itself with a turret on its upper mount.
  engine_AddVar("items", "baseFlak", "TGameItem")
  set("items.baseFlak.mesh", "flak_turret") -- the turret the ships demo describes
  set("items.baseFlak.class", 1)
  set("items.baseFlak.range", 2500)
  engine_AddVar("items.baseFlak.effects", "gun", "TGameObjectTurretEffect")
  engine_AddVar("obj.aiBase.slots", "top")
  set("obj.aiBase.slots.top.helper", "turret01")
  set("obj.aiBase.slots.top.class", "turret")
  set("obj.aiBase.slots.top.itemType", 1)
  set("obj.aiBase.fraction", "pirates")
  set("ini.turretsEnabled", 1)
  demo.trace("ai: a raider of the pirates at its base with " .. engine_GetVar("bal.playerShipMaxAttackers") ..
    " attacker allowed on the player")
end)

function aiDemoRaiderHit()
  demo.trace("ai: the raider was hit")
end

demo.OnTick("ai", function(ms, tick)
  if hex("obj.raider1") == "0" or hex("obj.aiBase") == "0" then
    return
  end
  if not aiDemo.started then
    aiDemo.started = true
    set("obj.raider1.ai_model", "fighter")
    set("obj.raider1.ai.curAnchor", engine_GetHex("obj.aiBase"))
    -- At first the leash keeps the raider round its base, away from the player.
    set("obj.raider1.ai.maxAnchorRange", 3000)
    set("obj.raider1.ai.inAnchorRange", 1)
    engine_Execute("obj.raider1.ai.onInit")
    set("obj.aiBase.slots.top.item", "baseFlak")
    engine_Execute("obj.raider1.ai.onScan")
    demo.trace("ai: the raider patrols; its first point is " ..
      linked("obj.raider1.ai.curPatrolPoint") .. ", its queue runs " ..
      engine_GetVar("obj.raider1.tasks.curTask"))
    return
  end
  local enemy = engine_GetVar("obj.raider1.ai.curEnemy")
  if not aiDemo.leashed and tick >= 8 then
    -- The leash grows: the player's ship is now within it.
    aiDemo.leashed = true
    set("obj.raider1.ai.maxAnchorRange", 8000)
    demo.trace("ai: the raider's leash grows to 8000; its patrol point now " ..
      linked("obj.raider1.ai.curPatrolPoint"))
  end
  if enemy ~= "0" and not aiDemo.enemyTold then
    aiDemo.enemyTold = true
    demo.trace("ai: the raider's enemy is " .. linked("obj.raider1.ai.curEnemy") .. " (attackers of the player: " ..
      engine_GetTable("obj.pship.targeted") .. ")")
  end
  if tick == 4 then
    demo.trace("ai: the base's turret watches " .. engine_GetVar("items.baseFlak.effects.gun.maxRange") ..
      " around it; its unit " .. engine_GetVar("items.baseFlak.hex") .. ", its enemy " ..
      linked("items.baseFlak.effects.gun.ai.bestEnemy"))
  end
  if math.mod(tick, 5) == 0 then
    demo.trace("ai: tick " .. tick .. " the raider runs " .. engine_GetVar("obj.raider1.tasks.curTask") ..
      ", " .. engine_PhRange(hex("obj.raider1"), hex("obj.aiBase")) .. " from its base")
  end
end)
