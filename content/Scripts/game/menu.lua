-- The main menu: a column of buttons on the left, the sky and the scene
-- beside it. "New game" starts the mission ("Continue" takes the player back
-- to a flight the menu was opened over), "Load" lists the pilot's saved games,
-- "Options" sets the sound volume and the mouse's steering, "Quit" ends the
-- program. A page opens to the right of the column.

local D = engine_Desktop
local node = desktopNode
local rect, with = desktopRect, desktopWith

gameMenu = { rows = 6, ids = {}, page = nil, volumeStep = 10, sensitivity = 1.5 }

local looks = {
  panel = { "COLOR", "E0101828", "FRAMECOLOR", "FF5AA0DC" },
  title = { "FONTSIZE", "15", "TEXTCOLOR", "FFFFE060" },
  text = { "FONTSIZE", "13", "TEXTCOLOR", "FFE0F0FF" },
  note = { "FONTSIZE", "11", "TEXTCOLOR", "FF9CC4E4" },
}

-- A button: a framed plate that lights under the cursor and calls the menu when clicked.
local function button(name, parent, r, words, size)
  node(name, parent, "TMegaButton", with(r, {
    "TEXT", words, "COLOR", "E0183050", "FRAMECOLOR", "FF5AA0DC", "FONTSIZE", tostring(size or 16),
    "TEXTCOLOR", "FFE8F4FF", "TEXTALIGN", "CENTER", "TEXTVERTALIGN", "CENTER",
    "ONMOUSEOVER", "engine_Desktop(slf .. '::COLOR', 'F0306090')",
    "ONMOUSEOUT", "engine_Desktop(slf .. '::COLOR', 'E0183050')",
    "ONMOUSECLICK", "gameMenu.Click(slf)",
  }))
end

local function label(name, parent, r, props)
  node(name, parent, "TLabelNode", with(r, props))
end

-- The column's buttons, top to bottom: "New game" and "Continue" share the first place.
gameMenu.buttons = {
  { "MenuNewGame", "New game", 0 }, { "MenuContinue", "Continue", 0 }, { "MenuLoad", "Load", 1 },
  { "MenuOptions", "Options", 2 }, { "MenuQuit", "Quit", 3 },
}

local function build()
  node("MainMenu", "desktop", "TMegaButton", with(rect(64, 150, 320, 352), looks.panel))
  label("MenuTitle", "MainMenu", rect(0, 20, 320, 36), {
    "TEXT", "VESK ANNALS", "FONTSIZE", "26", "TEXTCOLOR", "FFFFE060", "TEXTALIGN", "CENTER",
    "TEXTVERTALIGN", "CENTER", "TEXTSTYLE", "SHADOW",
  })
  node("MenuTitleBar", "MainMenu", "TMegaButton", with(rect(40, 62, 240, 8), { "IMAGE", "interface\\menu_title" }))
  for i = 1, table.getn(gameMenu.buttons) do
    local b = gameMenu.buttons[i]
    button(b[1], "MainMenu", rect(40, 96 + b[3] * 60, 240, 46), b[2])
  end
  D("MenuContinue::VISIBLE", "0")

  -- The saved games: one row a save, the newest first.
  node("MenuSaves", "MainMenu", "TMegaButton", with(rect(336, 0, 360, 352), looks.panel, { "VISIBLE", "0" }))
  label("MenuSavesTitle", "MenuSaves", rect(16, 12, 328, 24), with(looks.title, { "TEXT", "Saved games" }))
  for i = 1, gameMenu.rows do
    button("MenuSave" .. i, "MenuSaves", rect(16, 44 + (i - 1) * 44, 328, 38), "", 13)
  end
  label("MenuSavesNone", "MenuSaves", rect(16, 48, 328, 60), with(looks.text, {
    "VISIBLE", "0", "TEXT", "No saved games yet. The game saves at the waypoint; F5 saves at any time in flight.",
  }))

  -- The options: each row its name, its value and the buttons that lower and raise it.
  node("MenuOptionsPage", "MainMenu", "TMegaButton", with(rect(336, 0, 360, 352), looks.panel, { "VISIBLE", "0" }))
  label("MenuOptionsTitle", "MenuOptionsPage", rect(16, 12, 328, 24), with(looks.title, { "TEXT", "Options" }))
  for i, o in ipairs({ { "Volume", "Sound volume" }, { "Sens", "Mouse steering" } }) do
    local top = 48 + (i - 1) * 48
    label("Opt" .. o[1] .. "Name", "MenuOptionsPage", rect(16, top + 8, 150, 20), with(looks.text, { "TEXT", o[2] }))
    button("Opt" .. o[1] .. "Down", "MenuOptionsPage", rect(176, top, 40, 36), "-", 18)
    label("Opt" .. o[1] .. "Value", "MenuOptionsPage", rect(220, top + 8, 76, 20),
      with(looks.text, { "TEXT", "", "TEXTALIGN", "CENTER", "TEXTCOLOR", "FFFFFFFF" }))
    button("Opt" .. o[1] .. "Up", "MenuOptionsPage", rect(300, top, 40, 36), "+", 18)
  end
  label("MenuOptionsNote", "MenuOptionsPage", rect(16, 300, 328, 40), with(looks.note, {
    "TEXT", "Screen, sound device and language: the setup program.", "TEXTVERTALIGN", "BOTTOM",
  }))
end

-- ---- the pages ----------------------------------------------------------------------------------

-- Whether the pilot has a profile on disk yet (the game makes it when it first saves).
local function profileExists(name)
  local f = io.open("profiles/" .. name .. "/settings.lua", "rb")
  if f then f:close() end
  return f ~= nil
end

