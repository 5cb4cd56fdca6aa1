-- The space scene: the Vesk system with its sky, sun, planets and dust, the
-- Kessa outpost and the Kessa belt (a drift of rocks in a nebula) loaded from
-- the generated models, the objects the locations' helpers name, a trigger at
-- a waypoint that spawns a gate there, and a location unloaded and loaded again.
-- It also holds the scene functions the engine calls while it loads.

-- ---- the look of the system ---------------------------------------------------------------

local function material(id, technique, texture, colour)
  return { id = id, texture_technique = technique, diffuse_color = colour or "FFFFFFFF", specular_color = "0",
           ambient_color = "FFFFFF", emissive_color = "0", power = 1,
           diffuse_map = { name = texture, mipbias = 0, mipfilter = 0, magfilter = 1, minfilter = 1 } }
end
local function setMaterial(name, m)
  if materials[name] == nil then materials[name] = m end
end
-- The sky as it is (20), the sun disc added to what is behind it (50), the
-- planets and the rocks lit by the sun (30), the clouds blended over them (80).
-- What a model without a material of its own shows.
setMaterial("checker", material("0", 20, "general/checker"))
setMaterial("sky_vesk_space", material("2001", 20, "sky/starfield"))
setMaterial("sun_disc", material("2002", 50, "fx/sun_glow.tga"))
setMaterial("planet_vesk_prime", material("2003", 30, "planets/vesk_prime"))
setMaterial("planet_clouds", material("2004", 80, "planets/clouds"))
setMaterial("planet_kessa_moon", material("2005", 30, "planets/kessa_moon"))
setMaterial("asteroid_rock", material("2006", 30, "asteroids/rock"))
setMaterial("station_hull", material("2007", 30, "station/outpost_panels"))
setMaterial("solar_panel", material("2008", 30, "station/solar_panel"))
setMaterial("dock_light", material("2009", 50, "fx/engine_glow.tga"))
setMaterial("raider_hull", material("2010", 30, "ships/raider_hull"))
setMaterial("hawk_hull", material("2011", 30, "ships/hawk_hull"))
setMaterial("engine_metal", material("2012", 30, "ships/engine_metal"))
setMaterial("engine_glow", material("2013", 50, "fx/engine_glow.tga"))
setMaterial("ship_glass", material("2014", 80, "ships/canopy"))
setMaterial("gate_frame", material("2015", 30, "station/outpost_panels"))
setMaterial("gate_field", material("2016", 80, "fx/shield"))

-- The planet system: its environment model and the ambient light of its scene;
-- the planets: how fast they and their clouds turn (degrees a second).
spacemodel = spacemodel or {}
spacemodel.vesk_system = { environment = "models/space/vesk_env", ambient = "FF282830" }
spacemodel.vesk_prime = { spin = 0.4, atmosphereSpin = 0.9 }
spacemodel.kessa_moon = { spin = 0.2 }

-- The sky's dust, and the models of the objects the locations name.
mesh.vesk_space = { DustParticles = { DustLen = 15, BaseColor = "FF707890", DecayConstant = 4000,
                                      LenghDecayConstant = 1500 } }
local function model(name, file, speed)
  if mesh[name] == nil then
    mesh[name] = { name = name, path = file, physic_params = { ph_MaxVelocity = speed or 0, ph_AccelerateTime = 4 } }
  end
end
model("raider", "models/ships/raider.cm", 220)
model("vesk_hawk", "models/ships/vesk_hawk.cm", 250)
model("outpost_kessa", "models/space/outpost_kessa.cm")
model("asteroid_a", "models/space/asteroid_a.cm")
model("asteroid_b", "models/space/asteroid_b.cm")
model("asteroid_c", "models/space/asteroid_c.cm")
model("jump_gate", "models/space/jump_gate.cm")

-- The nebula's fog volumes, and the sun's lens flare: added to the effect
-- library when the scene starts.
function defineSceneEffects()
  fx.nebula = { id = "nebula", type = "particle_alpha", texture = "fx/smoke.dds" }
  fx.SUNLIGHT_01 = { id = "SUNLIGHT_01", texture = "fx/flare.tga", size = 90 }
