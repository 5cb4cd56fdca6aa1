-- The game's world: factions, the planet system and its locations, and the
-- ships and items made from the data tables (Scripts/data).

game = game or {}

function game.set(path, value)
  engine_SetVar(path, tostring(value))
end

function game.exists(path)
  return engine_IsVar(path) == 1
end

-- The rules of Scripts/data/rules.lua into the game ini table and the constants.
function game.ApplyRules()
  for list, values in pairs(rules or {}) do
    for key, v in pairs(values) do game.set(list .. "." .. key, v) end
  end
end

-- Adds a child unless the parent has one of that name.
function game.addVar(parent, name, class)
  local path = name
  if parent ~= "" then path = parent .. "." .. name end
  if not game.exists(path) then
    if class then
      engine_AddVar(parent, name, class)
    else
      engine_AddVar(parent, name)
    end
  end
  return path
end

-- A value with its maximum: "max" alone fills it, a pair is { maximum, current }.
function game.value(path, v)
  local max, cur = v, v
  if type(v) == "table" then max, cur = v[1], v[2] end
  game.set(path .. ".max", max)
  game.set(path, cur)
end

-- The render unit of an object of "obj" as its hex text, "0" without one.
function game.hex(id)
  if not game.exists("obj." .. id) then return "0" end
  local h = engine_GetVar("obj." .. id .. ".hex")
  if h == nil or h == "" then return "0" end
  return h
end

-- The distance between two objects of "obj", nil while either has no unit.
function game.range(a, b)
  local ha, hb = game.hex(a), game.hex(b)
  if ha == "0" or hb == "0" then return nil end
  return engine_PhRange(ha, hb)
end

function game.DefineFactions()
  for name in pairs(factions) do
    game.addVar("fractions", name)
  end
  for name, attitudes in pairs(factions) do
    for other, value in pairs(attitudes) do
      game.set("fractions." .. name .. ".attitudes." .. other, value)
    end
  end
end

-- The subsystem of a system in "systems" with its locations, and the
-- space-object patterns, each made once.
function game.DefineSystem(id)
  local sys = systems[id]
  for name, p in pairs(spaceObjectPatterns) do
    local path = game.addVar("spaceobj", name, "TGameSpaceObjectPattern")
    game.set(path .. ".parent", p.parent)
    game.set(path .. ".spacemodel", p.spacemodel)
    for _, key in ipairs({ "SOClass", "selectable" }) do
      if p[key] then
        game.addVar(path, key, "TGameObjectIntParam")
        game.set(path .. "." .. key, p[key])
      end
    end
  end
  local sub = game.addVar("scene", id, "TGameSubsystem")
  if engine_GetVar(sub .. ".mesh") == "" then
    game.set(sub .. ".mesh", sys.mesh)
    game.set(sub .. ".minimap.image", sys.minimap)
  end
  for i = 1, table.getn(sys.locations) do
    local l = sys.locations[i]
    local path = sub .. ".locations." .. l.name
    if not game.exists(path) then
      engine_AddVar(sub .. ".locations", l.name, "TGameLocation")
      game.set(path .. ".name", l.name)
      game.set(path .. ".mesh", l.mesh)
      game.set(path .. ".loaded", 1)
      game.set(path .. ".isNormalLocation", l.normal and 1 or 0)
    end
  end
  return sub
end

-- A system loaded afresh: the world's objects go, the locations make
-- theirs again from their helpers; the planets are put into its sky. The
-- engine calls addPlayerShip() when the system is ready.
function game.LoadSystem(id)
  local sys = game.DefineSystem(id)
  game.set("ini.loadGlobalObjects", 0)
  engine_Execute(sys .. ".load")
  -- The engine writes each planet's unit into the scripts' table "obj".
  obj = obj or {}
  for i = 1, table.getn(systems[id].planets or {}) do
    local planet = systems[id].planets[i]
    obj[planet] = obj[planet] or {}
    engine_AddEnvObj(planet)
  end
end

-- The helper of a location of the current system, as a unit's hex ("0" without it).
function game.LocationHelper(location, helper)
  local hex = engine_GetVar("scene." .. engine_GetVar("player.subsystem") .. ".locations." .. location .. ".hex")
  if hex == "" or engine_IsHelper(helper, hex) ~= 1 then return "0" end
  return engine_GetUniversalHelperHex(helper, hex)