local function showPage(page)
  D("MenuSaves::VISIBLE", page == "saves" and "1" or "0")
  D("MenuOptionsPage::VISIBLE", page == "options" and "1" or "0")
  gameMenu.page = page
end

-- The save's label, and the mission it belongs to when it names one.
local function saveText(id)
  local r = "playerSettings.saves." .. id .. "."
  local text = engine_GetVar(r .. "name")
  local missionName = engine_GetVar(r .. "missionName")
  if missionName ~= "" then text = text .. " (" .. missionName .. ")" end
  return text
end

-- The saved games of the pilot's profile that a mission of the game can go
-- on from (a save that names no mission is not the player's).
function gameMenu.RefreshSaves()
  if not get_hex("MenuSaves") then return end
  if engine_GetVar("ini.curPlayerProfile") ~= game.profile and profileExists(game.profile) then
    engine_Execute("player", "loadProfile", game.profile)
  end
  local ids = {}
  if engine_GetVar("ini.curPlayerProfile") == game.profile then
    engine_Execute("playerSettings", "updateSaveNames")
    for id in string.gfind(engine_GetTable("playerSettings.saves"), "%[%[(.-)%]%]") do
      if missions[engine_GetVar("playerSettings.saves." .. id .. ".missionId")] then table.insert(ids, id) end
    end
  end
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
  D("MenuSavesNone::VISIBLE", table.getn(ids) == 0 and "1" or "0")
  game.Trace("save list: " .. table.getn(ids) .. " saved game(s): " .. table.concat(shown, "; "))
end

-- A saved game from the list: into the flight now, or into the mission's
-- world once a new game has made it.
function gameMenu.Load(i)
  local id = gameMenu.ids[i]
  if id == nil then return end
  if mission.state == "idle" or mission.state == "over" then
    gameMenu.Close()
    mission.pendingLoad = id
    local missionId = engine_GetVar("playerSettings.saves." .. id .. ".missionId")
    mission.NewGame(missions[missionId] and missionId or nil)
  elseif mission.state == "flying" then
    gameMenu.Close()
    game.Load(id)
  end
end

-- The options as they stand now.
local function showOptions()
  D("OptVolumeValue::TEXT", math.floor(engine_GetGeneralVolume() + 0.5) .. "%")
  D("OptSensValue::TEXT", string.format("%.2f", gameMenu.sensitivity))
end

-- The mouse's steering of the ship, within what still steers.
function gameMenu.SetSensitivity(v)
  v = math.max(0.25, math.min(4, v))
  gameMenu.sensitivity = v
  engine_Serv("MOUSE", "SETSENSPARAM", tostring(v))
end

local actions = {
  MenuNewGame = function()
    gameMenu.Close()
    mission.NewGame()
  end,
  MenuContinue = function() gameMenu.Close() end,
  MenuLoad = function()
    showPage(gameMenu.page ~= "saves" and "saves" or nil)
    gameMenu.RefreshSaves()
  end,
  MenuOptions = function()
    showPage(gameMenu.page ~= "options" and "options" or nil)
    showOptions()
  end,
  MenuQuit = function() engine_Serv("GAME", "QUIT") end,
  OptVolumeDown = function() game.Volume(-gameMenu.volumeStep) end,
  OptVolumeUp = function() game.Volume(gameMenu.volumeStep) end,
  OptSensDown = function() gameMenu.SetSensitivity(gameMenu.sensitivity - 0.25) end,
  OptSensUp = function() gameMenu.SetSensitivity(gameMenu.sensitivity + 0.25) end,
}

function gameMenu.Click(name)
  local row = string.gsub(name, "^MenuSave(%d+)$", "%1")
  if row ~= name then
    gameMenu.Load(tonumber(row))
    return
  end
  local action = actions[name]
  if action then
    action()
    if gameMenu.page == "options" then showOptions() end
  end
end

-- ---- opening and closing --------------------------------------------------------------------

-- Whether a flight goes on under the menu.
local function flightRuns()
  return mission.state ~= "idle" and mission.state ~= "over"
end

-- The flight stands still while the menu is over it: the desktop's pause
-- stops the ships, the physics and the mission's scripts, not the menu.
-- The flight's HUD gives way to the menu while it is open: the interface's
-- texts are drawn after its panels, so the HUD's labels would show through
-- the menu's. It comes back as it was when the menu closes.
function gameMenu.Open()
  showPage(nil)
  D("MenuNewGame::VISIBLE", flightRuns() and "0" or "1")
  D("MenuContinue::VISIBLE", flightRuns() and "1" or "0")
  if not getfast_visible("MainMenu") then
    gameMenu.hudHidden = flightRuns() and getfast_visible("FlightHud")
    if gameMenu.hudHidden then D("FlightHud::VISIBLE", "0") end
  end
  D("MainMenu::VISIBLE", "1")
  gameUi.FreeCursor(true)
  if flightRuns() then D("desktop::PAUSE", "1") end
end

function gameMenu.Close()
  showPage(nil)
  D("MainMenu::VISIBLE", "0")
  D("desktop::PAUSE", "0")
  if gameMenu.hudHidden then
    gameMenu.hudHidden = false
    if flightRuns() then D("FlightHud::VISIBLE", "1") end
  end
  if flightRuns() then gameUi.FreeCursor(false) end
end

-- Escape: over a flight the menu comes and goes; without one it only closes its page.
function gameMenu.Escape()
  if not getfast_visible("MainMenu") then
    gameMenu.Open()
  elseif flightRuns() then
    gameMenu.Close()
  else
    showPage(nil)
  end
end

demo.OnInit("game menu", build)

-- When the start-up's checks have run, the menu waits for the player.
demo.OnTick("game menu", function(ms, tick)
  if tick == 45 and mission.state == "idle" then
    gameMenu.Open()
    game.Trace("the main menu waits for the player")
  end
end)
