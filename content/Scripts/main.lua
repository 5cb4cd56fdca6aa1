-- Vesk Annals demo game: what the engine calls at start-up, on every script
-- tick and at shut-down. Written for Lua 5.0 and 5.1 alike.

-- Content tables the engine reads.
strings = {}
mesh = {}
fx = {}
materials = {}

-- The number of entries of a table (the engine's readers ask for it).
function length(t)
  if t == nil then return 0 end
  local n = 0
  for _ in pairs(t) do n = n + 1 end
  return n
end

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

-- Saved objects: the engine builds exec_table from a game object and
-- saveData writes it to the file as Lua text. Reading a file back, the engine
-- runs it as data (it may only assign values) and leaves what it holds in
-- exec_table; loadData gives that back to the object.
local function writeValue(v, out)
  if type(v) == "table" then
    table.insert(out, "{")
    for k, item in pairs(v) do
      local key = nil
      if type(k) == "string" then
        key = string.format("%q", k)
      elseif type(k) == "number" then
        key = tostring(k)
      end
      if key then
        table.insert(out, "[" .. key .. "]=")
        writeValue(item, out)
        table.insert(out, ",\n")
      end
    end
    table.insert(out, "}")
  elseif type(v) == "string" then
    table.insert(out, string.format("%q", v))
  elseif type(v) == "number" or type(v) == "boolean" then
    table.insert(out, tostring(v))
  else
    table.insert(out, "nil")
  end
end
function saveData(path, file)
  local out = { "exec_table=" }
  writeValue(exec_table, out)
  local f = io.open(file, "wb")
  if f == nil then
    trace("saveData: can not write " .. tostring(file))
    return
  end
  f:write(table.concat(out))
  f:close()
end
function loadData(path, file)
  if exec_table ~= nil then
    engine_UpdateToEngine(path, "exec_table")
  end
end

-- The console's mirror of its lines.
iConsole = { lines = {} }
function iConsole.AddLine(text)
  table.insert(iConsole.lines, text)
end
function iConsole.Clear()
  iConsole.lines = {}
end

-- The post-processing's parameters the engine sets while the game runs (the
-- camera's shake widens the blur, the ship's speed draws radial streaks).
function SetPPParam(effect, parameter, value)
  engine_UpdatePostProcess(effect, parameter, tostring(value))
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

-- The demo's own parts live in Scripts/demo/, one file per topic; each
-- registers what it does at start-up and on the script tick. A part that
-- fails is logged with its name and the others go on.
demo = { inits = {}, ticks = {} }
function demo.OnInit(name, handler)
  table.insert(demo.inits, { name = name, handler = handler })
end
function demo.OnTick(name, handler)
  table.insert(demo.ticks, { name = name, handler = handler })
end
demo.trace = trace

-- Tree access for the demo's parts: values go in as text; a value with its
-- maximum sets both (current defaults to the maximum).
function demo.set(path, value)
  engine_SetVar(path, tostring(value))
end
function demo.get(path)
  return engine_GetVar(path)
end
function demo.value(path, max, cur)
  demo.set(path .. ".max", max)
  demo.set(path, cur or max)
end

-- The start-up's checks end when the game begins: only the tick parts named
-- in keep go on.
function demo.EndChecks(keep)
  local kept = {}
  for i = 1, table.getn(demo.ticks) do
    if keep[demo.ticks[i].name] then table.insert(kept, demo.ticks[i]) end
  end
  demo.ticks = kept
end

-- The keys of a content table, each followed by "^" (the engine's loaders ask for it).
if not GetGameTable then
  function GetGameTable(name)
    local s = ""
    local t = _G[name]
    if type(t) ~= "table" then return s end
    for k in pairs(t) do s = s .. k .. "^" end
    return s
  end
end

-- A material entry drawing its texture as it is (flat colours, no lighting).
function demo.flatMaterial(id, texture)
  return { id = id, texture_technique = 20, diffuse_color = "FFFFFF", specular_color = "0",
           ambient_color = "FFFFFF", emissive_color = "0", power = 1,
           diffuse_map = { name = texture, mipbias = 0, mipfilter = 0, magfilter = 1, minfilter = 1 } }
end

local function runParts(parts, ...)
  for i = 1, table.getn(parts) do
    local part = parts[i]
    local ok, err = pcall(part.handler, unpack(arg))
    if not ok then
      trace("part " .. part.name .. " failed: " .. tostring(err))
    end
  end
end

scriptTicks = 0
function beh_Init()
  trace("beh_Init version=" .. tostring(iRootMenu.BuildVersion))
  runParts(demo.inits)
end

function obj_Tick(ms)
  scriptTicks = scriptTicks + 1
  if scriptTicks <= 3 or math.mod(scriptTicks, 100) == 0 then
    trace("obj_Tick " .. ms .. " ms, tick " .. scriptTicks)
  end
  runParts(demo.ticks, ms, scriptTicks)
end

-- The game's data tables (materials, effects, models, items, ships,
-- factions, the planet system, dialogs, the mission), the start-up's checks
-- of the engine (one file per subsystem), the game itself (world, interface,
-- player, saves, menu, mission), and last a mod's own scripts.
engine_IncludeDir("Scripts/data")
engine_IncludeTree("Scripts/demo")
engine_IncludeTree("Scripts/game")
engine_IncludeTree("Scripts/mod")
