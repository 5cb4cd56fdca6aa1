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
  local shown = getfast_visible("MainMenu")
  setfast_visible("MainMenu", not shown)
  engine_Serv("DESKTOP", "MODE", shown and "IMGAME" or "IMSHELL")
end
