-- The self-playing demo: this mod starts a new game from the main menu and
-- flies the player's ship through the mission by script, presses Print
-- Screen at fixed points (pictures in "screenshots"), and quits when the
-- mission ends.
autoplay = { state = "menu", shots = 0 }

local function trace(text)
  demo.trace("autoplay: " .. text)
end

-- A picture through the game's own screenshot key, when the plug-in can press it.
local function picture(what)
  if autoplay_PressKey and autoplay_PressKey(70) then
    autoplay.shots = autoplay.shots + 1
    trace("picture " .. autoplay.shots .. ": " .. what)
  end
end

demo.OnTick("autoplay", function(ms, tick)
  if autoplay.state == "menu" then
    if tick == 50 then picture("the main menu") end
    if tick == 52 then
      trace("new game")
      engine_Desktop("MenuNewGame::ONMOUSECLICK")
      autoplay.state = "mission"
    end
    return
  end
  if mission.state == "over" then
    autoplay.state = "done"
    return
  end
end)