end

-- An item of a kind from "itemKinds": its values, and for a gun the gun
-- effect with its shots and their damage.
function game.MakeItem(id, kindName)
  local kind = itemKinds[kindName]
  local path = "items." .. id
  if game.exists(path) then engine_DelVar(path) end
  engine_AddVar("items", id, kind.engineType or "TGameItem")
  for key, v in pairs(kind) do
    if type(v) == "table" and type(v[1]) == "number" then
      game.value(path .. "." .. key, v)
    elseif type(v) ~= "table" and game.exists(path .. "." .. key) then
      game.set(path .. "." .. key, v)
    end
  end
  for key, v in pairs(kind.speeds or {}) do
    game.set(path .. "." .. key .. ".speed", v)
  end
  if kind.shots then
    engine_AddVar(path .. ".effects", "gun", "TGameObjectGunEffect")
    for i = 1, table.getn(kind.shots) do
      local shot = kind.shots[i]
      local s = path .. ".effects.gun.shots.shot" .. i
      engine_AddVar(path .. ".effects.gun.shots", "shot" .. i, "TGameObjectShotEffect")
      for key, v in pairs(shot) do
        if type(v) ~= "table" then game.set(s .. "." .. key, v) end
      end
      if shot.damage then
        engine_AddVar(s .. ".effects", "hit", shot.damage.kind)
        for key, v in pairs(shot.damage) do
          if key ~= "kind" then game.set(s .. ".effects.hit." .. key, v) end
        end
      end
    end
  end
  return path
end

-- A ship of a kind from "shipKinds" for the object at path: its values,
-- slots and the items it starts with (named after the ship).
function game.FitShip(path, kindName)
  local kind = shipKinds[kindName]
  local id = string.gsub(path, "^obj%.", "")
  game.set(path .. ".SOClass", 2)
  game.set(path .. ".spacemodel", kind.mesh)
  for key, v in pairs(kind.values) do
    game.value(path .. ".param." .. key, v)
  end
  for key, v in pairs(kind.speeds or {}) do
    game.set(path .. ".param." .. key .. ".speed", v)
  end
  for i = 1, table.getn(kind.slots or {}) do
    local s = kind.slots[i]
    local slot = game.addVar(path .. ".slots", s.name)
    game.set(slot .. ".helper", s.helper)
    game.set(slot .. ".class", s.class)
    game.set(slot .. ".itemType", s.itemType or 1)
    if s.weaponType then game.set(slot .. ".weaponType", s.weaponType) end
    if s.item then
      game.MakeItem(id .. "_" .. s.name, s.item)
    end
  end
  for i = 1, table.getn(kind.hold or {}) do
    local h = kind.hold[i]
    game.addVar(path .. ".cargo", h.name)
    if h.item then game.MakeItem(id .. "_" .. h.name, h.item) end
  end
end

-- The items a fitted ship starts with go into its slots and hold (once the
-- ship has its unit, the slots find their attach points).
function game.ArmShip(path, kindName)
  local kind = shipKinds[kindName]
  local id = string.gsub(path, "^obj%.", "")
  for i = 1, table.getn(kind.slots or {}) do
    local s = kind.slots[i]
    if s.item then game.set(path .. ".slots." .. s.name .. ".item", id .. "_" .. s.name) end
  end
  for i = 1, table.getn(kind.hold or {}) do
    local h = kind.hold[i]
    if h.item then game.set(path .. ".cargo." .. h.name, id .. "_" .. h.name) end
  end
end

-- A new ship in "obj": made, fitted and placed; its unit comes with the next frame.
function game.MakeShip(id, kindName, position, faction)
  local path = "obj." .. id
  if game.exists(path) then engine_DelVar(path) end
  engine_AddVar("obj", id, "TGameObject")
  game.set(path .. ".name", shipKinds[kindName].name)
  game.set(path .. ".position", position)
  if faction then game.set(path .. ".fraction", faction) end
  game.FitShip(path, kindName)
  return path
end

-- The camera follows a ship of "obj" from behind and above.
function game.FollowShip(id)
  engine_CameraResetFreeLookMode()
  engine_CameraOnObj(id)
  engine_SetCameraAlign(0, 0, 0)
end
