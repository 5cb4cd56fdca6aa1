-- The player as the engine tells the scripts of it: the scripts' mirror of
-- the player and the functions the engine calls when the player's ship or
-- selection changes.

player = player or {}
service = service or {}

function updatePlayerShip()
  engine_UpdatePlayerShip()
end

function updateSelectedShip()
  demo.trace("player: selected " .. tostring(player.selected))
end

-- Every key pressed in the game is offered as a cheat code; the game has none.
iGame = iGame or {}
function iGame.ParseCheatCode(key)
end
