-- The self-playing demo: this mod starts a new game from the main menu and
-- flies the player's ship through the mission by script: the steering unit
-- takes it to the waypoint and the outpost, the AI flies it in the fight. It
-- presses Print Screen at fixed points (pictures in "screenshots"), answers
-- the dialog and quits when the mission ends.
engine_Include("Scripts/autoplay/route.lua")
-- The testers' keys are there for the pilot too.
engine_SetIniParam("debugkeys", 1)

autoplay = { stage = "menu", pictures = 0, fightMs = 0, overMs = 0, answered = 0 }
local route = autoplayRoute

local function trace(text)
  demo.trace("autoplay: " .. text)
end

-- A picture through the game's own screenshot key, when the plug-in can
-- press it (a run without a window has none to take).
local function picture(what)
  local x, y, z = engine_CameraGetOri()
  local where = " (camera at " .. math.floor(x) .. " " .. math.floor(y) .. " " .. math.floor(z) .. ")"
  if autoplay_PressKey and autoplay_PressKey(70) then
    autoplay.pictures = autoplay.pictures + 1
    trace("picture " .. autoplay.pictures .. ": " .. what .. where)
  else
    trace("no picture without a window: " .. what .. where)
  end
end

local function ship()
  return mission.def.player.id
end

-- Which raiders still fly and which the HUD marks (a marker bears its ship's name).
local function hudMarks()
  local flying, marked = {}, {}
  local ids = mission.def.enemies.ids
  for i = 1, table.getn(ids) do
    local id = ids[i]
    if game.exists("obj." .. id) and engine_GetVar("obj." .. id .. ".isDestroyed") ~= "1" then
      table.insert(flying, id)
    end
    if get_hex(id) then table.insert(marked, id) end
  end
  return "flying " .. table.concat(flying, ",") .. ", marked " .. table.concat(marked, ",")
end

-- The player's ship under the steering unit's own control, at its full speed
-- (an AI's stop order leaves the unit's speed at nothing).
local function steerTo(hex)
  local path = "obj." .. ship()
  engine_SetVar("player.selfShipControl", "0")
  engine_PhCommand(path, "stop", "", engine_GetVar("mesh." .. engine_GetVar(path .. ".spacemodel") ..
    ".physic_params.ph_MaxVelocity"))
  engine_PhCommand(path, "goToHelperHex", "", hex)
end

-- The nearest enemy still flying, nil when none is.
local function nearestEnemy()
  local best, bestRange = nil, nil
  local ids = mission.def.enemies.ids
  for i = 1, table.getn(ids) do
    local id = ids[i]
    if game.exists("obj." .. id) and engine_GetVar("obj." .. id .. ".isDestroyed") ~= "1" then
      local r = game.range(ship(), id)
      if r and (bestRange == nil or r < bestRange) then best, bestRange = id, r end
    end
  end
  return best
end

local function fly(ms)
  local o = mission.objective
  local path = "obj." .. ship()
  -- A loaded game's ship has no unit for a frame or two.
  if game.hex(ship()) == "0" then return end
  if o.kind == "reach" then
    if autoplay.stage ~= "waypoint" then
      autoplay.stage = "waypoint"
      trace("the ship's handling: " .. string.gsub(engine_GetStringPhParams(game.hex(ship())), "\n", " "))
      steerTo(game.hex(o.target))
    end
    local r = game.range(ship(), o.target)
    if r and r < route.waypointPicture and not autoplay.waypointShot then
      autoplay.waypointShot = true
      picture("on the way to the waypoint, " .. r .. " from it")
      -- The quick-save key, pressed on the keyboard as a player would.
      if autoplay_PressKey and autoplay_PressKey(route.quickSaveKey) then trace("pressed the quick-save key") end
    end
    -- The cockpit view: on, a picture from the seat on the next tick, off on the one after.
    if autoplay.cockpit == "on" then
      picture("from the cockpit")
      autoplay.cockpit = "shot"
    elseif autoplay.cockpit == "shot" then
      game.PressKey(route.cockpitKey)
      autoplay.cockpit = "done"
      trace("the cockpit view off: cockpit mode " .. engine_GetVar("player.isCockpitMode"))
    elseif r and r < route.cockpitPicture and autoplay.waypointShot and not autoplay.cockpit then
      game.PressKey(route.cockpitKey)
      autoplay.cockpit = "on"
      trace("the cockpit view on: cockpit mode " .. engine_GetVar("player.isCockpitMode"))
    end
  elseif o.kind == "destroy" then
    if autoplay.stage ~= "fight" then
      autoplay.stage = "fight"
      if route.loadCheckpoint and mission.def.checkpoint and not autoplay.loaded then
        autoplay.loaded = true
        game.Load(mission.def.checkpoint)
        autoplay.stage = "loaded"
        return
      end
      engine_SetVar("player.selfShipControl", "0")
      engine_SetVar(path .. ".ai_model", "autopilot")
      engine_Execute(path .. ".ai.onInit")
      trace("the AI takes the ship into the fight")
    end
    autoplay.fightMs = autoplay.fightMs + ms
    -- A new enemy when the AI has none or its enemy is down: the nearest one flying.
    local current = engine_GetVar(path .. ".ai.curEnemy")
    local down = autoplay.target and (not game.exists("obj." .. autoplay.target) or
      engine_GetVar("obj." .. autoplay.target .. ".isDestroyed") == "1")
    if current == "0" or current == "" or down then
      local enemy = nearestEnemy()
      if enemy and enemy ~= autoplay.target then
        autoplay.target = enemy
        engine_SetVar(path .. ".ai.curEnemy", "0")
        engine_SetVar(path .. ".ai.attackEnemy", engine_GetHex("obj." .. enemy))
        engine_Execute(path .. ".ai.onScan")
        engine_Serv("TARGET", "NEARESTENEMY")
        trace("attacking " .. enemy)
      end
    end
    -- A raider's explosion: the first raider to go down after the fight's picture.
    if autoplay.battleShot and not autoplay.explosionShot then
      local down = mission.down or 0
      if autoplay.downBefore == nil then autoplay.downBefore = down end
      if down > autoplay.downBefore and autoplay.downAt == nil then autoplay.downAt = autoplay.fightMs end
      if autoplay.downAt and autoplay.fightMs - autoplay.downAt >= route.explosionPictureMs then
        autoplay.explosionShot = true
        picture("a raider's explosion; " .. hudMarks())
      end
    end
    if autoplay.fightMs >= route.battlePictureMs and not autoplay.battleShot then
      autoplay.battleShot = true
      -- A closer look for the picture, the sound engine's figures out of it,
      -- and the field of view as it was after it.
      for i = 1, table.getn(route.beforePicture) do game.PressKey(route.beforePicture[i]) end
      picture("in the fight")
      autoplay.afterPicture = true
    elseif autoplay.afterPicture then
      autoplay.afterPicture = false
      for i = 1, table.getn(route.afterPicture) do game.PressKey(route.afterPicture[i]) end
    end
  elseif o.kind == "talk" then
    if autoplay.stage ~= "report" then
      autoplay.stage = "report"
      autoplay.steerMs = 0
      engine_SetVar(path .. ".ai_model", "dummy")
      trace("flying to the outpost to report")
    end
    -- The outpost's gate, open (a second after it stood) and near, or open
    -- three seconds: a fast ship reaches the outpost's radio before it is near.
    local gate = mission.gate
    if gate and gate.state == "open" and gate.ms >= 1000 and not autoplay.gateShot then
      local r = engine_PhRange(game.hex(ship()), gate.unit)
      if r < route.gatePicture or gate.ms >= 3000 then
        autoplay.gateShot = true
        picture("the outpost's gate open, " .. r .. " from it")
      end
    end
    -- The AI's last orders (a stop among them) run out first: the course is
    -- given again every second.
    autoplay.steerMs = autoplay.steerMs - ms
    if autoplay.steerMs <= 0 then
      autoplay.steerMs = 1000
      steerTo(game.hex(o.target))
    end
  end
end

-- The dialog's answers, by the words they begin with.
local function talk()
  if not autoplay.dialogShot then
    autoplay.dialogShot = true
    picture("talking to Kessa traffic control")
    return
  end
  local want = route.answers[autoplay.answered + 1]
  if want == nil then return end
  for i = 1, gameUi.answers do
    local answer = game.dialog and game.dialog.display[i]
    if answer and string.find(answer, want, 1, true) == 1 then
      autoplay.answered = autoplay.answered + 1
      game.Answer(i)
      return
    end
  end
end

demo.OnTick("autoplay", function(ms, tick)
  if autoplay.stage == "menu" then
    if tick == route.menuPicture then picture("the main menu") end
    if tick == route.newGame then
      trace("new game")
      autoplay.stage = "start"
      -- The menu's own button, as a click would press it.
      engine_Desktop("MenuNewGame::ONMOUSECLICK")
    end
    return
  end
  if mission.state == "over" then
    if autoplay.stage ~= "over" then
      autoplay.stage = "over"
      picture("the mission's summary")
    end
    autoplay.overMs = autoplay.overMs + ms
    if autoplay.overMs >= route.quitAfterMs and not autoplay.quit then
      autoplay.quit = true
      trace("quitting after " .. autoplay.pictures .. " pictures")
      engine_Serv("GAME", "QUIT")
    end
    return
  end
  if mission.state == "talking" then
    talk()
  elseif mission.state == "flying" and mission.objective then
    fly(ms)
  end
end)
