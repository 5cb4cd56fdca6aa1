-- The flight controls of Scripts/data/controls.lua made into hot keys of the
-- interface, the joystick's axes bound to their actions, and what the keys
-- call: the view's zoom, the volume, the cockpit view and the menu.

game = game or {}

-- The command of a key, run as the data table gives it.
function game.Key(i, down)
  local binding = controls.keys[i]
  local command = down and binding.down or binding.up
  if command then engine_DoString(command) end
end

-- Whether the player flies the ship now: the mission's flight, no menu over it.
local function flying()
  return mission.state == "flying" and not getfast_visible("MainMenu")
end

-- A mouse button's command, while the ship flies (a button let go after the
-- flight ended still stops what it started).
function game.MouseButton(i, down)
  local binding = controls.mouse[i]
  local command = down and binding.down or binding.up
  if not command then return end
  if down and not flying() then return end
  engine_DoString(command)
end

-- The trigger: while it is held the guns of the player's ship (not its
-- rockets, they have their own key) fire at the selected target, each gun
-- pulled as the game pulls a ship's weapon; let go, they stop.
function game.Trigger(on)
  if on and not flying() then return end
  engine_Serv("GUNS", on and "SHOOTON" or "SHOOTOFF")
  local ship = "obj." .. tostring(engine_GetVar("player.ship"))
  if not game.exists(ship .. ".slots") then return end
  local target = on and (player.selected or player.cursor)
  if on and not (target and game.exists(target)) then return end
  for slot in string.gfind(engine_GetTable(ship .. ".slots"), "%[%[(.-)%]%]") do
    local item = "items." .. tostring(engine_GetVar(ship .. ".slots." .. slot .. ".item"))
    if game.exists(item) and engine_GetVar(item .. ".bulletType") == "2" then
      if on then
        engine_Execute(item .. ".onStartUse", engine_GetHex(item), engine_GetHex(target))
      else
        engine_Execute(item .. ".onEndUse", engine_GetHex(item))
      end
    end
  end
end

-- A key pressed and let go by its name (what a key node does, for a script).
function game.PressKey(name)
  for i = 1, table.getn(controls.keys) do
    if controls.keys[i].key == name then
      game.Key(i, true)
      game.Key(i, false)
      return true
    end
  end
  return false
end

function game.BuildControls()
  if engine_GetIniParam("debugkeys") == 1 then
    for i = 1, table.getn(controls.debugKeys) do table.insert(controls.keys, controls.debugKeys[i]) end
  end
  desktopNode("GameKeys", "desktop", "TMegaButton", { "WIDTH", "0", "HEIGHT", "0" })
  for i = 1, table.getn(controls.keys) do
    local b = controls.keys[i]
    local props = { "HOTKEY", b.key, "ONKEYDOWN", "game.Key(" .. i .. ", true)" }
    if b.up then
      table.insert(props, "ONKEYUP")
      table.insert(props, "game.Key(" .. i .. ", false)")
    end
    desktopNode("GameKey" .. i, "GameKeys", "TMegaButton", props)
  end
  -- The mouse's buttons: the clicks that no window, marker or menu takes
  -- reach the desktop itself.
  local events = { [0] = "L", [1] = "R", [2] = "M" }
  local props = { "update", "desktop" }
  for i = 1, table.getn(controls.mouse or {}) do
    local b = events[controls.mouse[i].button]
    if b then
      table.insert(props, "ON" .. b .. "MOUSEDOWN")
      table.insert(props, "game.MouseButton(" .. i .. ", true)")
      table.insert(props, "ON" .. b .. "MOUSEUP")
      table.insert(props, "game.MouseButton(" .. i .. ", false)")
    end
  end
  engine_Desktop(unpack(props))
  for i = 1, table.getn(controls.axes) do
    local a = controls.axes[i]
    Lua_SetJoyAction(a.axis, a.action, a.invert)
  end
end

-- The view's field of view, within what a player can still fly with.
function game.Zoom(step)
  local fov = engine_GetFov() + step
  if fov < 40 then fov = 40 end
  if fov > 110 then fov = 110 end
  engine_SetFov(fov)
end

function game.Volume(step)
  local level = math.floor(engine_GetGeneralVolume() + step + 0.5)
  if level < 0 then level = 0 end
  if level > 100 then level = 100 end
  engine_SetGeneralVolume(level)
end

function game.ToggleCockpit()
  if engine_GetVar("player.isCockpitMode") == "1" then
    engine_Execute("player", "cockpitOff")
  else
    engine_Execute("player", "cockpitOn")
  end
end

-- Escape brings the menu over the flight and takes it away again.
function game.Menu()
  gameMenu.Escape()
end
