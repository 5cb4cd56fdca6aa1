-- The game's visual effects: templates by id, loaded into the effect library
-- by engine_ReloadFx. Ships name their jets, guns their shots, and the mesh
-- descriptions what a ship leaves when it is destroyed.

-- Particles: one sprite each, sized from StartSize to EndSize over its life.
fx.spark = { id = "spark", type = "particle", texture = "fx/spark.tga", StartSize = "1", EndSize = "0.2" }
fx.puff = { id = "puff", type = "particle_alpha", texture = "fx/smoke.dds", StartSize = "1", EndSize = "3" }
fx.fire = { id = "fire", type = "particle", texture = "fx/explosion.dds", StartSize = "1", EndSize = "2.5" }

-- Engine jets at the nozzles, in each side's colour.
fx.jet_hawk = { id = "jet_hawk", type = "nozzlejet", lifetime = "0.3", color = "A080C0FF",
                texture = "fx/jet.tga", thickness = "2.5", spawntimer_sec = "0.04" }
fx.jet_raider = { id = "jet_raider", type = "nozzlejet", lifetime = "0.3", color = "A0FF9040",
                  texture = "fx/jet.tga", thickness = "2.5", spawntimer_sec = "0.04" }

-- Hits and explosions.
fx.hit_sparks = { id = "hit_sparks", type = "burst", numParticles = "12", vmin = "20", vmax = "80",
                  MaxSize = "4", MinSize = "1", MaxLifeTime = "0.6", MinLifeTime = "0.3",
                  particleID = "spark", color = "FFFFE0A0", color2 = "00FF6000", friction = "40" }
fx.explosion = { id = "explosion", type = "burst", numParticles = "40", vmin = "30", vmax = "140",
                 MaxSize = "18", MinSize = "6", MaxLifeTime = "1.6", MinLifeTime = "0.8",
                 particleID = "fire", color = "FFFFD080", color2 = "00FF3000", friction = "25" }
fx.explosion_smoke = { id = "explosion_smoke", type = "burst", numParticles = "10", vmin = "5", vmax = "20",
                       MaxSize = "30", MinSize = "12", MaxLifeTime = "3", MinLifeTime = "1.5",
                       particleID = "puff", color = "C0706060", friction = "8", notattached = "1" }
-- The last flash of a destroyed ship (the engine picks the big one for a hull of over 3000).
fx.final_boom_small = { id = "final_boom_small", type = "burst", numParticles = "14", vmin = "10", vmax = "50",
                        MaxSize = "34", MinSize = "16", MaxLifeTime = "0.5", MinLifeTime = "0.25",
                        particleID = "fire", color = "FFFFF4D0", color2 = "00FF9040", friction = "20",
                        notattached = "1" }
fx.final_boom_big = { id = "final_boom_big", type = "burst", numParticles = "40", vmin = "30", vmax = "200",
                      MaxSize = "120", MinSize = "50", MaxLifeTime = "1.2", MinLifeTime = "0.6",
                      particleID = "fire", color = "FFFFF4D0", color2 = "00FF9040", friction = "15",
                      notattached = "1" }
fx.shockwave = { id = "shockwave", type = "mesh", LifeTime = "1.2", meshname = "fx_shockwave" }
fx.damage_smoke = { id = "damage_smoke", type = "smoke_alpha", vmin = "1", vmax = "4", MaxSize = "8", MinSize = "3",
                    MaxLifeTime = "2", MinLifeTime = "1", particleID = "puff", color = "A0808080",
                    color2 = "00505050", friction = "20", frequency = "15" }

-- The flash at a gun's muzzle, and the scorch a shot leaves on a hull.
fx.muzzle_flash = { id = "muzzle_flash", type = "burst", numParticles = "4", vmin = "5", vmax = "20",
                    MaxSize = "3", MinSize = "1.5", MaxLifeTime = "0.15", MinLifeTime = "0.08",
                    particleID = "spark", color = "FFC0E0FF", color2 = "004060FF", friction = "10" }
fx.scorch = { id = "scorch", type = "defect", texture = "fx/scorch.tga", LifeTime = "6", SpawnTime = "0.2",
              size = "3", color = "FF402010", color2 = "00000000" }

-- The smoke a rocket leaves behind it.
fx.rocket_trail = { id = "rocket_trail", type = "smoke_alpha", vmin = "1", vmax = "3", MaxSize = "5", MinSize = "2",
                    MaxLifeTime = "1.2", MinLifeTime = "0.6", particleID = "puff", color = "C0A0A0A0",
                    color2 = "00606060", friction = "20", frequency = "30" }

-- Shield flashes where a shot meets a shield.
fx.shield_glow = { id = "shield_glow", type = "glow", size = "14", color = "60C0FF", texture = "fx/engine_glow.tga" }
fx.shield_sound = { id = "shield_sound", type = "sound", name = "sounds/shield_hit.wav" }
fx.shield_hit = { id = "shield_hit", type = "shield", mesh = "fx_shield_hit", gloweffect = "shield_glow",
                  intensity_keys = { { percents = 0, intensity = 0 }, { percents = 30, intensity = 1 },
                                     { percents = 100, intensity = 0 } },
                  sounds = { { id = "shield_sound" } } }

-- Shots: bolts of light that fly until they hit or burn out.
fx.shot_sound = { id = "shot_sound", type = "sound", name = "sounds/laser_shot.wav", minrange = "50",
                  maxrange = "3000" }
fx.bolt_hawk = { id = "bolt_hawk", type = "bullet", velocity = "1800", lifetime = "1.2", len = "60",
                 rnd_length_from = "0.9", rnd_length_to = "1.1", color = "FFA0E0FF", texture = "fx/bullet.tga",
                 bursts = { { id = "hit_sparks", size = 1 } } }
fx.bolt_raider = { id = "bolt_raider", type = "bullet", velocity = "1500", lifetime = "1.2", len = "50",
                   rnd_length_from = "0.9", rnd_length_to = "1.1", color = "FFFF7050", texture = "fx/bullet.tga",
                   bursts = { { id = "hit_sparks", size = 1 } } }

-- The outpost's jump gate: it opens over the first quarter of its animation,
-- shimmers through the middle half while it stands and closes over the last.
fx.kessa_gate = { id = "kessa_gate", type = "portal", mesh = "jump_gate", t1 = "25", t2 = "75" }

-- The effects' models.
mesh.fx_shield_hit = mesh.fx_shield_hit or { path = "models/fx", name = "shield_hit" }
mesh.fx_shockwave = mesh.fx_shockwave or { path = "models/fx", name = "shockwave" }
mesh.fx_sphere = mesh.fx_sphere or { path = "models/fx", name = "sphere" }
