-- Vesk Annals demo game: what the engine calls at start-up, on every script
-- tick and at shut-down. Written for Lua 5.0 and 5.1 alike.

-- Content tables the engine reads.
strings = {}
mesh = {}
fx = {}
materials = {}

-- One line in the engine's fast log ("logs/log.txt").
local function trace(text)
  pcall(engine_PrintFastLog, "demo: " .. text)
end

-- Hooks: named handlers the game can set and clear.
hooks = {}
function emptyHook() end
function setHook(name, handler)
  hooks[name] = handler or emptyHook
end

-- Saved values of the running game.
savedValues = {}
function saveData(name, value)
  savedValues[name] = value
end
function loadData(name)
  return savedValues[name]
end

-- The console's mirror of its lines.
iConsole = { lines = {} }
function iConsole.AddLine(text)
  table.insert(iConsole.lines, text)
end
function iConsole.Clear()
  iConsole.lines = {}
end

iProfiles = { CurProfileId = "" }
function iProfiles.Save()
  trace("iProfiles.Save profile=" .. tostring(iProfiles.CurProfileId))
end

iRootMenu = { BuildVersion = "" }

iLoading = {}
function iLoading.Open(params)
  trace("iLoading.Open loadgame=" .. tostring(params.loadgame) .. " onLoad=" .. tostring(params.onLoad))
end

scriptTicks = 0
function beh_Init()
  trace("beh_Init version=" .. tostring(iRootMenu.BuildVersion))
end

function obj_Tick(ms)
  scriptTicks = scriptTicks + 1
  if scriptTicks <= 3 or math.mod(scriptTicks, 100) == 0 then
    trace("obj_Tick " .. ms .. " ms, tick " .. scriptTicks)
  end
end