end

-- ---- what the engine calls while the scene loads -----------------------------------------------

player = player or {}
loc = loc or {}
camera = camera or {}
function camera.fluctuation() end
iSubtitles = iSubtitles or {}
function iSubtitles:Start(file) end
function toWideScreen() end
-- A fade to black around a step: here the step runs at once.
function toBlack(code)
  local f = loadstring(code)
  if f then f() end
end

local function subsystemPath()
  return "scene." .. tostring(player.subsystem)
end

local function locationPath(name)
  return subsystemPath() .. ".locations." .. name
end

function realLoadLocation(name)
  engine_Execute(locationPath(name) .. ".load")
end

-- Locations have no script files of their own in the demo.
function loadLocationFiles(name)
  demo.trace("scene: location " .. name .. " files")
end

-- The location spheres: each location's radius.
function updateLocSpheres(sub)
  local list = engine_GetLocationsBSphereList()
  for name, radius in string.gfind(list, "([^#]+)#([^#]+)#") do
    demo.trace("scene: sphere " .. name .. " radius " .. radius)
  end
end

-- Helper names "<kind>:<name>" go into the helper lists; a name that ends in
-- digits joins the group of the name before them ("gen:raider02": group
-- "raider", entry "02").
local kinds = { gen = true, trigger = true, anchor = true, mesh = true }
local function fillHelpers(path, list)
  for helper in string.gfind(list, "([^#]+)#") do
    local _, _, kind, name = string.find(helper, "^(%a+):(.+)$")
    if kind and kinds[kind] then
      local listPath = path .. ".helpers." .. kind
      local _, _, group, entry = string.find(name, "^(.-)(%d+)$")
      if group and group ~= "" then
        if engine_IsVar(listPath .. "." .. group) == 0 then
          engine_AddVar(listPath, group, "TBaseGameObjectList")
        end
        if engine_IsVar(listPath .. "." .. group .. "." .. entry) == 0 then
          engine_AddVar(listPath .. "." .. group, entry, "TGameObjectStringParam")
          engine_SetVar(listPath .. "." .. group .. "." .. entry, helper)
        end
      elseif engine_IsVar(listPath .. "." .. name) == 0 then
        engine_AddVar(listPath, name, "TGameObjectStringParam")
        engine_SetVar(listPath .. "." .. name, helper)
      end
    end
  end
end

function updateGlobalHelpers(sub)
  fillHelpers("scene." .. sub, engine_GetPlanetSystemHelpersList())
end

function updateLocalHelpers(sub, name, hex)
  fillHelpers("scene." .. sub .. ".locations." .. name, engine_GetLocationHelpersList(hex))
end

-- The hex of a helper of a location (or of the planet system), "0" without one.
function getHelperHex(name, location)
  if location == nil or location == "" then
    if engine_IsHelper(name) == 1 then return engine_GetUniversalHelperHex(name) end
    return "0"
  end
  local hex = engine_GetVar(locationPath(location) .. ".hex")
  if hex == "" or engine_IsHelper(name, hex) ~= 1 then return "0" end
  return engine_GetUniversalHelperHex(name, hex)
end

local function setIf(path, value)
  if value ~= nil and engine_IsVar(path) == 1 then engine_SetVar(path, tostring(value)) end
end

-- An object of the world: from the space-object pattern of its class, or a
-- plain game object of its space model.
function CreateObj(t)
  local path = "obj." .. t.id
  if engine_IsVar(path) == 1 then return end
  local pattern = "spaceobj." .. tostring(t.class)
  if t.class ~= "scenic" and engine_IsVar(pattern) == 1 then
    engine_SpawnVar(pattern, "obj", t.id)
  else
    engine_AddVar("obj", t.id, "TGameObject")
    setIf(path .. ".spacemodel", t.spacemodel or t.class)
  end
  setIf(path .. ".max_name", t.max_name)
  setIf(path .. ".location", t.location)
  setIf(path .. ".selectable", t.selectable)
  setIf(path .. ".indestructable", t.indestructable)
  return path
end

