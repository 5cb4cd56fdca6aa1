-- Saving and loading: the pilot's profile holds the saved games; a save
-- holds the player, the player's ship and what it carries. F5 saves the game
-- as "quick", F9 loads it again; the mission saves at its checkpoint.

game = game or {}
game.profile = "pilot"

-- The pilot's profile, made the first time the game saves.
local function ensureProfile()
  if engine_GetVar("ini.curPlayerProfile") ~= game.profile then
    engine_Execute("player", "newProfile", game.profile)
  end
end

-- The game's own saves ("quick", the mission's checkpoint) are saved games
-- like the player's: their folders begin with "save", as the save list wants.
function game.SaveId(name)
  if string.sub(name, 1, 4) == "save" then return name end
  return "save_" .. name
end

-- What the save list shows for the game's own saves.
game.saveLabels = { quick = "Quick save" }

-- Whether the pilot's profile holds a saved game of that id.
local function saved(id)
  local f = io.open("profiles/" .. game.profile .. "/save/" .. id .. "/info.lua", "rb")
  if f then f:close() end
  return f ~= nil
end

-- The save's record: its label and the mission it belongs to. The record is
-- the next save's only: it is emptied again once the save is written.
local function fillRecord(label)
  local r = "playerSettings.newSaveData."
  engine_SetVar(r .. "name", label or "")
  engine_SetVar(r .. "missionId", mission.id or "")
  local title = mission.def and strings[mission.def.title]
  engine_SetVar(r .. "missionName", title and game.Plain(title) or "")
end

function game.Save(name, label)
  ensureProfile()
  fillRecord(label or game.saveLabels[name] or name)
  engine_Execute("player", "fastSave")
  local done = engine_Execute("player", "save", game.SaveId(name))
  fillRecord(nil)
  if not done then
    game.Trace("not saved " .. name .. " in profile " .. engine_GetVar("ini.curPlayerProfile"))
    if gameUi then gameUi.Message("The game could not be saved") end
    return false
  end
  game.Trace("saved " .. name .. " in profile " .. engine_GetVar("ini.curPlayerProfile"))
  if gameUi then gameUi.Message(strings[121] or "Game saved") end
  if gameMenu then gameMenu.RefreshSaves() end
  return true
end

function game.Load(name)
  if engine_GetVar("ini.curPlayerProfile") ~= game.profile then return false end
  local id = game.SaveId(name)
  -- A save made before the game's own saves were named so keeps its name.
  if not saved(id) and saved(name) then id = name end
  if not engine_Execute("player", "load", id) then
    game.Trace("not loaded " .. name)
    if gameUi then gameUi.Message("The saved game could not be loaded") end
    return false
  end
  if mission then mission.Resume() end
  local at = {}
  for n in string.gfind(engine_GetVar("obj." .. game.ShipId() .. ".position"), "[%-%d%.e]+") do
    table.insert(at, math.floor(tonumber(n) + 0.5))
  end
  game.Trace("loaded " .. name .. ": the ship stands at " .. table.concat(at, " "))
  if gameUi then gameUi.Message(strings[122] or "Game loaded") end
  return true
end

-- The id of the player's ship in "obj" (the player's "ship" link names it).
function game.ShipId()
  local id = engine_GetVar("player.ship")
  id = string.gsub(id or "", "^obj%.", "")
  if id == "" or id == "0" then id = "pship" end
  return id
end

-- ---- what the engine calls --------------------------------------------------------------------

-- A save's id when the caller gives none.
local uniq = 0
function getUniqId()
  uniq = uniq + 1
  return "save_u" .. uniq
end

function saveGameAdv(id)
  demo.trace("player: saveGameAdv " .. tostring(id))
end

-- The saved ship comes back: the one flying now goes, a new one of the same
-- name takes the saved values and is the player's ship again.
function loadPlayershipToLua(file)
  local id = game.ShipId()
  if engine_IsVar("obj." .. id) == 1 then
    engine_DelVar("obj." .. id)
  end
  engine_AddVar("obj", id, "TGameObject")
  engine_LoadFromFile("obj." .. id, file)
  engine_SetVar("player.ship", id)
end

function loadSavedScene(id)
  demo.trace("player: the scene of " .. tostring(id) .. " is back")
end

-- The results of the last two runs of the mission, under "save/":
-- "last_run" holds the newest, "previous_run" the one before it.
function game.WriteRunRecord(lines)
  engine_DeleteSaveDir("previous_run")
  engine_CopySaveDir("last_run", "previous_run")
  -- Copying makes its target folder afresh (a link there goes as the link):
  -- the newest record goes where the old one was, and only there.
  engine_DeleteSaveDir("last_run")
  if not engine_CopySaveDir("previous_run", "last_run") then
    game.Trace("the run's record is not written: save/last_run can not be made")
    return
  end
  local f = io.open("save/last_run/result.txt", "w")
  if f == nil then return end
  for i = 1, table.getn(lines) do f:write(lines[i], "\n") end
  f:close()
end
