-- Ships, items and damage: two game objects built from their mesh
-- descriptions, a gun carried in a cargo hold and moved into a slot, and hits
-- of every damage kind on the target, with its shield, armour and hull logged.

-- Mesh descriptions, read by the engine on first use.
-- (The models are the content generator's.)
mesh.vesk_hawk = mesh.vesk_hawk or {
  name = "Vesk Hawk",
  path = "models/ships/vesk_hawk.cm",
  mapMarker = "ship",
  physic_params = { ph_MaxVelocity = 250, ph_AccelerateTime = 4, ph_Type = "ship" },
}
mesh.laser_gun = mesh.laser_gun or { name = "Laser gun", path = "models/weapons/laser_gun.cm" }

-- The kinds of the gun models: what unit an item of that mesh becomes.
gunmodel = gunmodel or {}
gunmodel.laser_gun = gunmodel.laser_gun or { type = "gun" }

-- The engine reads a description through updateMeshToEngine (Scripts/demo/ships.lua).

local set, value = demo.set, demo.value

-- A value parameter with its maximum and current value.
local function makeShip(name, shield, armor, hull)
  engine_AddVar("obj", name, "TGameObject")
  local p = "obj." .. name
  set(p .. ".SOClass", 2)
  set(p .. ".spacemodel", "vesk_hawk")
  value(p .. ".param.shield", shield)
  value(p .. ".param.armor", armor)
  value(p .. ".param.durability", hull)
  value(p .. ".param.temperature", 200, 0)
  value(p .. ".param.defencefactor", 100)
  value(p .. ".param.power", 100)
  value(p .. ".param.capacity", 50, 0)
  value(p .. ".param.p_engine", 100)
end

local function status(name)
  local p = "obj." .. name .. ".param."
  return "shield=" .. engine_GetVar(p .. "shield") .. " armor=" .. engine_GetVar(p .. "armor") ..
    " hull=" .. engine_GetVar(p .. "durability")
end

-- One hit of a damage kind on the target, taken from the kind's pool.
local hits = 0
local function hit(kind, amounts)
  hits = hits + 1
  local name = "hit" .. hits
  local p = "obj.demoTarget.effects." .. name
  engine_AddCashedVar("obj.demoTarget.effects", name, kind)
  for k, v in pairs(amounts) do
    set(p .. "." .. k, v)
  end
  engine_Execute(p .. ".events.onEnable", engine_GetHex(p), engine_GetHex("obj.demoTarget"))
  demo.trace("items: " .. kind .. " -> " .. status("demoTarget"))
end

demo.OnInit("items", function()
  set("bal.maxOverheatValue", 150)
  makeShip("demoShip", 60, 40, 100)
  makeShip("demoTarget", 50, 40, 100)
  engine_AddVar("items", "demoGun", "TGameItem")
  set("items.demoGun.mesh", "laser_gun")
  set("items.demoGun.class", 1)
  set("items.demoGun.group", "energy")
  set("items.demoGun.energyTake", 10)
  set("items.demoGun.mass", 5)
  value("items.demoGun.charge", 10)
  engine_AddVar("obj.demoShip.cargo", "hold1")
  engine_AddVar("obj.demoShip.slots", "gunSlot")
  set("obj.demoShip.slots.gunSlot.helper", "gun01")
  set("obj.demoShip.slots.gunSlot.class", "gun")
  set("obj.demoShip.slots.gunSlot.itemType", 1)
  demo.trace("items: ships and a gun made, " .. status("demoTarget"))
end)

demo.OnTick("items", function(ms, tick)
  if tick == 1 then
    demo.trace("items: demoShip mesh=" .. engine_GetVar("obj.demoShip.mesh") .. " model=" ..
      engine_GetVar("mesh.vesk_hawk.path") .. " maxVelocity=" ..
      engine_GetVar("mesh.vesk_hawk.physic_params.ph_MaxVelocity"))
    set("obj.demoShip.cargo.hold1", "demoGun")
  elseif tick == 2 then
    demo.trace("items: hold1 carries " .. engine_GetVar("obj.demoShip.cargo.hold1"))
    -- From the hold into the slot: the slot binds to its attach point first.
    set("obj.demoShip.slots.gunSlot.item", "demoGun")
  elseif tick == 3 then
    demo.trace("items: gunSlot holds " .. engine_GetVar("obj.demoShip.slots.gunSlot.item") ..
      ", hold1 carries '" .. engine_GetVar("obj.demoShip.cargo.hold1") .. "'")
    -- The gun's own unit: a cannon built by the world.
    engine_Execute("items.demoGun.onLoadItem")
    demo.trace("items: demoGun unit=" .. engine_GetVar("items.demoGun.hex"))
  elseif tick == 4 then
    hit("TDamageEnergy", { shieldDamage = 30, damage = 5 })
    hit("TDamageKinetic", { armorDamage = 25, damage = 5 })
    hit("TDamageEMP", { shieldDamage = 20 })
    hit("TDamageEffect", { shieldDamage = 10, armorDamage = 10, damage = 10 })
    hit("TDamageRocket", { shieldDamage = 5, armorDamage = 30, damage = 10 })
    hit("TDamageDark", { damage = 5 })
    hit("TDamageNano", { damage = 4, time = 1 })
    hit("TDamageGravity", { speedDamage = 30, time = 1 })
    demo.trace("items: engine power " .. engine_GetVar("obj.demoTarget.param.p_engine"))
    -- The attacker runs hot.
    set("obj.demoShip.param.temperature", 180)
  elseif tick == 5 then
    demo.trace("items: demoShip overheat=" .. engine_GetVar("obj.demoShip.overheat"))
  elseif tick == 20 then
    -- The nano damage has run its second; the engine power is back.
    demo.trace("items: after timed damage " .. status("demoTarget") .. " engine power " ..
      engine_GetVar("obj.demoTarget.param.p_engine") .. " destroyed=" ..
      engine_GetVar("obj.demoTarget.isDestroyed"))
  elseif tick == 21 then
    -- Saved and read back: the file runs as data in the engine's data environment.
    engine_SaveToFile("obj.demoTarget", "logs/demo_target.lua")
    set("obj.demoTarget.param.durability", 1)
    engine_LoadFromFile("obj.demoTarget", "logs/demo_target.lua")
    demo.trace("items: saved and loaded back " .. status("demoTarget"))
  end
end)
