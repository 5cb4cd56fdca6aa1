-- Materials of the game's models, by the material names the model files use.
-- texture_technique: 20 the texture as it is, 30 lit by the system's sun,
-- 50 added to what lies behind it (glows), 80 blended by the texture's alpha.
-- The diffuse colour carries its alpha ("FFFFFF" alone reads as white with
-- alpha 0): blended materials take their opacity from the texture's alpha
-- times this one.

local function material(id, technique, texture, colour)
  return { id = id, texture_technique = technique, diffuse_color = colour or "FFFFFFFF", specular_color = "0",
           ambient_color = "FFFFFF", emissive_color = "0", power = 1,
           diffuse_map = { name = texture, mipbias = 0, mipfilter = 0, magfilter = 1, minfilter = 1 } }
end

-- What a model without a material of its own shows.
materials.checker = material("0", 20, "general/checker")

-- The sky, the sun and the planets; the planets' pictures are filtered
-- smooth, they fill much of the view when a ship turns towards them.
local function smooth(m)
  m.diffuse_map.magfilter = 2
  m.diffuse_map.minfilter = 2
  return m
end
materials.sky_vesk_space = material("2001", 20, "sky/starfield")
materials.sun_disc = material("2002", 50, "fx/sun_glow.tga")
materials.planet_vesk_prime = smooth(material("2003", 30, "planets/vesk_prime"))
materials.planet_clouds = smooth(material("2004", 80, "planets/clouds"))
materials.planet_kessa_moon = smooth(material("2005", 30, "planets/kessa_moon"))

-- Rocks, the outpost and the jump gate.
materials.asteroid_rock = material("2006", 30, "asteroids/rock")
materials.station_hull = material("2007", 30, "station/outpost_panels")
materials.solar_panel = material("2008", 30, "station/solar_panel")
materials.dock_light = material("2009", 50, "fx/engine_glow.tga")
materials.ring_window = material("2017", 50, "fx/engine_glow.tga")
materials.gate_frame = material("2015", 30, "station/outpost_panels")
materials.gate_field = material("2016", 80, "fx/shield")

-- Ships and what hangs on them.
materials.hawk_hull = material("2011", 30, "ships/hawk_hull")
materials.raider_hull = material("2010", 30, "ships/raider_hull")
materials.engine_metal = material("2012", 30, "ships/engine_metal")
materials.engine_glow = material("2013", 50, "fx/engine_glow.tga")
materials.ship_glass = material("2014", 80, "ships/canopy")
materials.rocket_body = material("2018", 30, "ships/engine_metal")
materials.cockpit_frame = material("2019", 30, "ships/engine_metal")
materials.cockpit_panel = material("2020", 20, "interface/panel")
materials.gun_metal = material("2021", 30, "ships/engine_metal")
materials.gun_emitter = material("2022", 50, "fx/engine_glow.tga")

-- What the effects' shared renderers draw with: the texture times the
-- particle's colour added to the scene (60), or blended by its alpha (80).
local function sprite(id, technique)
  return { id = id, texture_technique = technique, diffuse_color = "FFFFFF", specular_color = "0",
           ambient_color = "0", emissive_color = "0", power = 0,
           diffuse_map = { mipbias = 0, mipfilter = 0, magfilter = 2, minfilter = 2 } }
end
materials.SpritesRenderer_fx_burst = sprite("3001", 60)
materials.SpritesRenderer_fx_lamp = sprite("3002", 60)
materials.SpritesRenderer_fx_smoke_blend = sprite("3003", 60)
materials.SpritesRenderer_fx_smoke_alpha = sprite("3004", 80)
materials.fx_jet = sprite("3005", 60)
materials.fx_bullet = sprite("3006", 60)
materials.fx_laser = sprite("3007", 60)
materials.fx_defect = sprite("3008", 80)

-- The effects' own models.
local function effectModel(id, technique, texture)
  local m = sprite(id, technique)
  m.ambient_color = "FFFFFF"
  m.diffuse_map.name = texture
  return m
end
materials.fx_shield_hit = effectModel("3009", 60, "fx/shield")
materials.fx_sphere = effectModel("3010", 80, "fx/shield")
materials.fx_shockwave = effectModel("3011", 60, "fx/engine_glow.tga")
