-- The self-playing pilot's plan: when it opens the game from the menu, where
-- it flies, how it fights, what it answers, and when it takes pictures.
autoplayRoute = {
  -- Script ticks of the menu: its picture, then the new game.
  menuPicture = 48, newGame = 50,
  -- Pictures of the flight: when the waypoint is this near, and this long into the fight.
  waypointPicture = 1400, battlePictureMs = 3500,
  -- A look from the cockpit (its key pressed, a picture, pressed again) when
  -- the waypoint is this near; a picture of a raider's explosion this long
  -- after it went down (the first one after the fight's picture); one of the
  -- outpost's gate once it stands open and the ship is this near.
  cockpitPicture = 1000, cockpitKey = "C", explosionPictureMs = 200, gatePicture = 1100,
  -- Keys the pilot presses before the fight's picture and after it: a
  -- narrower view, the music a little louder, and back.
  beforePicture = { "=", "]", "F12" }, afterPicture = { "-", "[" },
  -- The key pressed on the way to the waypoint (SDL's scan code of F5: quick save).
  quickSaveKey = 62,
  -- The checkpoint is loaded again right after it is saved, as a player's quick load would.
  loadCheckpoint = true,
  -- The dialog's answers, by the words they begin with, in the order they are given.
  answers = { "The raiders are down", "End of the conversation" },
  -- How long the summary stays before the pilot quits (ms of game time): the
  -- outpost's gate, closed at the report, is gone by then.
  quitAfterMs = 4000,
}

-- The AI model that flies the player's ship in the fight.
ai.autopilot = { engineType = "TGameObjectShipAIModel", maxAttackRange = 1400, minAttackRange = 250 }
