-- The mission: a new game puts the player's ship at the Kessa outpost, and
-- the objectives follow one another: reach the waypoint (the game is saved
-- there), destroy the three raiders, report to Kessa traffic control. Its end
-- shows what happened; a mod may quit the game then.

game = game or {}
mission = { state = "idle", frames = 0, ms = 0, ticks = 0 }

function game.Trace(text)
  demo.trace("mission: " .. text)
end

local function set(path, value)
  game.set(path, value)
end

-- A text of the string tables, as the interface shows it.
local function text(id)
  return strings[id] or tostring(id)
end

-- The same text for the log (the tables hold wide text written in hex).
function game.Plain(t)
  if string.sub(t, 1, 1) == "@" then return engine_HexStr2AnsiString(t) end
  return t
end

local function objectivesOf(def)
  local byId = {}
  for i = 1, table.getn(def.objectives) do byId[def.objectives[i].id] = def.objectives[i] end
  return byId
end

-- ---- the player and the world before the mission ----------------------------------------------

-- The enemies of the mission: their values, guns, faction and AI; at first
-- they keep to their anchor.
local function fitEnemies(def)
  local e = def.enemies
  local anchor = engine_GetHex("obj." .. e.anchor)
  for i = 1, table.getn(e.ids) do
    local path = "obj." .. e.ids[i]
    if game.exists(path) then
      game.FitShip(path, e.kind)
      set(path .. ".name", shipKinds[e.kind].name)
      set(path .. ".fraction", e.faction)
    end
  end
  return anchor
end

local function armEnemies(def)
  local e = def.enemies
  for i = 1, table.getn(e.ids) do
    local path = "obj." .. e.ids[i]
    if game.exists(path) and game.hex(e.ids[i]) ~= "0" then
      game.ArmShip(path, e.kind)
      set(path .. ".ai_model", e.ai)
      set(path .. ".ai.curAnchor", engine_GetHex("obj." .. e.anchor))
      set(path .. ".ai.maxAnchorRange", e.leash)
      set(path .. ".ai.inAnchorRange", 1)
      engine_Execute(path .. ".ai.onInit")
      engine_Execute(path .. ".ai.onScan")
      -- A destroyed raider explodes; its wreck goes once the explosion and debris are done.
      set(path .. ".events.onDestroyed", "mission.Exploded(\"" .. e.ids[i] .. "\")")
      set(path .. ".events.onDeleted", "mission.WreckGone(\"" .. e.ids[i] .. "\")")
      -- The HUD marks the game object (its own id), not its render unit.
      engine_Serv("HELPER", "ADD", "ENEMY", engine_GetHex(path))
    end
  end
end

-- A destroyed ship's explosion and debris are effect objects in its effect list.
function mission.Exploded(id)
  local n = 0
  for name in string.gfind(engine_GetTable("obj." .. id .. ".effects"), "%[%[(.-)%]%]") do
    if string.find(name, "^dFx_") then n = n + 1 end
  end
  game.Trace(id .. " explodes (" .. n .. " destruction effects)")
  flightHud.Destroyed(id)
end

function mission.WreckGone(id)
  game.Trace("the wreck of " .. id .. " is gone")
  engine_DelVar("obj." .. id)
end

local function huntPlayer(def)
  local e = def.enemies
  for i = 1, table.getn(e.ids) do
    local path = "obj." .. e.ids[i]
    if game.exists(path .. ".ai") then set(path .. ".ai.maxAnchorRange", e.huntLeash) end
  end
end

-- How many of the mission's enemies are destroyed (or gone).
local function enemiesDown(def)
  local e = def.enemies
  local n = 0
  for i = 1, table.getn(e.ids) do
    local path = "obj." .. e.ids[i]
    if not game.exists(path) or engine_GetVar(path .. ".isDestroyed") == "1" then n = n + 1 end
  end
  return n
end

-- ---- the outpost's jump gate -------------------------------------------------------------------

-- The gate is an effect object at the root: it shows the portal at the
-- location's gate helper. The scripts close it through the engine; the
-- portal plays its closing and goes by itself.
local gatePath = "missionGate"

