-- Combat: the player's ship fires its laser and a rocket at a pirate raider
-- until it is destroyed, and the script checks each hit against what the
-- damage kinds compute and what the player's statistics count; a pirate
-- minelayer drops a mine that arms and goes off on a scout, then a crate whose
-- magnet brings down the next mine, and the scout's range watch fires when it
-- reaches the layer; and the pirate base, taken over by the Kessa guards,
-- turns its flak turret on the raider.

-- ---- content: effects, models, weapons -------------------------------------------------------

fx.combat_bullet = { id = "combat_bullet", type = "bullet", velocity = "2000", lifetime = "1", len = "30",
                     rnd_length_from = "0.8", rnd_length_to = "1.2", color = "FFFFF0A0", texture = "fx/spark.tga",
                     bursts = { { id = "combat_spark", size = 1 } } }
fx.combat_flak = { id = "combat_flak", type = "bullet", velocity = "3000", lifetime = "1", len = "40",
                   color = "FFFF9040", texture = "fx/spark.tga" }
fx.combat_spark = { id = "combat_spark", type = "burst", numParticles = "6", vmin = "20", vmax = "50",
                    MaxSize = "3", MinSize = "1", MaxLifeTime = "0.3", MinLifeTime = "0.15",
                    particleID = "demo_spark", color = "FFFFE0A0", color2 = "00FF8000", friction = "20" }
fx.combat_flash = { id = "combat_flash", type = "burst", numParticles = "4", vmin = "5", vmax = "15",
                    MaxSize = "4", MinSize = "2", MaxLifeTime = "0.15", MinLifeTime = "0.1",
                    particleID = "demo_spark", color = "FFFFFFC0", friction = "40" }
fx.combat_boom = { id = "combat_boom", type = "burst", numParticles = "20", vmin = "20", vmax = "80",
                   MaxSize = "8", MinSize = "3", MaxLifeTime = "0.8", MinLifeTime = "0.4",
                   particleID = "demo_spark", color = "FFFFB040", color2 = "00FF2000", friction = "25" }
fx.combat_wreck = { id = "combat_wreck", type = "burst", numParticles = "40", vmin = "10", vmax = "60",
                    MaxSize = "14", MinSize = "6", MaxLifeTime = "1.5", MinLifeTime = "0.8",
                    particleID = "demo_puff", color = "C0FFA060", color2 = "00401000", friction = "15",
                    notattached = "1" }

materials.rocket_body = materials.rocket_body or demo.flatMaterial("2020", "ships/engine_metal")

local function missile(maxVelocity)
  return { name = "rocket_hornet", path = "models/ships",
           physic_params = { ph_Type = "missile", ph_MaxVelocity = maxVelocity, ph_AccelerateTime = 0.2,
                             ph_StaticRotate90Time = 0.2 } }
end
-- Rockets fly as "general_missile" unless their shot names another model.
mesh.general_missile = missile(900)
mesh.combat_mine = missile(250)
mesh.combat_crate = missile(0)
mesh.combat_raider = { name = "raider", path = "models/ships",
  physic_params = { ph_Type = "small", ph_MaxVelocity = 280, ph_AccelerateTime = 2, ph_MaxRotateVelocity = 90,
                    ph_RotateForceMultiply = 4, ph_RotateFading = 1, ph_StaticRotate90Time = 1 } }
mesh.rocket_pod = mesh.rocket_pod or { name = "rocket_pod", path = "models/weapons" }
gunmodel = gunmodel or {}
gunmodel.laser_gun = gunmodel.laser_gun or { type = "gun" }
gunmodel.rocket_pod = gunmodel.rocket_pod or { mesh = "rocket_pod", type = "gun" }

-- ---- helpers ---------------------------------------------------------------------------------

local set, get, value = demo.set, demo.get, demo.value

local function num(path)
  return tonumber(get(path)) or 0
end

local function trace(text)
  demo.trace("combat: " .. text)
end

local function makeShip(name, model, position, fraction, shield, armor, hull)
  engine_AddVar("obj", name, "TGameObject")
  local p = "obj." .. name
  set(p .. ".SOClass", 2)
  set(p .. ".position", position)
  set(p .. ".spacemodel", model)
  set(p .. ".fraction", fraction)
  set(p .. ".name", name)
  value(p .. ".param.shield", shield)
  value(p .. ".param.armor", armor)
  value(p .. ".param.durability", hull)
  value(p .. ".param.defencefactor", 100)
  value(p .. ".param.damagefactor", 100)
  value(p .. ".param.temperature", 200, 0)
  value(p .. ".param.p_engine", 100)
  value(p .. ".param.power", 100)
