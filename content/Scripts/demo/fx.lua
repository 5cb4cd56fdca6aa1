-- The demo's visual effects: the "fx" table of effect templates, the library
-- loaded through engine_ReloadFx, and effect objects and timers made in the
-- game-object tree.

-- The materials the effects' shared renderers draw with and the effects'
-- own models are the game's (Scripts/data/materials.lua and effects.lua).

-- The templates. Every entry sits under its own id.
fx.fx_simple_lamp = { id = "fx_simple_lamp", type = "particle", texture = "fx/engine_glow.tga" }
fx.fx_testsphere = { id = "fx_testsphere", type = "sphere", mesh = "fx_sphere", r = "1", color = "00FF00",
                     opacity = "0.35" }
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

fx.demo_laser_sound = { id = "demo_laser_sound", type = "sound", name = "sounds/laser_shot.wav",
                        minrange = "50", maxrange = "3000" }
fx.demo_hum = { id = "demo_hum", type = "sound", name = "sounds/engine_hum.wav", loop = "1", priority = "2" }
fx.demo_laser = { id = "demo_laser", type = "laser", lifetime = "0.6", color = "FFFF4040", thickness = "3",
                  sounds = { { id = "demo_laser_sound" } }, bursts = { { id = "demo_burst", size = 1 } } }
fx.demo_glow = { id = "demo_glow", type = "glow", size = "12", color = "60C0FF", texture = "fx/engine_glow.tga" }
fx.demo_shield_sound = { id = "demo_shield_sound", type = "sound", name = "sounds/shield_hit.wav" }
fx.demo_shield = { id = "demo_shield", type = "shield", mesh = "fx_shield_hit", gloweffect = "demo_glow",
                   intensity_keys = { { percents = 0, intensity = 0 }, { percents = 30, intensity = 1 },
                                      { percents = 100, intensity = 0 } },
                   sounds = { { id = "demo_shield_sound" } } }
fx.demo_trail = { id = "demo_trail", type = "smoke_alpha", vmin = "1", vmax = "4", MaxSize = "6", MinSize = "3",
                  MaxLifeTime = "2", MinLifeTime = "1", particleID = "demo_puff", color = "A0909090",
                  color2 = "00606060", friction = "20", frequency = "20" }
fx.demo_shockwave = { id = "demo_shockwave", type = "mesh", LifeTime = "1.5", meshname = "fx_shockwave" }
fx.demo_pointer = { id = "demo_pointer", type = "directed_mesh", LifeTime = "2", meshname = "fx_shockwave" }
fx.demo_scorch = { id = "demo_scorch", type = "defect", texture = "fx/scorch.tga", LifeTime = "8", SpawnTime = "0.3",
                   size = "4", color = "FF402010", color2 = "00000000" }
fx.demo_gate = { id = "demo_gate", type = "portal", mesh = "jump_gate", t1 = "25", t2 = "75" }

local order = { "fx_simple_lamp", "fx_testsphere", "demo_spark", "demo_puff", "demo_burst", "demo_smoke",
                "demo_jet", "demo_bullet", "demo_laser_sound", "demo_hum", "demo_laser", "demo_glow",
                "demo_shield_sound", "demo_shield", "demo_trail", "demo_shockwave", "demo_pointer",
                "demo_scorch", "demo_gate" }

-- A game object of the "obj" list that stands in the scene (it has a render unit), if any.
local function objectWithUnit()
  local names = engine_GetTable("obj")
  if type(names) ~= "string" then return nil end
  for name in string.gfind(names, "%[%[(.-)%]%]") do
    -- Triggers stand in the scene too, but have no model to show effects on;
    -- planets (class 10) are part of the sky, not objects to hit.
    if engine_IsVar("obj." .. name .. ".spacemodel") == 1 and engine_GetVar("obj." .. name .. ".SOClass") ~= "10" then
      local hex = engine_GetVar("obj." .. name .. ".hex")
      if hex and hex ~= "" and hex ~= "0" then return name end
    end
  end
  return nil
end

