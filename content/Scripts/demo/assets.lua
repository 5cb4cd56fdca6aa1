-- The generated assets are in place and read through the engine: the
-- generator's version, the models and textures on disk, the string tables,
-- the sounds' lengths and the Kessa dialog.

local function exists(path)
  local f = io.open(path, "rb")
  if f then
    f:close()
    return true
  end
  return false
end

local models = {
  "models/ships/vesk_hawk.cm", "models/ships/raider.cm", "models/ships/wing_fin.cm",
  "models/ships/rocket_hornet.cm", "models/ships/hawk_cockpit.cm",
  "models/weapons/laser_gun.cm", "models/weapons/plasma_gun.cm", "models/weapons/rocket_pod.cm",
  "models/weapons/flak_turret.cm", "models/space/outpost_kessa.cm", "models/space/outpost_ring.cm",
  "models/space/asteroid_a.cm", "models/space/asteroid_b.cm", "models/space/asteroid_c.cm",
  "models/space/vesk_system.cm", "models/space/vesk_env.cm", "models/space/kessa_outpost.cm",
  "models/space/jump_gate.cm", "models/space/jump_gate.cma",
}

local textures = {
  "TEXTURES/ships/hawk_hull.dds", "TEXTURES/sky/starfield.dds", "TEXTURES/planets/vesk_prime.jpg",
  "TEXTURES/fx/engine_glow.tga", "TEXTURES/interface/hud_frame.tga", "TEXTURES/general/checker.bmp",
}

-- Sounds go by their ".wav" names; the longer ones are Ogg Vorbis twins.
local sounds = {
  "sounds/engine_hum.wav", "sounds/laser_shot.wav", "sounds/explosion_big.wav",
  "sounds/interface/beep.wav", "sounds/music/vesk_theme.wav",
}

local function countPresent(list)
  local n = 0
  for i = 1, table.getn(list) do
    if exists(list[i]) then
      n = n + 1
    else
      demo.trace("assets: missing " .. list[i])
    end
  end
  return n
end

-- The dialog asks the game for the speaker's face and for the words in
-- brackets; the game's own scripts may already answer both.
if not getPersFace then
  function getPersFace(a, b)
    return "Mira Osk^portrait_dispatcher^Traffic control^"
  end
end
if not DialogVar then
  function DialogVar(name)
    return "pilot"
  end
end

demo.OnInit("assets", function()
  local f = io.open("data/generated/version.txt", "r")
  if not f then
    demo.trace("assets: missing (run the content generator)")
    return
  end
  demo.trace("assets: " .. (f:read("*l") or "?"))
  f:close()

  demo.trace("assets: models " .. countPresent(models) .. "/" .. table.getn(models) ..
             ", textures " .. countPresent(textures) .. "/" .. table.getn(textures))

  engine_ParseRefFiles("data/strings", "en")
  local count = 0
  for _ in pairs(strings) do count = count + 1 end
  demo.trace("assets: strings " .. count .. ", title " .. tostring(strings[100]))

  for i = 1, table.getn(sounds) do
    demo.trace("assets: sound " .. sounds[i] .. " " .. engine_SoundLength(sounds[i]) .. " ms")
  end

  -- Without a file name the default dialog file is loaded.
  local default = engine_LoadDialog("")
  demo.trace("assets: default dialog " .. tostring(default) .. ": " .. tostring(engine_GetDialog()))
  local code = engine_LoadDialog("kessa_dispatch.dlg", "kessa", "dispatcher")
  demo.trace("assets: dialog kessa_dispatch " .. tostring(code) .. ": " .. tostring(engine_GetDialog()))
  -- Ask about the raiders, then sign off.
  demo.trace("assets: dialog answer 2: " .. tostring(engine_GetDialog(2)))
end)
