-- Ships of the game: the mesh they are built from, their values (with their
-- maximum) and their slots: the model's attach point, what the slot takes
-- (its class, its item class when not 1 and weaponType 2 for rockets) and the
-- item kind it starts with.
shipKinds = {
  hawk = {
    mesh = "hawk", name = "Vesk Hawk",
    values = { shield = 200, armor = 120, durability = 150, temperature = { 200, 0 }, power = 150, p_engine = 100,
               capacity = { 100, 0 }, defencefactor = 100, damagefactor = 100 },
    speeds = { shield = 8, temperature = -4 },
    slots = {
      { name = "gunLeft", helper = "gun01", class = "gun", item = "hawk_laser" },
      { name = "gunRight", helper = "gun02", class = "gun", item = "hawk_laser" },
      { name = "rockets", helper = "rocket01", class = "gun", weaponType = 2, item = "hornet_pod" },
      -- The seat the cockpit view is seen from (item class 99).
      { name = "cockpit", helper = "cockpit", class = "cockpit", itemType = 99, item = "hawk_cockpit" },
    },
  },
  raider = {
    mesh = "raider", name = "Raider",
    values = { shield = 60, armor = 40, durability = 80, temperature = { 200, 0 }, power = 100, p_engine = 100,
               capacity = { 50, 0 }, defencefactor = 100, damagefactor = 100 },
    speeds = { shield = 2, temperature = -4 },
    slots = {
      { name = "gunLeft", helper = "gun01", class = "gun", item = "raider_laser" },
      { name = "gunRight", helper = "gun02", class = "gun", item = "raider_laser" },
    },
  },
}