function createGlobalObj(t)
  local path = "obj." .. t.id
  if engine_IsVar(path) == 1 then return end
  engine_AddVar("obj", t.id, "TGameObject")
  if t.class == "planet" then engine_SetVar(path .. ".SOClass", "10") end
  setIf(path .. ".spacemodel", t.spacemodel)
  setIf(path .. ".max_name", t.max_name)
  setIf(path .. ".selectable", t.selectable)
  setIf(path .. ".indestructable", t.indestructable)
end

-- A trigger on a helper; what a trigger does when it is placed is the
-- function triggerActions[<id>], given the trigger's path.
triggerActions = triggerActions or {}
function triggerPlaced(hex)
  local path = engine_GetPath(hex)
  local action = triggerActions[engine_GetId(hex)]
  if action then action(path) end
end

function addTrigger(t)
  local path = "obj." .. t.id
  if engine_IsVar(path) == 1 then return end
  engine_AddVar("obj", t.id, "TGameTrigger")
  engine_SetVar(path .. ".SOClass", tostring(t.SOClass or 12))
  engine_SetVar(path .. ".max_name", t.max_name)
  engine_SetVar(path .. ".location", t.location or "")
  engine_SetVar(path .. ".events.onCreated", "triggerPlaced(tmp[1])")
end

-- The player's ship is the player part's own: it flies in from wherever it is.
function addPlayerShip()
  demo.trace("scene: the system is ready for the player's ship")
end

-- ---- the demo -------------------------------------------------------------------------------

local function addVar(parent, name, class)
  if engine_IsVar(parent == "" and name or parent .. "." .. name) == 0 then engine_AddVar(parent, name, class) end
end

local function pattern(name, parent, spacemodel, soclass)
  addVar("spaceobj", name, "TGameSpaceObjectPattern")
  local p = "spaceobj." .. name
  engine_SetVar(p .. ".parent", parent)
  engine_SetVar(p .. ".spacemodel", spacemodel)
  if soclass then
    addVar(p, "SOClass", "TGameObjectIntParam")
    engine_SetVar(p .. ".SOClass", tostring(soclass))
    addVar(p, "selectable", "TGameObjectIntParam")
    engine_SetVar(p .. ".selectable", "1")
  end
end

local function location(name, modelFile, normal)
  local p = "scene.vesk.locations." .. name
  addVar("scene.vesk.locations", name, "TGameLocation")
  engine_SetVar(p .. ".name", name)
  engine_SetVar(p .. ".mesh", modelFile)
  engine_SetVar(p .. ".loaded", "1")
  engine_SetVar(p .. ".isNormalLocation", normal and "1" or "0")
end

local function count(list)
  local n = 0
  for _ in string.gfind(list, "([^#]+)#") do n = n + 1 end
  return n
end

-- The waypoint's trigger opens a gate where it stands.
triggerActions.waypoint01 = function(path)
  local at = engine_GetVar(path .. ".max_name")
  local id = "gate_" .. engine_GetId(engine_GetHex(path))
  engine_SpawnVar("spaceobj.gate", "obj", id)
  engine_SetVar("obj." .. id .. ".max_name", at)
  engine_SetVar("obj." .. id .. ".location", engine_GetVar(path .. ".location"))
  demo.trace("scene: trigger " .. engine_GetId(engine_GetHex(path)) .. " at " .. at .. " spawns " .. id)
end

