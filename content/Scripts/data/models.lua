-- Mesh descriptions: what the engine builds a ship, a station, a rock or a
-- gun from. "path" is the model's folder and "name" its file (without ".cm");
-- physic_params are the ship's handling, nozzles its engine jets (by the
-- model's helpers), shield the effect a hit on its shield shows.

-- How fighters fly: speeds in units a second, angles in degrees.
local fighter = { ph_Type = "small", ph_MaxVelocity = 420, ph_AccelerateTime = 2, ph_MaxRotateVelocity = 110,
                  ph_RotateForceMultiply = 4, ph_RotateFading = 1, ph_MaxPitchAngle = 60, ph_StaticRotate90Time = 1,
                  ph_MaxRollAngle = 35, ph_RollForceMultiply = 2, ph_RollFading = 1 }

local function copy(t, changes)
  local out = {}
  for k, v in pairs(t) do out[k] = v end
  for k, v in pairs(changes or {}) do out[k] = v end
  return out
end

local function nozzle(helper, effect, colour)
  return { helper_name = helper, fx_name = effect, size = 3, texture = "fx/engine_glow.tga", color = colour,
           percents = 20, frequency = 3 }
end

-- What a destroyed fighter leaves: its explosion, the smoke of it, and two
-- torn pieces of hull that drift off (entries with a "mesh" are debris; every
-- entry names an effect). The wreck is gone when the longest has had its time.
local function wreckage(debris)
  local fx = { { fx = "explosion", time = 1.6 }, { fx = "explosion_smoke", time = 3 } }
  if debris then
    for i = 1, 2 do table.insert(fx, { fx = "explosion_smoke", mesh = debris, time = 3, lifetime = 3 }) end
  end
  return fx
end

-- The player's fighter, the Vesk Hawk.
mesh.hawk = { name = "vesk_hawk", path = "models/ships", icon = "ship", mapMarker = "ship",
  shield = "shield_hit", destroyFx = wreckage(),
  physic_params = fighter,
  nozzles = { nozzle("nozzle01", "jet_hawk", "FF80C0FF"), nozzle("nozzle02", "jet_hawk", "FF80C0FF") } }

-- The pirates' raider: a little slower, a little quicker to turn.
mesh.raider = { name = "raider", path = "models/ships", icon = "ship", mapMarker = "enemy",
  shield = "shield_hit", destroyFx = wreckage("raider_debris"),
  physic_params = copy(fighter, { ph_MaxVelocity = 340, ph_MaxRotateVelocity = 90 }),
  nozzles = { nozzle("nozzle01", "jet_raider", "FFFF9040"), nozzle("nozzle02", "jet_raider", "FFFF9040"),
              nozzle("nozzle03", "jet_raider", "FFFF9040") } }

-- The Kessa outpost with its turning ring; rocks; the jump gate.
mesh.outpost_kessa = { name = "outpost_kessa", path = "models/space", physic_params = { ph_Type = "big" },
  cylinders = { { mesh = "outpost_ring", type = "x", frequency = 0.05, onship_object = "ring_mount" } } }
mesh.outpost_ring = { name = "outpost_ring", path = "models/space" }
mesh.asteroid_a = { name = "asteroid_a", path = "models/space", physic_params = { ph_Type = "big" } }
mesh.asteroid_b = { name = "asteroid_b", path = "models/space", physic_params = { ph_Type = "big" } }
mesh.asteroid_c = { name = "asteroid_c", path = "models/space", physic_params = { ph_Type = "big" } }
mesh.jump_gate = { name = "jump_gate", path = "models/space", physic_params = { ph_Type = "big" } }

-- Guns and what they are: the unit an item of that mesh becomes.
mesh.laser_gun = mesh.laser_gun or { name = "laser_gun", path = "models/weapons" }
mesh.plasma_gun = { name = "plasma_gun", path = "models/weapons" }
mesh.rocket_pod = { name = "rocket_pod", path = "models/weapons" }
mesh.rocket_hornet = { name = "rocket_hornet", path = "models/ships" }
-- A torn piece of a raider's hull: it tumbles off slowly, as a container drifts.
mesh.raider_debris = { name = "raider_debris", path = "models/ships",
  physic_params = { ph_Type = "container", ph_MaxVelocity = 45, ph_AccelerateTime = 4, ph_MaxRotateVelocity = 120 } }
mesh.hawk_cockpit = { name = "hawk_cockpit", path = "models/ships" }
gunmodel = gunmodel or {}
gunmodel.laser_gun = gunmodel.laser_gun or { type = "gun" }
gunmodel.laser_gun.mesh = "laser_gun"
gunmodel.plasma_gun = { mesh = "plasma_gun", type = "gun" }
gunmodel.rocket_pod = { mesh = "rocket_pod", type = "gun" }
gunmodel.hawk_cockpit = { mesh = "hawk_cockpit", type = "cockpit" }
