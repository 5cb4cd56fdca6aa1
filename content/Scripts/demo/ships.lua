-- Ships: a fighter built from its model and mesh description with its engine
-- nozzles, a gun, a turret and two wings hung in its slots; an outpost with a
-- turning ring and two ray guns; and the engine functions that act on ships
-- (afterburner, turret limits, a model made known ahead of use, a ship built
-- anew from another model).

-- The materials of the gun and ring models (the hull materials come with the physics demo).
materials.gun_metal = materials.gun_metal or demo.flatMaterial("2009", "ships/engine_metal")
materials.gun_emitter = materials.gun_emitter or demo.flatMaterial("2010", "fx/engine_glow.tga")
materials.ring_window = materials.ring_window or demo.flatMaterial("2011", "fx/engine_glow.tga")

-- ---- mesh descriptions --------------------------------------------------------------------

local function nozzle(helper, fx, color)
  return { helper_name = helper, fx_name = fx, size = 8, texture = "fx/engine_glow.tga", color = color,
           percents = 20, frequency = 3 }
end

mesh.ships_hawk = {
  name = "vesk_hawk", path = "models/ships",
  physic_params = { ph_Type = "small", ph_MaxVelocity = 300, ph_AccelerateTime = 3 },
  nozzles = { nozzle("nozzle01", "demo_jet", "FF80C0FF"), nozzle("nozzle02", "demo_jet", "FF80C0FF") },
}
mesh.ships_raider = {
  name = "raider", path = "models/ships",
  physic_params = { ph_Type = "small", ph_MaxVelocity = 280 },
  nozzles = { nozzle("nozzle01", "demo_jet", "FFFF8040") },
}
mesh.ships_outpost = {
  name = "outpost_kessa", path = "models/space",
  physic_params = { ph_Type = "big" },
  cylinders = { { mesh = "outpost_ring", type = "x", frequency = 0.05, onship_object = "ring_mount" } },
  rays = { main = { "mesh:laser_gun01", "mesh:laser_gun02" } },
}
mesh.outpost_ring = { name = "outpost_ring", path = "models/space" }
mesh.laser_gun = mesh.laser_gun or { name = "laser_gun", path = "models/weapons" }
mesh.laser_gun.kwsubobjects = { "cannon" }
mesh.flak_turret = { name = "flak_turret", path = "models/weapons" }
mesh.wing_fin = { name = "wing_fin", path = "models/ships", nozzles = { nozzle("nozzle01", "demo_jet", "") } }

-- The kinds of the gun models: what unit an item of that mesh becomes.
gunmodel = gunmodel or {}
gunmodel.laser_gun = gunmodel.laser_gun or { type = "gun" }
gunmodel.laser_gun.mesh = "laser_gun"
gunmodel.flak_turret = { mesh = "flak_turret", type = "turret",
  physic_params = { TurretRotV = 90, BurrelRotV = 60, RighTurretAngle = 150, LefTurretAngle = -150,
                    UpBurrelAngle = 70, DownBurrelAngle = "" } }
gunmodel.wing_fin = { mesh = "wing_fin", type = "wing" }

-- The engine reads a description on its first use: the scalar keys it knows,
-- the physics parameters, and the lists (nozzles, rings, flares, destruction
-- effects, helper effects and ray groups) entry by entry. Keys only the scripts read (such as
-- kwsubobjects) stay in the Lua table.
local meshScalars = { name = 1, path = 1, shield = 1, icon = 1, mapMarker = 1, defect = 1,
                      dont_use_mesh = 1, defectSizeMultiplier = 1, BSPhereSubdivide = 1 }
local meshLists = { nozzles = "TGameMeshNozzle", cylinders = "TGameMeshCilinder", flares = "TGameMeshFlare" }

local function setAll(path, t)
  for k, v in pairs(t) do
    if type(v) ~= "table" then
      engine_SetVar(path .. "." .. k, tostring(v))
    end
  end
end

function updateMeshToEngine(name)
  local m = mesh[name]
  if m == nil then
    return
  end
  local p = "mesh." .. name
  engine_AddVar("mesh", name, "TGameMesh")
  for k, v in pairs(m) do
    if meshScalars[k] and type(v) ~= "table" then
      engine_SetVar(p .. "." .. k, tostring(v))
    end
  end
  if type(m.physic_params) == "table" then
    setAll(p .. ".physic_params", m.physic_params)
  end
  for key, class in pairs(meshLists) do
    if type(m[key]) == "table" then
      for i = 1, table.getn(m[key]) do
        engine_AddVar(p .. "." .. key, tostring(i), class)
        setAll(p .. "." .. key .. "." .. i, m[key][i])
      end
    end
  end
  -- What a destroyed object of the model leaves: an entry with a "mesh" is a
  -- piece of debris, the others are explosions.
  if type(m.destroyFx) == "table" then
    for i = 1, table.getn(m.destroyFx) do
      local e = m.destroyFx[i]
      engine_AddVar(p .. ".destroyFx", tostring(i), e.mesh and "TDestroyFxAbandonedLink" or "TDestroyFxLink")
      setAll(p .. ".destroyFx." .. i, e)
    end
  end
  if type(m.helpersound) == "table" then
    for i = 1, table.getn(m.helpersound) do
      engine_AddVar(p .. ".helpersound", tostring(i), "TGameObjectStringParam")
      engine_SetVar(p .. ".helpersound." .. i, m.helpersound[i])
    end
  end
  if type(m.rays) == "table" then
    for group, entries in pairs(m.rays) do
      engine_AddVar(p .. ".rays", group, "TBaseGameObjectList")
      for i = 1, table.getn(entries) do
        engine_AddVar(p .. ".rays." .. group, tostring(i), "TGameObjectStringParam")
        engine_SetVar(p .. ".rays." .. group .. "." .. i, entries[i])
      end
    end
  end
