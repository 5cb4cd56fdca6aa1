-- The game's rules that the engine reads: switches of the game ini table
-- ("ini") and tuning numbers of the game constants ("bal"), set when the game
-- starts.
rules = {
  ini = {
    -- The player's ship meets the hulls it flies into and slides along them.
    useCollision = 1,
  },
  bal = {
    -- A collision costs shield, armor and hull this much per unit of the
    -- speed the ship struck with (before its defence factor).
    collisionDamageCoefficient = 0.2,
  },
}
