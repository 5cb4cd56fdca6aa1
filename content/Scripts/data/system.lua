-- The Vesk system: its model (planets, the sun, where the locations lie), its
-- sky and dust, and its locations. Space-object patterns are the kinds of
-- object a location's "gen:" helpers make.

spacemodel = spacemodel or {}
-- The environment model and the ambient light of the system's scene.
spacemodel.vesk_system = { environment = "models/space/vesk_env", ambient = "FF282830" }
-- How fast the planets and their clouds turn (degrees a second).
spacemodel.vesk_prime = { spin = 0.4, atmosphereSpin = 0.9 }
spacemodel.kessa_moon = { spin = 0.2 }

-- The dust that streaks past a moving ship.
mesh.vesk_space = { DustParticles = { DustLen = 15, BaseColor = "FF707890", DecayConstant = 4000,
                                      LenghDecayConstant = 1500 } }

systems = {
  vesk = {
    mesh = "models/space/vesk_system",
    minimap = "interface/radar.tga",
    -- The planets of its sky (objects of the environment model): scenery,
    -- not objects of the game.
    planets = { "vesk_prime", "kessa_moon" },
    -- Locations in load order; "normal" ones are flown in, the others are scenery.
    locations = {
      { name = "kessa_outpost", mesh = "models/space/kessa_outpost", normal = true },
      { name = "kessa_belt", mesh = "models/space/kessa_belt", normal = false },
    },
  },
}

-- Kinds of space objects: a "gen:raider01" helper makes a "raider".
spaceObjectPatterns = {
  raider = { parent = "default", spacemodel = "raider", SOClass = 2, selectable = 1 },
  beacon = { parent = "default", spacemodel = "jump_gate", SOClass = 0, selectable = 1 },
  gate = { parent = "beacon", spacemodel = "jump_gate" },
}
