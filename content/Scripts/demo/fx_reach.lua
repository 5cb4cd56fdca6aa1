-- Effects that only weapons make: a gunship fires two guns at a derelict
-- station whose shield is down. The first is a ray gun: each shot starts a
-- beam from the gun's muzzle to the station. The second turns a ring at its
-- muzzle towards the station as it fires. Both bolts leave scorch marks where
-- they strike the big hull. Scripts have no handle on these units, so the
-- engine's scene dump is written twice: once while they live and once after
-- their lifetimes.

fx.reach_bolt = { id = "reach_bolt", type = "bullet", velocity = "2000", lifetime = "1", len = "30",
                  color = "FFFFF0A0", texture = "fx/spark.tga" }
fx.reach_beam = { id = "reach_beam", type = "laser", lifetime = "1.5", color = "FF60FF60", thickness = "4",
                  bursts = { { id = "hit_sparks", size = 1 } } }
fx.reach_cone = { id = "reach_cone", type = "directed_mesh", LifeTime = "1.5", meshname = "fx_shockwave" }
fx.reach_scorch = { id = "reach_scorch", type = "defect", texture = "fx/scorch.tga", LifeTime = "1.5",
                    SpawnTime = "0.2", size = "6", color = "FF402010", color2 = "00000000" }

local set, get, value = demo.set, demo.get, demo.value

local function trace(text)
  demo.trace("fx_reach: " .. text)
end

local function makeShip(name, model, position, shield, hull)
  engine_AddVar("obj", name, "TGameObject")
  local p = "obj." .. name
  set(p .. ".SOClass", 2)
  set(p .. ".position", position)
  set(p .. ".spacemodel", model)
  set(p .. ".name", name)
  value(p .. ".param.shield", 100, shield)
  value(p .. ".param.armor", 0)
  value(p .. ".param.durability", hull)
  value(p .. ".param.defencefactor", 100)
  value(p .. ".param.damagefactor", 100)
  value(p .. ".param.temperature", 200, 0)
  value(p .. ".param.p_engine", 100)
  value(p .. ".param.power", 100)
end

-- A gun in a new slot of the gunner: its shots fly reach_bolt and start `startFx` at the muzzle.
local function gun(slot, helper, item, startFx)
  engine_AddVar("obj.fxReachGunner.slots", slot)
  local s = "obj.fxReachGunner.slots." .. slot
  set(s .. ".helper", helper)
  set(s .. ".class", "gun")
  set(s .. ".itemType", 1)
  set(s .. ".weaponType", 0)
  engine_AddVar("items", item, "TGameItem")
  local i = "items." .. item
  set(i .. ".mesh", "laser_gun")
  set(i .. ".class", 1)
  set(i .. ".weaponType", 0)
  value(i .. ".charge", 10)
  value(i .. ".reloading", 1)
  set(i .. ".reloading.speed", 5)
  engine_AddVar(i .. ".effects", "main", "TGameObjectGunEffect")
  engine_AddVar(i .. ".effects.main.shots", "one", "TGameObjectShotEffect")
  local d = i .. ".effects.main.shots.one"
  set(d .. ".bulletType", "TGameObjectBullet")
  set(d .. ".mainFx", "reach_bolt")
  set(d .. ".startFx", startFx)
  set(d .. ".endFx", "hit_sparks")
  set(d .. ".defectFx", "reach_scorch")
  set(d .. ".helperId", "weapon")
  set(d .. ".lifetime", 3)
  engine_AddVar(d .. ".effects", "hit", "TDamageEnergy")
  set(d .. ".effects.hit.shieldDamage", 5)
  set(s .. ".item", item)
end

local guns = { "fxReachRayGun", "fxReachPointer" }
local reach = { step = "wait" }

demo.OnInit("fx_reach", function()
  makeShip("fxReachGunner", "combat_raider", "3000 -5000 2400", 100, 100)
  makeShip("fxReachHulk", "outpost_kessa", "3000 -5000 1500", 0, 1000)
end)

demo.OnTick("fx_reach", function(ms, tick)
  if reach.step == "wait" then
    if get("obj.fxReachGunner.hex") == "0" or get("obj.fxReachHulk.hex") == "0" then return end
    gun("rayGun", "gun01", "fxReachRayGun", "reach_beam")
    gun("pointer", "gun02", "fxReachPointer", "reach_cone")
    reach.hull = tonumber(get("obj.fxReachHulk.param.durability"))
    reach.step = "armed"
    trace("fxReachGunner carries a ray gun (its shots start the beam reach_beam) and a gun whose shots turn " ..
      "reach_cone towards their target; fxReachHulk has radius " ..
      math.floor(engine_GetObjRadius(get("obj.fxReachHulk.hex")) + 0.5) .. " and shield " ..
      get("obj.fxReachHulk.param.shield"))
  elseif reach.step == "armed" then
    for i = 1, table.getn(guns) do
      engine_Execute("items." .. guns[i] .. ".onStartUse", engine_GetHex("items." .. guns[i]),
        engine_GetHex("obj.fxReachHulk"))
    end
    reach.step = "fired"
    reach.since = 0
    trace("both guns fire at fxReachHulk")
  elseif reach.step == "fired" then
    if not reach.released then
      reach.released = true
      for i = 1, table.getn(guns) do
        engine_Execute("items." .. guns[i] .. ".onEndUse", engine_GetHex("items." .. guns[i]))
      end
    end
    reach.since = reach.since + ms
    local hull = tonumber(get("obj.fxReachHulk.param.durability"))
    if hull <= reach.hull - 10 then
      reach.step = "struck"
      reach.since = 0
      trace("both bolts struck fxReachHulk, its shield down: hull " .. reach.hull .. " -> " .. hull ..
        "; the scene while the beam, the turned ring and the scorch marks live:")
      engine_Dump()
    elseif reach.since > 3000 then
      reach.step = "done"
      trace("the bolts did not strike fxReachHulk: hull " .. hull)
    end
  elseif reach.step == "struck" then
    reach.since = reach.since + ms
    if reach.since >= 2500 then
      reach.step = "done"
      trace("the scene 2.5 s later, their lifetimes over:")
      engine_Dump()
    end
  end
end)