-- Effects shown at a scene object through effect objects, each followed until it ends.
-- A smoke trail and a looping sound are stopped by the script; the others end by themselves.
-- A shield hit needs a ship (an object with a space model is built as one)
-- whose shield is up.
local shows = {
  { name = "blast", fx = "demo_burst", what = "burst" },
  { name = "trail", fx = "demo_trail", what = "smoke trail", stopAfter = 10 },
  { name = "hum", fx = "demo_hum", what = "engine hum", stopAfter = 10,
    idle = "no sound effect is made while sound is off" },
  { name = "wave", fx = "demo_shockwave", what = "shockwave" },
  { name = "shieldHit", fx = "demo_shield", what = "shield hit", ship = true },
}
local carrier = nil -- the scene object they are shown at
local waitLogged = false

local function hexOf(show)
  local hex = engine_GetVar("fxDemo." .. show.name .. ".hex")
  if hex == nil or hex == "" then return "0" end
  return hex
end

local function follow(show, tick)
  local hex = hexOf(show)
  if show.state == "made" then
    if hex ~= "0" then
      show.state = "running"
      show.since = tick
      demo.trace("fx: " .. show.what .. " running as unit " .. hex)
    elseif tick > show.made + 2 then
      show.state = "done"
      demo.trace("fx: " .. show.what .. " made no unit: " .. (show.idle or "its spawn gave none"))
    end
  elseif show.state == "running" then
    if hex == "0" then
      show.state = "done"
      demo.trace("fx: " .. show.what .. " ended by itself")
    elseif show.stopAfter and tick >= show.since + show.stopAfter then
      show.state = "stopping"
      -- The effect functions take ids in hexadecimal digits.
      engine_ModifyVEffect(string.format("%X", tonumber(hex)), "KillEffect", "")
      demo.trace("fx: " .. show.what .. " told to stop")
    end
  elseif show.state == "stopping" and hex == "0" then
    show.state = "done"
    demo.trace("fx: " .. show.what .. " gone")
  end
end

demo.OnInit("fx", function()
  engine_ReloadFx()
  for i = 1, table.getn(order) do
    local id = order[i]
    if fx[id].hex then
      demo.trace("fx: template " .. id .. " (" .. fx[id].type .. ") hex " .. fx[id].hex)
    else
      demo.trace("fx: template " .. id .. " (" .. fx[id].type .. ") made no template")
    end
  end
  -- Which kinds a script can show itself: the rest come from their owners.
  demo.trace("fx: bursts, smoke, sounds and meshes are shown at scene objects through effect objects")
  demo.trace("fx: lasers, hit marks and directed meshes come from weapons and their hits (so do shield hits, shown here too), "
             .. "test spheres from the physics; portals open at a unit's helper through effect objects too "
             .. "(the mission opens the outpost's gate)")

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
  -- Once a game object stands in the scene, the effects are shown at it through effect objects.
  if not carrier then
    carrier = objectWithUnit()
    if not carrier then
      if tick == 3 and not waitLogged then
        waitLogged = true
        demo.trace("fx: no scene object stands in the scene yet: the shows wait for one")
      end
      return
    end
    local isShip = engine_GetVar("obj." .. carrier .. ".spacemodel") ~= ""
    for i = 1, table.getn(shows) do
      local show = shows[i]
      if show.ship and not isShip then
        show.state = "done"
        demo.trace("fx: " .. show.what .. " not shown: " .. carrier .. " is no ship")
      else
        if show.ship and tonumber(engine_GetVar("obj." .. carrier .. ".param.shield")) <= 0 then
          -- A shield shows only while it is up: the carrier gets one.
          engine_SetVar("obj." .. carrier .. ".param.shield.max", "100")
          engine_SetVar("obj." .. carrier .. ".param.shield", "100")
        end
        engine_AddVar("fxDemo", show.name, "TGameObjectFx")
        engine_SetVar("fxDemo." .. show.name .. ".fxId", show.fx)
        engine_SetVar("fxDemo." .. show.name .. ".objId", carrier)
        show.state = "made"
        show.made = tick
        demo.trace("fx: " .. show.what .. " shown at " .. carrier)
      end
    end
    return
  end
  for i = 1, table.getn(shows) do follow(shows[i], tick) end
end)