local function gateUnit()
  if not game.exists(gatePath) then return "0" end
  local hex = engine_GetVar(gatePath .. ".hex")
  if hex == nil or hex == "" then return "0" end
  return hex
end

local function removeGate()
  if game.exists(gatePath) then engine_DelVar(gatePath) end
  mission.gate = nil
end

local function openGate(def)
  local g = def.gate
  if g == nil or mission.gate then return end
  local at = game.LocationHelper(def.location, g.helper)
  if at == "0" then
    game.Trace("no gate: the location has no helper " .. g.helper)
    return
  end
  engine_AddVar("", gatePath, "TGameObjectFx")
  set(gatePath .. ".fxId", g.fx)
  set(gatePath .. ".hexId", at)
  mission.gate = { state = "opening", ms = 0 }
  game.Trace("the gate opens")
end

local function closeGate()
  if mission.gate then mission.gate.close = true end
end

-- Follows the gate each tick: its portal stands once spawned, is told to
-- close when asked, and is gone once it has played its closing.
local function watchGate(ms)
  local gate = mission.gate
  if gate == nil then return end
  local unit = gateUnit()
  if gate.state == "opening" and unit ~= "0" then
    gate.state = "open"
    gate.unit = unit
    game.Trace("the gate stands open")
  end
  if gate.state == "open" then
    gate.ms = gate.ms + ms
    if gate.close then
      -- The effect functions take ids in hexadecimal digits.
      engine_ModifyVEffect(string.format("%X", tonumber(unit)), "close", "")
      gate.state = "closing"
      game.Trace("the gate closes")
    end
  elseif gate.state == "closing" and unit == "0" then
    removeGate()
    game.Trace("the gate is gone")
  end
end

-- ---- objectives --------------------------------------------------------------------------------

local function addObjective(o)
  mission.objective = o
  set("player.mission.objective", o.id)
  engine_Execute("player.objectives", "add", o.id, text(o.text))
end

local function doneObjective(o)
  table.insert(mission.met, o.id)
  engine_Execute("player.objectives", "done", o.id)
  game.Trace("objective met: " .. o.id .. " at " .. math.floor(mission.ms / 100) / 10 .. " s")
end

-- ---- starting ----------------------------------------------------------------------------------

-- The mission's record in the game tree: handed to the player, so a saved
-- game carries the objective it was at.
-- A new game counts the player's shots, hits and kills afresh.
local function clearStatistics()
  local s = "player.statistics"
  if not game.exists(s) then return end
  for name in string.gfind(engine_GetTable(s), "%[%[(.-)%]%]") do
    if name == "destroyedEnemyes" then
      for entry in string.gfind(engine_GetTable(s .. "." .. name), "%[%[(.-)%]%]") do
        engine_DelVar(s .. "." .. name .. "." .. entry)
      end
    else
      engine_SetVar(s .. "." .. name, 0)
    end
  end
end

local function makeRecord(id)
  if game.exists("player.mission") then engine_DelVar("player.mission") end
  if game.exists("mission") then engine_DelVar("mission") end
  engine_AddVar("", "mission", "TBaseGameObjectList")
  engine_AddVar("mission", "id", "TGameObjectStringParam")
  engine_AddVar("mission", "objective", "TGameObjectStringParam")
  set("mission.id", id)
  engine_SetParent("mission", "player")
end

function mission.NewGame(id)
  if mission.state ~= "idle" and mission.state ~= "over" then return end
  id = id or "kessa_raiders"
  local def = missions[id]
  if def == nil then
    engine_Error("mission.NewGame: no mission \"" .. tostring(id) .. "\" in the missions table")
    return
  end
  mission.def = def
  mission.id = id
  mission.met = {}
  mission.ms, mission.ticks, mission.frames = 0, 0, 0
  mission.startedAt = engine_GetTickCount()
  mission.state = "making"
  if def.strings then engine_ParseRefFile(def.strings) end
  -- The start-up's own checks end here, and the world they made goes with
  -- the system loaded afresh.
  demo.EndChecks({ game = true, autoplay = true })
  removeGate()
  gameUi.HideDialog()
  setfast_visible("GameSummary", false)
  game.DefineFactions()
  engine_Execute("player.objectives", "clear")
  makeRecord(id)
  clearStatistics()
  mission.state = "loading"
  engine_SetPostEffectMode("none")
  gameUi.ShowLoading()
  game.LoadSystem(def.system)
  gameUi.HideLoading()
  mission.state = "making"
  game.Trace("new game: " .. mission.id .. " in the system " .. def.system)
