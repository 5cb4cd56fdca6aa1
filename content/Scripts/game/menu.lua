-- The main menu's buttons: a new game starts the mission, quitting ends the
-- program. (The menu itself is built with the interface; see Scripts/demo/menu.lua.)
-- Beside them the list of the pilot's saved games: each row shows the save's
-- label and loads the game when clicked.

local D = engine_Desktop

gameMenu = { rows = 5, ids = {} }

local menuClicked = menuClick
function menuClick(name)
  if menuClicked then menuClicked(name) end
  if name == "MenuNewGame" then
    mission.NewGame()
  elseif name == "MenuQuit" then
    engine_Serv("GAME", "QUIT")
  end
end

local function buildSaveList()
  desktopNode("MenuSaves", "MainMenu", "TMegaButton", {
    "LEFT", "408", "TOP", "0", "WIDTH", "296", "HEIGHT", "290", "COLOR", "E0101828", "FRAMECOLOR", "FF5AA0DC",
  })
  desktopNode("MenuSavesTitle", "MenuSaves", "TLabelNode", {
    "LEFT", "12", "TOP", "8", "WIDTH", "272", "HEIGHT", "24", "TEXT", "Saved games", "FONTSIZE", "15",
    "TEXTCOLOR", "FFFFE060",
  })
  for i = 1, gameMenu.rows do
    desktopNode("MenuSave" .. i, "MenuSaves", "TMegaButton", {
      "VISIBLE", "0", "LEFT", "12", "TOP", tostring(40 + (i - 1) * 50), "WIDTH", "272", "HEIGHT", "44",
      "COLOR", "C0183050", "FRAMECOLOR", "FF5AA0DC", "FONTSIZE", "12", "TEXTCOLOR", "FFE0F0FF",
      "ONMOUSEOVER", "engine_Desktop(slf .. '::COLOR', 'E0306090')",
      "ONMOUSEOUT", "engine_Desktop(slf .. '::COLOR', 'C0183050')",
      "ONMOUSECLICK", "gameMenu.Load(" .. i .. ")",
    })
  end
end

-- The save's label, and the mission it belongs to when it names one.
local function saveText(id)
  local r = "playerSettings.saves." .. id .. "."
  local text = engine_GetVar(r .. "name")
  local missionName = engine_GetVar(r .. "missionName")
  if missionName ~= "" then text = text .. " (" .. missionName .. ")" end
  return text
end

-- The list as the pilot's profile holds it now.
function gameMenu.RefreshSaves()
  if not get_hex("MenuSaves") then return end
  if engine_GetVar("ini.curPlayerProfile") ~= game.profile then
    engine_Execute("player", "loadProfile", game.profile)
  end
  engine_Execute("playerSettings", "updateSaveNames")
  local ids = {}
  for id in string.gfind(engine_GetTable("playerSettings.saves"), "%[%[(.-)%]%]") do table.insert(ids, id) end
  table.sort(ids)
  gameMenu.ids = ids
  local shown = {}
  for i = 1, gameMenu.rows do
    local id = ids[i]
    D("MenuSave" .. i .. "::VISIBLE", id and "1" or "0")
    if id then
      local text = saveText(id)
      D("MenuSave" .. i .. "::TEXT", text)
      table.insert(shown, text)
    end
  end
  game.Trace("save list: " .. table.getn(ids) .. " saved game(s): " .. table.concat(shown, "; "))
end

-- A saved game from the list: into the flight now, or into the mission's
-- world once a new game has made it.
function gameMenu.Load(i)
  local id = gameMenu.ids[i]
  if id == nil then return end
  if mission.state == "idle" or mission.state == "over" then
    mission.pendingLoad = id
    local missionId = engine_GetVar("playerSettings.saves." .. id .. ".missionId")
    mission.NewGame(missions[missionId] and missionId or nil)
  elseif mission.state == "flying" then
    -- The menu goes away as Escape takes it, the flight's controls with it.
    if getfast_visible("MainMenu") then game.Menu() end
    game.Load(id)
  end
end

demo.OnInit("game menu", buildSaveList)

-- When the start-up's checks have run, the menu comes back for the player.
demo.OnTick("game menu", function(ms, tick)
  if tick == 45 and mission.state == "idle" then
    engine_Desktop("FlightHud::VISIBLE", "0")
    engine_Desktop("MainMenu::VISIBLE", "1")
    engine_Serv("DESKTOP", "MODE", "IMSHELL")
    gameMenu.RefreshSaves()
    game.Trace("the main menu waits for the player")
  end
end)