end

-- A weapon item in a new slot of the ship: its effect of the class and one
-- description (a shot or a launch) whose values `describe` sets.
local function weapon(ship, slot, helper, item, meshName, weaponType, effectClass, descriptionClass, describe)
  engine_AddVar("obj." .. ship .. ".slots", slot)
  local s = "obj." .. ship .. ".slots." .. slot
  set(s .. ".helper", helper)
  set(s .. ".class", "gun")
  set(s .. ".itemType", 1)
  set(s .. ".weaponType", weaponType)
  engine_AddVar("items", item, "TGameItem")
  local i = "items." .. item
  set(i .. ".mesh", meshName)
  set(i .. ".class", 1)
  set(i .. ".weaponType", weaponType)
  value(i .. ".charge", 10)
  value(i .. ".reloading", 1)
  set(i .. ".reloading.speed", 5) -- reloaded in 0.2 s
  engine_AddVar(i .. ".effects", "main", effectClass)
  engine_AddVar(i .. ".effects.main.shots", "one", descriptionClass)
  describe(i .. ".effects.main.shots.one")
  set(s .. ".item", item)
end

local function damage(description, kind, amounts)
  engine_AddVar(description .. ".effects", "hit", kind)
  for k, v in pairs(amounts) do
    set(description .. ".effects.hit." .. k, v)
  end
end

local function shot(bulletType, mainFx, kind, amounts)
  return function(d)
    set(d .. ".bulletType", bulletType)
    set(d .. ".mainFx", mainFx)
    set(d .. ".startFx", "combat_flash")
    set(d .. ".endFx", "combat_boom")
    set(d .. ".helperId", "weapon")
    set(d .. ".lifetime", 3)
    damage(d, kind, amounts)
  end
end

local function launch(objectClass, model, kind, amounts, extra, onDestroyed)
  return function(d)
    if onDestroyed then
      -- The launched object takes the description's events with it.
      engine_AddVar(d .. ".events", "onDestroyed", "TGameEvent")
      set(d .. ".events.onDestroyed", onDestroyed)
    end
    engine_AddVar(d, "bulletType", "TGameObjectStringParam")
    set(d .. ".bulletType", objectClass)
    set(d .. ".spacemodel", model)
    set(d .. ".startFx", "combat_flash")
    set(d .. ".endFx", "combat_boom")
    set(d .. ".helperId", "weapon")
    set(d .. ".lifetime", 30)
    damage(d, kind, amounts)
    for k, v in pairs(extra or {}) do
      engine_AddVar(d, k, "TGameObjectSubParam")
      set(d .. "." .. k, v)
    end
  end
end

-- A weapon's trigger: pulled for one script tick it fires once (it reloads in 0.2 s).
local function pull(item, target)
  if target then
    engine_Execute("items." .. item .. ".onStartUse", engine_GetHex("items." .. item), engine_GetHex("obj." .. target))
  else
    engine_Execute("items." .. item .. ".onStartUse", engine_GetHex("items." .. item))
  end
end

local function release(item)
  engine_Execute("items." .. item .. ".onEndUse", engine_GetHex("items." .. item))
end

local function status(name)
  local p = "obj." .. name .. ".param."
  return "shield=" .. get(p .. "shield") .. " armor=" .. get(p .. "armor") .. " hull=" .. get(p .. "durability")
end

local function stat(name)
  return num("player.statistics." .. name)
end

-- The newest object of "obj" whose class number is soClass and whose name starts "bullet_".
local function released(soClass)
  local found = nil
  local names = engine_GetTable("obj")
  if type(names) ~= "string" then return nil end
  for name in string.gfind(names, "%[%[(.-)%]%]") do
    if string.sub(name, 1, 7) == "bullet_" and get("obj." .. name .. ".SOClass") == tostring(soClass) then
      found = "obj." .. name
    end
  end
  return found
end

-- ---- the damage the scripts expect -------------------------------------------------------------

