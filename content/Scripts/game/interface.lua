-- The game's own windows over the flight HUD: the mission's objectives, a
-- line for messages, the dialog window and the closing summary; and the
-- content functions the engine calls when objectives change.

local D = engine_Desktop
local node = desktopNode

local rect, with = desktopRect, desktopWith

local function label(name, parent, r, props)
  node(name, parent, "TLabelNode", with(r, props or {}))
end

gameUi = { messageLeft = 0, answers = 0 }

-- Where the interface's cursor stands: the engine tells the scripts each time it moves.
iCursor = iCursor or { x = 512, y = 384 }
function iCursor.SetPos(x, y)
  iCursor.x, iCursor.y = x, y
end

function gameUi.Build()
  if get_hex("GamePanel") then return end
  -- Objectives, top left, under the mission's title.
  node("GamePanel", "desktop", "TMegaButton", { "VISIBLE", "0" })
  node("GameObjectivesBox", "GamePanel", "TMegaButton", with(rect(8, 8, 320, 96),
    { "COLOR", "E0101828", "FRAMECOLOR", "FF5AA0DC" }))
  label("GameMissionTitle", "GameObjectivesBox", rect(8, 4, 304, 18),
    { "TEXT", "", "FONTSIZE", "13", "TEXTCOLOR", "FFFFE060" })
  node("GameObjectives", "GameObjectivesBox", "TMissionList", with(rect(8, 24, 304, 68),
    { "FONTSIZE", "12", "TEXTCOLOR", "FFE0F0FF" }))
  -- Messages in the middle of the screen, outlined to read over whatever is behind them.
  label("GameMessage", "GamePanel", rect(212, 320, 600, 32),
    { "VISIBLE", "0", "TEXT", "", "FONTSIZE", "20", "TEXTCOLOR", "FFFFE060", "TEXTALIGN", "CENTER",
      "TEXTSTYLE", "OUTLINE", "SHADOWCOLOR", "FF000000" })

  -- The dialog, between the objectives and the target panel: who speaks,
  -- what is said, the answers to pick.
  node("GameDialog", "desktop", "TMegaButton", with(rect(336, 60, 480, 230),
    { "VISIBLE", "0", "COLOR", "E0101828", "FRAMECOLOR", "FF5AA0DC" }))
  node("GameDialogFace", "GameDialog", "TMegaButton", with(rect(12, 12, 96, 96), { "FRAMECOLOR", "FF5AA0DC" }))
  label("GameDialogName", "GameDialog", rect(120, 10, 350, 18), { "FONTSIZE", "14", "TEXTCOLOR", "FFFFE060" })
  label("GameDialogCue", "GameDialog", rect(120, 32, 350, 76), { "FONTSIZE", "13", "TEXTCOLOR", "FFFFFFFF" })
  for i = 1, 4 do
    node("GameDialogAnswer" .. i, "GameDialog", "TMegaButton", with(rect(12, 116 + (i - 1) * 27, 456, 24),
      { "VISIBLE", "0", "COLOR", "E0183050", "FRAMECOLOR", "FF5AA0DC", "FONTSIZE", "13", "TEXTCOLOR", "FFE0F0FF",
        "TEXTLEFT", "8", "TEXTVERTALIGN", "CENTER",
        "ONMOUSEOVER", "engine_Desktop(slf .. '::COLOR', 'E0306090')",
        "ONMOUSEOUT", "engine_Desktop(slf .. '::COLOR', 'E0183050')",
        "ONMOUSECLICK", "game.Answer(" .. i .. ")" }))
  end

  -- The loading screen while a system loads: a bar the engine redraws as the load goes on.
  node("GameLoading", "desktop", "TMegaButton", with(rect(0, 0, 1024, 768), { "VISIBLE", "0", "COLOR", "FF081018" }))
  label("GameLoadingTitle", "GameLoading", rect(312, 330, 400, 40),
    { "TEXT", "LOADING", "FONTSIZE", "24", "TEXTCOLOR", "FFFFE060", "TEXTALIGN", "CENTER" })
  node("GameLoadingBar", "GameLoading", "TMegaButton", with(rect(312, 400, 400, 20),
    { "COLOR", "FF203040", "FRAMECOLOR", "FF5AA0DC" }))
  node("GameLoadingFill", "GameLoadingBar", "TMegaButton", with(rect(2, 2, 0, 16), { "COLOR", "FF40E070" }))

  -- The summary at the end of the mission.
  node("GameSummary", "desktop", "TMegaButton", with(rect(312, 200, 400, 150),
    { "VISIBLE", "0", "COLOR", "E0101828", "FRAMECOLOR", "FF5AA0DC" }))
  label("GameSummaryTitle", "GameSummary", rect(0, 16, 400, 30),
    { "FONTSIZE", "20", "TEXTCOLOR", "FFFFE060", "TEXTALIGN", "CENTER" })
  label("GameSummaryText", "GameSummary", rect(30, 60, 340, 64), { "FONTSIZE", "13", "TEXTCOLOR", "FFE0F0FF" })
  label("GameSummaryNote", "GameSummary", rect(0, 128, 400, 16),
    { "TEXT", "Esc: the main menu", "FONTSIZE", "11", "TEXTCOLOR", "FF9CC4E4", "TEXTALIGN", "CENTER" })
