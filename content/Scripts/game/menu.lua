-- The main menu's buttons: a new game starts the mission, quitting ends the
-- program. (The menu itself is built with the interface; see Scripts/demo/menu.lua.)

local menuClicked = menuClick
function menuClick(name)
  if menuClicked then menuClicked(name) end
  if name == "MenuNewGame" then
    mission.NewGame()
  elseif name == "MenuQuit" then
    engine_Serv("GAME", "QUIT")
  end
end

-- When the start-up's checks have run, the menu comes back for the player.
demo.OnTick("game menu", function(ms, tick)
  if tick == 45 and mission.state == "idle" then
    engine_Desktop("FlightHud::VISIBLE", "0")
    engine_Desktop("MainMenu::VISIBLE", "1")
    engine_Serv("DESKTOP", "MODE", "IMSHELL")
    game.Trace("the main menu waits for the player")
  end
end)
