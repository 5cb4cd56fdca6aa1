-- Items: what a ship carries in its slots and hold. Every key but "kind"
-- becomes a value of the item in the game (a number with ".max" for
-- counters); "mesh" names the item's model (gunmodel says what unit it
-- becomes), "class" 1 is a weapon and 2 equipment.
itemKinds = {
  hawk_laser = { name = "Hawk laser", mesh = "laser_gun", class = 1, group = "energy", bulletType = 2,
                 functionalType = 0, energyTake = 4, mass = 5, range = 2500 },
  raider_laser = { name = "Raider laser", mesh = "laser_gun", class = 1, group = "energy", bulletType = 2,
                   functionalType = 0, energyTake = 4, mass = 5, range = 2000 },
  hornet_pod = { name = "Hornet rockets", mesh = "rocket_pod", class = 1, group = "rocket", bulletType = 1,
                 functionalType = 0, mass = 8, range = 4000, quanity = 6 },
}