end

-- The system is ready: the player's ship comes into it.
function addPlayerShip()
  demo.trace("scene: the system is ready for the player's ship")
  if mission.state ~= "loading" then return end
  local def = mission.def
  game.MakeShip(def.player.id, def.player.kind, "0 0 0", def.player.faction)
  set("player.ship", def.player.id)
end

-- The player's ship stands in the scene: into the location and off.
local function beginFlight(def)
  local ship = "obj." .. def.player.id
  game.ArmShip(ship, def.player.kind)
  engine_UpdatePlayerShip()
  -- Where the location starts the player.
  local start = game.LocationHelper(def.location, "mission:start")
  if start ~= "0" then engine_PhCommand(ship, "teleport", "", start) end
  set("player.selfShipControl", 1)
  mission.anchor = fitEnemies(def)
  gameUi.ShowFlight(text(def.title))
  if def.music and engine_GetIniParam("sound") ~= 0 then
    engine_Sound("VOLUME", "MUSIC", "60")
    engine_Sound("PLAY", "MUSIC", def.music, "2000", "2000", "")
  end
  engine_Serv("TIMER", "SET", "0")
  engine_Serv("MISSIONTIMER", "STOP")
  engine_Serv("GUNENGINE", "RESET")
  addObjective(objectivesOf(def).waypoint)
  mission.state = "arming"
  game.Trace("flying from the outpost's start: " .. engine_GetVar("player.ship"))
end

-- ---- the flight --------------------------------------------------------------------------------

local function finish(success, why)
  local s = "player.statistics."
  mission.result = {
    success = success, why = why,
    kills = tonumber(engine_GetVar(s .. "destroyedEnemyCounter")) or 0,
    -- The player's own shots, of both kinds of weapon ("shotCounter" counts
    -- the shots fired at the player).
    shots = (tonumber(engine_GetVar(s .. "primaryShotCounter")) or 0) +
      (tonumber(engine_GetVar(s .. "secondaryShotCounter")) or 0),
    hits = tonumber(engine_GetVar(s .. "damageEnemyCounter")) or 0,
    seconds = math.floor((engine_GetTickCount() - mission.startedAt) / 100) / 10,
    frames = mission.frames,
  }
  local r = mission.result
  mission.state = "over"
  -- A lost ship: the world goes grey behind the summary.
  if not success then engine_SetPostEffectMode("grayscale") end
  engine_Serv("GUNS", "SHOOTOFF")
  local lines = {
    "Objectives met: " .. table.getn(mission.met) .. " of " .. table.getn(mission.def.objectives) ..
      " (" .. table.concat(mission.met, ", ") .. ")",
    "Raiders destroyed: " .. enemiesDown(mission.def) .. ", kills counted " .. r.kills,
    "Shots fired: " .. r.shots .. ", hits " .. r.hits,
    "Flight time: " .. r.seconds .. " s in " .. r.frames .. " frames",
  }
  gameUi.messageLeft = 0
  setfast_visible("GameMessage", false)
  gameUi.ShowSummary(text(success and 203 or 204), lines)
  game.WriteRunRecord(lines)
  game.Trace((success and "complete" or "failed") .. (why and (": " .. why) or ""))
  for i = 1, table.getn(lines) do game.Trace(lines[i]) end
  if mission.OnEnd then mission.OnEnd(success) end
end

-- After a saved game is loaded: the objective the saved player was at.
function mission.Resume()
  engine_SetPostEffectMode("none")
  if mission.state == "idle" or mission.state == "over" then return end
  local id = engine_GetVar("player.mission.objective")
  local o = objectivesOf(mission.def)[id]
  if o then
    mission.objective = o
    mission.state = "flying"
    -- The saved world had no gate standing: one opened since goes.
    removeGate()
    game.Trace("resumed at the objective " .. id)
  end
end