-- What an energy hit and a layered (rocket) hit do, after the rules of the kinds.
local expect = { shield = 30, armor = 20, hull = 40 }
local function clamp(v) if v < 0 then return 0 end return v end
local function energyHit(shieldDamage, damage)
  local over = 0
  if expect.shield < shieldDamage then
    over = shieldDamage - expect.shield
    expect.shield = 0
  else
    expect.shield = expect.shield - shieldDamage
  end
  expect.hull = clamp(expect.hull - (over + damage))
end
local function layeredHit(shieldDamage, armorDamage, damage)
  if expect.shield > 0 then expect.shield = clamp(expect.shield - shieldDamage) end
  if expect.shield <= 0 and expect.armor > 0 then expect.armor = clamp(expect.armor - armorDamage) end
  if expect.shield <= 0 and expect.armor <= 0 then expect.hull = clamp(expect.hull - damage) end
end
local function matches(name)
  local p = "obj." .. name .. ".param."
  return num(p .. "shield") == expect.shield and num(p .. "armor") == expect.armor and
    num(p .. "durability") == expect.hull
end

-- ---- the demo ---------------------------------------------------------------------------------

local combat = { step = "arm", hits = 0, pulls = { combatLaser = 0, combatRockets = 0 } }
mines = { step = "arm" }
local turret = { step = "wait" }

function combatRaiderDestroyed()
  combat.destroyed = true
  -- The explosion is an effect object of the raider's own, in its effect list.
  local explosion = "none"
  for name in string.gfind(engine_GetTable("obj.combatRaider.effects"), "%[%[(.-)%]%]") do
    if string.find(name, "^dFx_") then explosion = "obj.combatRaider.effects." .. name end
  end
  trace("combatRaider destroyed: its explosion " .. explosion .. " shows " .. get(explosion .. ".fxId") ..
    " on unit " .. get(explosion .. ".hex"))
end

function combatScoutReachedLayer()
  trace("the scout's watch: combatLayer within reach of combatScout")
end

-- A mine of the layer is destroyed (tmp[1]: the mine).
function combatMineDestroyed()
  mines.destroyed = (mines.destroyed or 0) + 1
  local mine = engine_GetPath(tmp[1])
  if mines.destroyed == 1 then
    trace("the mine went off on combatScout: " .. status("combatScout") .. ", mines on it: " ..
      get("obj.combatScout.targetedMines"))
  else
    trace("the crate's magnet brought down the second mine: destroyed=" .. get(mine .. ".isDestroyed"))
  end
end

-- The explosion of a mesh's destruction: an entry of its "destroyFx" list.
local function explosion(meshName, entry, effect, seconds)
  updateMeshToEngine(meshName)
  engine_AddVar("mesh." .. meshName .. ".destroyFx", entry, "TDestroyFxLink")
  set("mesh." .. meshName .. ".destroyFx." .. entry .. ".fx", effect)
  set("mesh." .. meshName .. ".destroyFx." .. entry .. ".time", seconds)
end

demo.OnInit("combat", function()
  -- Rockets and mines go off in a burst where they strike; a raider's wreck burns out.
  explosion("general_missile", "boom", "combat_boom", 1)
  explosion("combat_mine", "boom", "combat_boom", 1)
  explosion("combat_raider", "wreck", "combat_wreck", 2)
  engine_AddVar("fractions", "kessa")
  set("fractions.kessa.attitudes.pirates", 10)
  set("fractions.pirates.attitudes.kessa", 10)
  -- The player's target, and the minelayer with the scout it lies in wait for.
  makeShip("combatRaider", "combat_raider", "0 -950 0", "pirates", 30, 20, 40)
  set("obj.combatRaider.events.onDestroyed", "combatRaiderDestroyed()")
  makeShip("combatLayer", "combat_raider", "-3000 2500 0", "pirates", 100, 100, 100)
  makeShip("combatScout", "combat_raider", "-3000 2850 0", "kessa", 100, 100, 100)
  -- The scout watches for the layer: within reach of each other's hulls.
  engine_AddVar("obj.combatScout.effects", "watch", "TGameUniversalRangeEffect")
  local w = "obj.combatScout.effects.watch"
  engine_AddVar(w .. ".objs1", "scout")
  set(w .. ".objs1.scout.obj", "combatScout")
  engine_AddVar(w .. ".objs2", "layer")
  set(w .. ".objs2.layer.obj", "combatLayer")
  set(w .. ".objs2.layer.radius", 100)
  set(w .. ".events.onAllInRange", "combatScoutReachedLayer()")
  engine_Execute(w .. ".events.onEnable", engine_GetHex(w), engine_GetHex("obj.combatScout"))
  trace("combatRaider, combatLayer and combatScout made")
end)