-- The scene comes before the other parts: making the system clears the world
-- of objects, and theirs are to live in it.
local function sceneInit()
  defineSceneEffects()
  engine_ReloadFx()
  -- The player as the scene sees it, when the game has no player of its own.
  if engine_IsVar("player") == 0 then
    engine_AddVar("", "player", "TBaseGameObjectList")
    engine_AddVar("player", "selfShipControl", "TGameObjectIntParam")
    engine_AddVar("player", "subsystem", "TGameObjectStringParam")
    engine_AddVar("player", "loadedLocations", "TBaseGameObjectList")
  end
  -- Space-object patterns: raiders, and a gate that takes what a beacon has.
  pattern("raider", "default", "raider", 2)
  pattern("beacon", "default", "jump_gate", 0)
  pattern("gate", "beacon", "jump_gate")
  -- The system and its two locations; its planets are made as global objects.
  engine_SetVar("ini.loadGlobalObjects", "1")
  addVar("scene", "vesk", "TGameSubsystem")
  engine_SetVar("scene.vesk.mesh", "models/space/vesk_system")
  engine_SetVar("scene.vesk.minimap.image", "interface/radar.tga")
  location("kessa_outpost", "models/space/kessa_outpost", true)
  location("kessa_belt", "models/space/kessa_belt", false)
  demo.trace("scene: subsystem vesk with " .. engine_GetTable("scene.vesk.locations"))
  engine_Execute("scene.vesk.load")
  demo.trace("scene: vesk loaded, system helpers " .. count(engine_GetPlanetSystemHelpersList()) ..
    ", spheres " .. engine_GetLocationsBSphereList())
end
table.insert(demo.inits, 1, { name = "scene", handler = sceneInit })

local loadTick = 0
demo.OnTick("scene", function(ms, tick)
  if tick == loadTick + 1 then
    demo.trace("scene: gate inherits SOClass=" .. engine_GetVar("spaceobj.gate.SOClass") ..
      " spacemodel=" .. engine_GetVar("spaceobj.gate.spacemodel") .. " mesh=" .. engine_GetVar("spaceobj.gate.mesh"))
  elseif tick == loadTick + 2 then
    local outpost = engine_GetVar("scene.vesk.locations.kessa_outpost.hex")
    local belt = engine_GetVar("scene.vesk.locations.kessa_belt.hex")
    demo.trace("scene: outpost helpers " .. count(engine_GetLocationHelpersList(outpost)) ..
      ", belt helpers " .. count(engine_GetLocationHelpersList(belt)) ..
      ", loaded " .. engine_GetTable("player.loadedLocations"))
    local start = engine_GetUniversalHelperHex("mission:start", outpost)
    local gate = engine_GetVar("obj.gate_waypoint01.hex")
    local waypoint = engine_GetVar("obj.waypoint01.hex")
    demo.trace("scene: gate " .. gate .. " stands " .. engine_GetHelperRange(gate, waypoint) ..
      " from the waypoint, " .. engine_GetHelperRange(waypoint, start) .. " from the start")
    demo.trace("scene: raider radius " .. math.floor(engine_GetObjRadius(engine_GetVar("obj.raider01.hex")) + 0.5) ..
      ", planet " .. engine_GetVar("obj.vesk_prime.hex"))
    -- An encounter point beside a raider, placed into the belt and taken away again.
    local point = engine_AddEncounterHelper(engine_GetVar("obj.raider01.hex"), "encounter01", 500)
    engine_AssignLocationToBru(point, belt)
    demo.trace("scene: encounter01 is " .. engine_GetHelperRange(point, belt) .. " from the belt")
    engine_DelGlobalHelper(point)
    engine_ChangeObjMesh("raider01", "raider")
    -- The dust hidden and shown again, as the game's settings do it.
    engine_Execute("gameSystem", "setDustMode", "0")
    engine_Execute("gameSystem", "setDustMode", "1")
    engine_ReloadTexture("sky/starfield")
    engine_Dump()
  elseif tick == loadTick + 3 then
    engine_ReloadEnvironment()
    demo.trace("scene: environment rebuilt, planet " .. engine_GetVar("obj.vesk_prime.hex") ..
      " radius " .. math.floor(engine_GetObjRadius(engine_GetVar("obj.vesk_prime.hex")) + 0.5))
    engine_Execute("scene.vesk.locations.kessa_belt.unload")
    demo.trace("scene: belt unloaded, loaded " .. engine_GetTable("player.loadedLocations") ..
      ", asteroid_a11 " .. engine_IsVar("obj.asteroid_a11"))
  elseif tick == loadTick + 5 then
    realLoadLocation("kessa_belt")
    demo.trace("scene: belt loaded again, loaded " .. engine_GetTable("player.loadedLocations") ..
      ", spheres " .. engine_GetLocationsBSphereList())
  end
end)