function mission.Fail(why)
  if mission.state ~= "over" and mission.state ~= "idle" then finish(false, why) end
end

-- The dialog at the outpost: loaded when the ship comes near, done when
-- the conversation ends.
local function openDialog(o)
  closeGate()
  local code = game.OpenDialog(o.dialog, o.persons[1], o.persons[2])
  mission.state = "talking"
  game.Trace("talking to " .. tostring(game.dialog.NPCName) .. ", " .. tostring(game.dialog.NPCDuty) ..
    " (" .. tostring(code) .. ")")
end

function mission.DialogAnswered(i, said)
  game.Trace("answer " .. i .. ": " .. said)
end

function mission.DialogEnded(said)
  game.Trace("answer: " .. said)
  if mission.state == "talking" then
    doneObjective(mission.objective)
    finish(true)
  end
end

local function tickObjective(def)
  local o = mission.objective
  local ship = def.player.id
  if o.kind == "reach" then
    local r = game.range(ship, o.target)
    if r and r <= o.radius then
      doneObjective(o)
      addObjective(objectivesOf(def).raiders)
      huntPlayer(def)
      if def.checkpoint then game.Save(def.checkpoint, def.checkpointLabel) end
    end
  elseif o.kind == "destroy" then
    local down = enemiesDown(def)
    if down ~= mission.down then
      if mission.down then
        gameUi.Message("Raider down: " .. down .. " of " .. table.getn(def.enemies.ids))
      end
      mission.down = down
      game.Trace("raiders down: " .. down)
    end
    if down >= table.getn(def.enemies.ids) then
      raidersDestroyed = down
      doneObjective(o)
      addObjective(objectivesOf(def).report)
      openGate(def)
    end
  elseif o.kind == "talk" then
    local r = game.range(ship, o.target)
    if r and r <= o.radius then openDialog(o) end
  end
end

local function tick(ms)
  mission.ms = mission.ms + ms
  mission.ticks = mission.ticks + 1
  local def = mission.def
  local ship = def.player.id
  if mission.state == "making" then
    if game.hex(ship) ~= "0" then beginFlight(def) end
    return
  end
  if mission.state == "arming" then
    -- The raiders' units came with the location: their guns, their AI.
    armEnemies(def)
    -- How far the system's other location lies, by the helper of the system's model.
    if def.landmark then
      game.Trace("the " .. def.landmark .. " lies " .. math.floor(engine_PhDotRange(def.landmark, "obj." .. ship)) ..
        " away")
    end
    local waypoint = "obj." .. objectivesOf(def).waypoint.target
    if game.exists(waypoint) then engine_Serv("HELPER", "ADD", "WAYPOINT", engine_GetHex(waypoint)) end
    mission.state = "flying"
    -- A game picked in the menu's save list goes into the world made for it.
    if mission.pendingLoad then
      local id = mission.pendingLoad
      mission.pendingLoad = nil
      game.Load(id)
    end
    return
  end
  if not game.exists("obj." .. ship) or engine_GetVar("obj." .. ship .. ".isDestroyed") == "1" then
    mission.Fail("the player's ship was destroyed")
    return
  end
  -- A loaded game brings the ship back as a new unit: it is the player's again.
  local unit = game.hex(ship)
  if unit == "0" then return end
  if unit ~= mission.shipUnit then
    mission.shipUnit = unit
    engine_UpdatePlayerShip()
    game.FollowShip(ship)
  end
  if mission.state == "flying" then
    tickObjective(def)
  end
end

-- The engine's word that the player's ship is lost.
ingame = ingame or {}
function ingame.MissionFailed(code)
  mission.Fail("the player's ship was destroyed")
end

demo.OnInit("game", function()
  game.ApplyRules()
  gameUi.Build()
  game.BuildControls()
  -- Counts the frames: the desktop ticks this node once a frame.
  desktopNode("GameFrameCounter", "desktop", "TMegaButton", { "ONTICK", "mission.frames = mission.frames + 1" })
end)

demo.OnTick("game", function(ms, scriptTick)
  gameUi.Tick(ms)
  if mission.state ~= "idle" and mission.state ~= "over" then tick(ms) end
  watchGate(ms)
end)