-- The player's ship against the raider.
local function playerCombat(tick)
  if combat.step == "arm" then
    if get("obj.pship.hex") == "0" or get("obj.combatRaider.hex") == "0" then return end
    -- The player's ship starts at the outpost among the other demos' ships, where
    -- its shots would strike them first: it meets the raider 350 from it instead.
    local stand = engine_AddEncounterHelper(get("obj.combatRaider.hex"), "combatStand", 350)
    engine_PhCommand("obj.pship", "teleport", "", stand)
    engine_DelGlobalHelper(stand)
    set("obj.pship.param.damagefactor.max", 100)
    set("obj.pship.param.damagefactor", 100)
    weapon("pship", "combatGun", "gun02", "combatLaser", "laser_gun", 0, "TGameObjectGunEffect",
      "TGameObjectShotEffect", shot("TGameObjectBullet", "combat_bullet", "TDamageEnergy", { shieldDamage = 15 }))
    weapon("pship", "combatPod", "rocket01", "combatRockets", "rocket_pod", 2, "TGameObjectGunEffect",
      "TGameObjectShotEffect", shot("TGameObjectRocket", "combat_bullet", "TDamageRocket",
        { shieldDamage = 20, armorDamage = 20, damage = 15, splash = 50 }))
    set("obj.pship.rocketTarget", engine_GetHex("obj.combatRaider"))
    combat.step = "laser"
    trace("pship carries combatLaser and combatRockets; combatRaider " .. status("combatRaider"))
    return
  end
  if combat.firing then
    release(combat.firing)
    combat.firing = nil
    return
  end
  local hits = stat("primaryDamageCounter") + stat("secondaryDamageCounter")
  if hits > combat.hits then
    -- A hit landed: the raider's values are what the kind computes.
    local kind = "laser"
    if stat("secondaryDamageCounter") > (combat.rocketHits or 0) then
      kind = "rocket"
      combat.rocketHits = stat("secondaryDamageCounter")
      layeredHit(20, 20, 15)
    else
      energyHit(15, 0)
    end
    combat.hits = hits
    trace(kind .. " hit " .. hits .. ": " .. status("combatRaider") .. ", as computed: " ..
      tostring(matches("combatRaider")))
    combat.waiting = false
  end
  if combat.waiting or combat.step == "done" then
    return
  end
  if combat.destroyed then
    combat.step = "done"
    local entry = string.gsub(engine_GetTable("player.statistics.destroyedEnemyes"), "%D", "")
    trace("statistics: shots " .. stat("primaryShotCounter") .. " + " .. stat("secondaryShotCounter") ..
      ", hits " .. stat("primaryDamageCounter") .. " + " .. stat("secondaryDamageCounter") ..
      " (on enemies " .. stat("primaryDamageEnemyCounter") .. " + " .. stat("secondaryDamageEnemyCounter") ..
      "), damage to enemies " .. stat("damageEnemyCounter") .. ", destroyed " .. stat("destroyedEnemyCounter") ..
      " (" .. get("player.statistics.destroyedEnemyes.c_" .. entry .. ".name") .. " " ..
      get("player.statistics.destroyedEnemyes.c_" .. entry .. ".counter") .. ")")
    -- Every pull of a trigger was one shot, and every shot hit.
    local laser, rockets = combat.pulls.combatLaser, combat.pulls.combatRockets
    trace("the statistics count what was fired and hit: " .. tostring(stat("primaryShotCounter") == laser and
      stat("secondaryShotCounter") == rockets and stat("primaryDamageCounter") == laser and
      stat("secondaryDamageCounter") == rockets and stat("damageEnemyCounter") == laser + rockets and
      stat("destroyedEnemyCounter") == 1))
    trace("the wreck goes: isDestroyed=" .. get("obj.combatRaider.isDestroyed"))
    engine_DelVar("obj.combatRaider")
    -- The guns leave the ship before the player's game is saved.
    engine_DelVar("obj.pship.slots.combatGun")
    engine_DelVar("obj.pship.slots.combatPod")
    engine_DelVar("items.combatLaser")
    engine_DelVar("items.combatRockets")
    set("obj.pship.rocketTarget", "0")
    return
  end
  -- Two laser hits take the shield down, the rocket the armour, two more the hull.
  local weaponItem = "combatLaser"
  if expect.shield == 0 and expect.armor > 0 then
    weaponItem = "combatRockets"
  end
  pull(weaponItem, "combatRaider")
  combat.pulls[weaponItem] = combat.pulls[weaponItem] + 1
  combat.firing = weaponItem
  combat.waiting = true