end

-- ---- the fighter, its parts and the outpost ----------------------------------------------

local set = demo.set

local function makeObject(name, model, position)
  engine_AddVar("obj", name, "TGameObject")
  set("obj." .. name .. ".SOClass", 2)
  set("obj." .. name .. ".position", position)
  set("obj." .. name .. ".spacemodel", model)
end

-- A slot on the ship at its model's attach point, for items of that kind.
local function makeSlot(ship, slot, helper, kind)
  engine_AddVar("obj." .. ship .. ".slots", slot)
  local p = "obj." .. ship .. ".slots." .. slot
  set(p .. ".helper", helper)
  set(p .. ".class", kind)
  set(p .. ".itemType", 1)
end

local function makeItem(name, meshName)
  engine_AddVar("items", name, "TGameItem")
  set("items." .. name .. ".mesh", meshName)
  set("items." .. name .. ".class", 1)
end

local parts = {
  { item = "shipsGun", mesh = "laser_gun", slot = "gun", helper = "gun01", kind = "gun" },
  { item = "shipsTurret", mesh = "flak_turret", slot = "turret", helper = "rocket01", kind = "turret" },
  { item = "shipsWingL", mesh = "wing_fin", slot = "wingL", helper = "wing_l", kind = "wing" },
  { item = "shipsWingR", mesh = "wing_fin", slot = "wingR", helper = "wing_r", kind = "wing" },
}

local function hex(path)
  local h = engine_GetVar(path)
  if h == nil or h == "" then return "0" end
  return h
end

demo.OnInit("ships", function()
  demo.trace("ships: model ships_hawk known: " .. engine_RegistryModel("ships_hawk"))
  makeObject("shipsHawk", "ships_hawk", "0 0 -400")
  makeObject("shipsRaider", "ships_raider", "600 300 -400")
  makeObject("shipsOutpost", "ships_outpost", "-2500 0 -400")
  for i = 1, table.getn(parts) do
    local part = parts[i]
    makeItem(part.item, part.mesh)
    makeSlot("shipsHawk", part.slot, part.helper, part.kind)
  end
end)

demo.OnTick("ships", function(ms, tick)
  if tick == 1 then
    demo.trace("ships: shipsHawk unit " .. hex("obj.shipsHawk.hex") .. ", outpost unit " ..
      hex("obj.shipsOutpost.hex"))
    -- Each item into its slot: the slot finds its attach point on the ship's
    -- model and the item's unit (cannon, turret, wing) is built and hung there.
    for i = 1, table.getn(parts) do
      local part = parts[i]
      set("obj.shipsHawk.slots." .. part.slot .. ".item", part.item)
    end
  elseif tick == 2 then
    for i = 1, table.getn(parts) do
      local part = parts[i]
      local p = "obj.shipsHawk.slots." .. part.slot
      demo.trace("ships: slot " .. part.slot .. " at " .. part.helper .. " bound=" ..
        tostring(hex(p .. ".helperHex") ~= "0") .. " holds " .. engine_GetVar(p .. ".item") ..
        " unit=" .. tostring(hex("items." .. part.item .. ".hex") ~= "0"))
    end
    -- The turret's limits: rotation speeds and angles in degrees, an empty one keeps its value.
    engine_SetTurretParams(hex("items.shipsTurret.hex"), 120, "", 100, -100, 45, "")
    demo.trace("ships: turret limits set")
    engine_onObjForsage(hex("obj.shipsHawk.hex"), 600)
    demo.trace("ships: shipsHawk afterburner on")
  elseif tick == 4 then
    engine_offObjForsage(hex("obj.shipsHawk.hex"))
    demo.trace("ships: shipsHawk afterburner off")
    -- The raider is built anew as a fighter: its unit stays, its model changes.
    local before = hex("obj.shipsRaider.hex")
    engine_ChangeObjMesh("shipsRaider", "ships_hawk")
    demo.trace("ships: shipsRaider rebuilt as ships_hawk, same unit " ..
      tostring(before == hex("obj.shipsRaider.hex")))
    demo.trace("ships: gun item shipsGun unit " .. tostring(hex("items.shipsGun.hex") ~= "0") ..
      ", demo gun of the items demo unit " .. tostring(hex("items.demoGun.hex") ~= "0"))
  end
end)
