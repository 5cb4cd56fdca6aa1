-- Physics: a fighter takes orders from the script and flies them, a raider
-- comes the other way, and the script reads back where they went: ranges
-- between the ships and the outpost, whether the fighter's nose points at the
-- outpost, and the collision when the two meet.

-- The materials of the generated models; entries that other parts define
-- are left as they are.
local shipMaterials = {
  checker = { "0", "general/checker" },
  hawk_hull = { "2001", "ships/hawk_hull" },
  raider_hull = { "2002", "ships/raider_hull" },
  ship_glass = { "2003", "ships/canopy" },
  engine_metal = { "2004", "ships/engine_metal" },
  engine_glow = { "2005", "fx/engine_glow.tga" },
  station_hull = { "2006", "station/outpost_panels" },
  solar_panel = { "2007", "station/solar_panel" },
  dock_light = { "2008", "fx/engine_glow.tga" },
}
for name, m in pairs(shipMaterials) do
  if materials[name] == nil then
    materials[name] = demo.flatMaterial(m[1], m[2])
  end
end

-- The ships' mesh descriptions: the models and their physics.
local fighterPhysics = { ph_Type = "small", ph_MaxVelocity = 400, ph_AccelerateTime = 2,
  ph_MaxRotateVelocity = 90, ph_RotateForceMultiply = 4, ph_RotateFading = 1,
  ph_MaxPitchAngle = 60, ph_StaticRotate90Time = 1, ph_MaxRollAngle = 30,
  ph_RollForceMultiply = 2, ph_RollFading = 1 }
mesh.ph_demo_hawk = { name = "Physics demo fighter", path = "models/ships/vesk_hawk.cm",
  physic_params = fighterPhysics }
mesh.ph_demo_raider = { name = "Physics demo raider", path = "models/ships/raider.cm",
  physic_params = fighterPhysics }
mesh.ph_demo_outpost = { name = "Physics demo outpost", path = "models/space/outpost_kessa.cm",
  physic_params = { ph_Type = "big" } }

local ph = { started = false, done = false, collisions = 0 }

-- Called by the fighter's collision event (tmp[2] is the other ship's object).
function physicsDemoCollision()
  ph.collisions = ph.collisions + 1
  if ph.collisions == 1 then
    demo.trace("physics: phHawk collided with object " .. tostring(tmp and tmp[2]))
  end
end

local function makeObject(name, model, position)
  engine_AddVar("obj", name, "TGameObject")
  engine_SetVar("obj." .. name .. ".SOClass", "2")
  engine_SetVar("obj." .. name .. ".position", position)
  engine_SetVar("obj." .. name .. ".spacemodel", model)
end

local function hex(name)
  return engine_GetVar("obj." .. name .. ".hex")
end

demo.OnInit("physics", function()
  makeObject("phHawk", "ph_demo_hawk", "0 0 0")
  makeObject("phRaider", "ph_demo_raider", "1500 0 0")
  makeObject("phOutpost", "ph_demo_outpost", "4000 0 0")
  engine_SetVar("obj.phHawk.events.onCollision", "physicsDemoCollision()")
end)

demo.OnTick("physics", function(ms, tick)
  if ph.done or hex("phHawk") == "0" or hex("phOutpost") == "0" then
    return
  end
  local hawk, raider, outpost = hex("phHawk"), hex("phRaider"), hex("phOutpost")
  if not ph.started then
    ph.started = true
    ph.startTick = tick
    ph.from = engine_PhRange(hawk, outpost)
    demo.trace("physics: phHawk is " .. ph.from .. " from the outpost and " ..
      engine_PhDotRangeHex(hawk, raider) .. " from phRaider")
    engine_PhSetObjParam("obj.phHawk", "ph_MaxVelocity", 500)
    engine_PhCommand("obj.phHawk", "goToPoint", "", 3000, 0, 0)
    engine_PhCommand("obj.phRaider", "GOTOPOINT", "", 0, 0, 0)
    demo.trace("physics: ordered phHawk to (3000, 0, 0) and phRaider the other way to (0, 0, 0)")
    return
  end
  if tick - ph.startTick == 20 then
    local now = engine_PhRange(hawk, outpost)
    demo.trace("physics: phHawk flew from " .. ph.from .. " to " .. now .. " from the outpost; " ..
      engine_PhDotRangeHex(hawk, raider) .. " from phRaider")
    demo.trace("physics: phHawk's nose points at the outpost: " ..
      engine_PhGunGetting(hawk, "nozzle01", "gun01", 45, outpost, ""))
    engine_PhCommand("obj.phHawk", "stop")
    engine_PhCommand("obj.phRaider", "stop", "", 0)
    demo.trace("physics: both slowing to a stop; they keep going until they meet")
    ph.done = true
  end
end)
