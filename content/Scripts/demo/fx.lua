-- The demo's visual effects: the "fx" table of effect templates, the
-- materials their shared renderers draw with, the library loaded through
-- engine_ReloadFx, and effect objects and timers made in the game-object tree.

-- The number of entries of a table (the engine's readers ask for it).
if not length then
  function length(t)
    if t == nil then return 0 end
    local n = 0
    for _ in pairs(t) do n = n + 1 end
    return n
  end
end

-- The keys of a content table, each followed by "^" (the engine's loaders ask for it).
if not GetGameTable then
  function GetGameTable(name)
    local s = ""
    local t = _G[name]
    if type(t) ~= "table" then return s end
    for k in pairs(t) do s = s .. k .. "^" end
    return s
  end
end

-- Sprite materials: the texture times the particle's colour, added to the
-- scene (technique 60), or blended by its alpha (technique 80).
local function spriteMaterial(id, technique)
  return { id = id, texture_technique = technique, diffuse_color = "FFFFFF", specular_color = "0",
           ambient_color = "0", emissive_color = "0", power = 0,
           diffuse_map = { mipbias = 0, mipfilter = 0, magfilter = 2, minfilter = 2 } }
end
if not materials.checker then
  materials.checker = spriteMaterial("0", 60)
end
materials.SpritesRenderer_fx_burst = spriteMaterial("3001", 60)
materials.SpritesRenderer_fx_lamp = spriteMaterial("3002", 60)
materials.SpritesRenderer_fx_smoke_blend = spriteMaterial("3003", 60)
materials.SpritesRenderer_fx_smoke_alpha = spriteMaterial("3004", 80)
materials.fx_jet = spriteMaterial("3005", 60)
materials.fx_bullet = spriteMaterial("3006", 60)

-- The templates. Every entry sits under its own id.
fx.fx_simple_lamp = { id = "fx_simple_lamp", type = "particle", texture = "fx/engine_glow.tga" }
fx.fx_testsphere = { id = "fx_testsphere", type = "sphere" }
fx.demo_spark = { id = "demo_spark", type = "particle", texture = "fx/spark.tga", StartSize = "1", EndSize = "0.2" }
fx.demo_puff = { id = "demo_puff", type = "particle_alpha", texture = "fx/smoke.dds", StartSize = "1", EndSize = "3" }
fx.demo_burst = { id = "demo_burst", type = "burst", numParticles = "24", vmin = "20", vmax = "60",
                  MaxSize = "6", MinSize = "2", MaxLifeTime = "1.2", MinLifeTime = "0.6",
                  particleID = "demo_spark", color = "FFFFC060", color2 = "00FF2000", friction = "30" }
fx.demo_smoke = { id = "demo_smoke", type = "burst", numParticles = "6", vmin = "2", vmax = "6",
                  MaxSize = "8", MinSize = "4", MaxLifeTime = "2", MinLifeTime = "1",
                  particleID = "demo_puff", color = "C0808080", friction = "10", notattached = "1" }
fx.demo_jet = { id = "demo_jet", type = "nozzlejet", lifetime = "0.8", color = "C080C0FF",
                texture = "fx/engine_glow.tga", thickness = "6", spawntimer_sec = "0.05" }
fx.demo_bullet = { id = "demo_bullet", type = "bullet", velocity = "900", lifetime = "1.5", len = "40",
                   rnd_length_from = "0.8", rnd_length_to = "1.2", color = "FFFFE080", texture = "fx/spark.tga",
                   bursts = { { id = "demo_burst", size = 2 } } }

local order = { "fx_simple_lamp", "fx_testsphere", "demo_spark", "demo_puff", "demo_burst", "demo_smoke",
                "demo_jet", "demo_bullet" }

-- A game object of the "obj" list that stands in the scene (it has a render unit), if any.
local function objectWithUnit()
  local names = engine_GetTable("obj")
  if type(names) ~= "string" then return nil end
  for name in string.gfind(names, "%[%[(.-)%]%]") do
    local hex = engine_GetVar("obj." .. name .. ".hex")
    if hex and hex ~= "" and hex ~= "0" then return name end
  end
  return nil
end

local shown = nil     -- the effect object whose burst runs
local burstSeen = false

demo.OnInit("fx", function()
  engine_ReloadFx()
  for i = 1, table.getn(order) do
    local id = order[i]
    if fx[id].hex then
      demo.trace("fx: template " .. id .. " (" .. fx[id].type .. ") hex " .. fx[id].hex)
    else
      demo.trace("fx: template " .. id .. " (" .. fx[id].type .. ") not in this build")
    end
  end

  -- A timer: ends after half a second of game time, fires its end and goes.
  engine_AddVar("", "fxDemo", "TBaseGameObjectList")
  engine_AddVar("fxDemo", "timerDone", "TGameEvent")
  engine_SetVar("fxDemo.timerDone", "demo.trace('fx: timer called its object')")
  engine_AddVar("fxDemo", "timer", "TGameTimeEffect")
  engine_SetVar("fxDemo.timer.timeMax", "0.5")
  engine_SetVar("fxDemo.timer.funcLink", engine_GetHex("fxDemo.timerDone"))
  engine_SetVar("fxDemo.timer.events.onEndTime", "demo.trace('fx: timer ended')")

  -- An effect object without a carrier unit stays without an effect.
  engine_AddVar("fxDemo", "idle", "TGameObjectFx")
  engine_SetVar("fxDemo.idle.fxId", "demo_burst")
end)

demo.OnTick("fx", function(ms, tick)
  if tick == 2 then
    demo.trace("fx: effect object without a carrier has hex " .. tostring(engine_GetVar("fxDemo.idle.hex")))
  end
  -- Once a game object stands in the scene, a burst is shown at it through an effect object.
  if not shown then
    local name = objectWithUnit()
    if name then
      engine_AddVar("fxDemo", "blast", "TGameObjectFx")
      engine_SetVar("fxDemo.blast.fxId", "demo_burst")
      engine_SetVar("fxDemo.blast.objId", name)
      shown = name
      demo.trace("fx: burst shown at " .. name)
    end
  elseif not burstSeen then
    local hex = engine_GetVar("fxDemo.blast.hex")
    if hex and hex ~= "0" and hex ~= "" then
      burstSeen = true
      demo.trace("fx: burst running as unit " .. hex)
    end
  elseif engine_GetVar("fxDemo.blast.hex") == "0" then
    demo.trace("fx: burst ended, its particles gone")
    shown = "done"
  end
end)