end

-- The minelayer's mine, the crate's magnet and the scout's range watch.
local function minefield(tick)
  if mines.step == "arm" then
    if get("obj.combatLayer.hex") == "0" or get("obj.combatScout.hex") == "0" then return end
    weapon("combatLayer", "mineRack", "gun01", "combatMines", "rocket_pod", 0, "TGameObjectLauncherEffect",
      "TGameObjectLaunchEffect", launch("TGameObjectMine", "combat_mine", "TDamageRocket",
        { shieldDamage = 25, armorDamage = 25, damage = 25, splash = 60 },
        { activateRadius = 500, activateTime = 0.4 }, "combatMineDestroyed()"))
    weapon("combatLayer", "crateRack", "gun02", "combatCrates", "rocket_pod", 0, "TGameObjectLauncherEffect",
      "TGameObjectLaunchEffect", launch("TGameObjectContainer", "combat_crate", "TMagnitEffect", { splash = 250 }))
    mines.step = "drop"
  elseif mines.step == "drop" then
    pull("combatMines")
    mines.step = "dropped"
  elseif mines.step == "dropped" then
    mines.mine = released(14)
    if mines.mine then
      trace("combatLayer dropped a mine: its faction " .. get(mines.mine .. ".fraction") .. ", armed " ..
        tostring(get(mines.mine .. ".standingHelper") ~= "0"))
      mines.step = "arming"
    end
  elseif mines.step == "arming" then
    if get(mines.mine .. ".enemyFound") == "1" then
      trace("the mine is armed at its post and chases " .. engine_GetPath(get(mines.mine .. ".curTarget")) ..
        " (mines on it: " .. get("obj.combatScout.targetedMines") .. ")")
      mines.step = "chasing"
    end
  elseif mines.step == "chasing" then
    if (mines.destroyed or 0) >= 1 then
      pull("combatCrates")
      mines.step = "crate"
    end
  elseif mines.step == "crate" then
    mines.crate = released(5)
    if mines.crate then
      trace("combatLayer dropped a crate with a magnet of " .. get(mines.crate .. ".effects.hit.splash"))
      pull("combatMines")
      mines.step = "second"
    end
  elseif mines.step == "second" then
    if (mines.destroyed or 0) >= 2 then
      -- The scout goes to see the layer.
      engine_PhCommand("obj.combatScout", "goToPoint", "", -3000, 2540, 0)
      mines.step = "done"
    end
  end
end

-- The pirate base changes hands: its flak turret turns on the raider.
local function baseTurret(tick)
  if turret.step == "wait" then
    if tick < 20 or get("items.baseFlak.hex") == "0" then return end
    local g = "items.baseFlak.effects.gun"
    engine_AddVar(g .. ".shots", "flak", "TGameObjectShotEffect")
    shot("TGameObjectBullet", "combat_flak", "TDamageKinetic", { armorDamage = 5 })(g .. ".shots.flak")
    value("items.baseFlak.charge", 100)
    value("items.baseFlak.reloading", 1)
    set("items.baseFlak.reloading.speed", 4)
    -- Its barrel turns down as well as up, to the ships below the station's top.
    engine_SetTurretParams(get("items.baseFlak.hex"), 90, 60, 170, -170, 80, -80)
    value("obj.aiBase.param.damagefactor", 100)
    value("obj.raider1.param.defencefactor", 100)
    set("obj.aiBase.fraction", "kessa")
    turret.step = "watch"
    trace("the Kessa guards take the pirate base")
  elseif turret.step == "watch" then
    local enemy = get("items.baseFlak.effects.gun.ai.bestEnemy")
    if enemy ~= "0" and enemy ~= "" then
      trace("the base's turret aims at " .. engine_GetPath(enemy))
      turret.step = "aiming"
    end
  elseif turret.step == "aiming" then
    if num("obj.raider1.param.armor") < 100 then
      trace("the base's turret hit the raider: armor " .. get("obj.raider1.param.armor"))
      turret.step = "done"
    end
  end
end

demo.OnTick("combat", function(ms, tick)
  playerCombat(tick)
  minefield(tick)
  baseTurret(tick)
end)