end

-- Who has the mouse: in flight it steers the ship and the interface sees
-- the cursor fixed at the screen centre (a click goes there, not where the
-- arrow last pointed); over the menu the arrow is free again to point at its
-- buttons. A conversation in flight is answered by its number keys.
function gameUi.FreeCursor(free)
  engine_Serv("DESKTOP", "MODE", free and "IMSHELL" or "IMGAME")
  local look = free and "CursorArrow" or "CursorCentre"
  if get_hex(look) then engine_Serv("CURSOR", "CHANGE", look) end
end

function gameUi.ShowFlight(title)
  D("MainMenu::VISIBLE", "0")
  D("FlightHud::VISIBLE", "1")
  flightHud.Reset()
  D("GamePanel::VISIBLE", "1")
  D("GameMissionTitle::TEXT", title)
  gameUi.FreeCursor(false)
end

-- The loading screen: the menu and the flight give way to it while a
-- system loads; each refresh of the load moves its bar on.
gameUi.loadingSteps = 0
gameUi.loadingExpected = 18

function gameUi.ShowLoading()
  gameUi.loadingSteps = 0
  D("MainMenu::VISIBLE", "0")
  D("FlightHud::VISIBLE", "0")
  D("GameLoadingFill::WIDTH", "0")
  D("GameLoading::VISIBLE", "1")
  D("desktop::ONUPDATELOADINGBAR", "gameUi.LoadingStep()")
  engine_Serv("DESKTOP", "MODE", "IMLOADING")
end

function gameUi.LoadingStep()
  gameUi.loadingSteps = gameUi.loadingSteps + 1
  local share = math.min(1, gameUi.loadingSteps / gameUi.loadingExpected)
  D("GameLoadingFill::WIDTH", tostring(math.floor(396 * share + 0.5)))
end

function gameUi.HideLoading()
  D("GameLoading::VISIBLE", "0")
  D("desktop::ONUPDATELOADINGBAR", "")
  game.Trace("loading screen shown for " .. gameUi.loadingSteps .. " step(s)")
end

-- A message for three seconds, with the interface's beep. Plain text is
-- made wide text as the string tables hold it, so every message is one kind.
function gameUi.Message(text)
  if string.sub(text, 1, 1) ~= "@" then text = engine_AnsiStr2HexString(text) end
  setfast_text("GameMessage", text)
  setfast_visible("GameMessage", true)
  engine_PlaySound("sounds/interface/beep.wav", "interface")
  gameUi.messageLeft = 3000
end

function gameUi.Tick(ms)
  if gameUi.messageLeft > 0 and getfast_visible("GameMessage") then
    gameUi.messageLeft = gameUi.messageLeft - ms
    if gameUi.messageLeft <= 0 then setfast_visible("GameMessage", false) end
  end
end

-- A dialog's state (game.ReadDialog) in the dialog window.
function gameUi.ShowDialog(d)
  D("GameDialog::VISIBLE", "1")
  D("GameDialogName::TEXT", (d.NPCName or "") .. ", " .. (d.NPCDuty or ""))
  D("GameDialogCue::TEXT", d.NPCCue or "")
  if d.NPCHead and d.NPCHead ~= "" then
    D("GameDialogFace::IMAGE", "interface\\" .. d.NPCHead)
  end
  local n = 0
  for i = 1, 4 do
    local answer = d.display[i]
    D("GameDialogAnswer" .. i .. "::VISIBLE", answer and "1" or "0")
    if answer then
      D("GameDialogAnswer" .. i .. "::TEXT", i .. ". " .. answer)
      n = i
    end
  end
  gameUi.answers = n
end

function gameUi.HideDialog()
  D("GameDialog::VISIBLE", "0")
end

function gameUi.ShowSummary(title, lines)
  run("GameDialog::VISIBLE", "0")
  set("GameSummary::VISIBLE", "1")
  set("GameSummaryTitle::TEXT", engine_UpperCase(title))
  set("GameSummaryText::TEXT", table.concat(lines, "#R"))
end

-- What the engine calls when the player's objectives change: the list shows
-- them by itself, the game tells the player.
function AddObjectiveReal(id, text)
  game.Trace("objective " .. id .. ": " .. game.Plain(text))
end
function DoneObjectiveReal(id)
  game.Trace("objective " .. id .. " done")
  gameUi.Message(strings[120] or "Objective complete")
end
function FailedObjectiveReal(id)
  game.Trace("objective " .. id .. " failed")
end
function ClearObjectivesReal()
end
