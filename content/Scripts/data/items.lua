-- Items: what a ship carries in its slots. Every plain key becomes a value
-- of the item in the game; a pair { maximum, current } is a value with its
-- maximum, and "speeds" how fast such a value comes back each second (the
-- reload of a gun). "mesh" names the item's model (gunmodel says what unit it
-- becomes); "class" 1 is a weapon, "bulletType" what the weapon panel shows
-- it as (1 rockets, 2 guns); "engineType" the item's class in the game when it
-- is no plain item. A gun's "shots" are what one pull of the
-- trigger sends off from each barrel: the projectile's class, its effects
-- (in the flight, at the muzzle, where it ends, on a shield, the mark it
-- leaves) and the damage it carries (a damage kind and its amounts).
itemKinds = {
  hawk_laser = {
    name = "Hawk laser", mesh = "laser_gun", class = 1, bulletType = 2, group = "energy", mass = 5, range = 2500,
    charge = { 400, 400 }, reloading = { 1, 1 }, speeds = { reloading = 5 },
    shots = {
      { bulletType = "TGameObjectBullet", mainFx = "bolt_hawk", startFx = "muzzle_flash", endFx = "hit_sparks",
        defectFx = "scorch", helperId = "weapon", lifetime = 1.2,
        damage = { kind = "TDamageEffect", shieldDamage = 30, armorDamage = 25, damage = 20 } },
    },
  },
  raider_laser = {
    name = "Raider laser", mesh = "laser_gun", class = 1, bulletType = 2, group = "energy", mass = 5, range = 2000,
    charge = { 400, 400 }, reloading = { 1, 1 }, speeds = { reloading = 2 },
    shots = {
      { bulletType = "TGameObjectBullet", mainFx = "bolt_raider", startFx = "muzzle_flash", endFx = "hit_sparks",
        defectFx = "scorch", helperId = "weapon", lifetime = 1.2,
        damage = { kind = "TDamageEffect", shieldDamage = 4, armorDamage = 3, damage = 2 } },
    },
  },
  -- The Hawk's cockpit: the view from its seat (an item of class 99, seen
  -- only from inside; used while the cockpit view is on).
  hawk_cockpit = { engineType = "TGameItemCockpit", name = "Hawk cockpit", mesh = "hawk_cockpit", class = 99,
                   charge = { 1, 1 } },
  hornet_pod = {
    name = "Hornet rockets", mesh = "rocket_pod", class = 1, bulletType = 1, group = "rocket", mass = 8, range = 4000,
    weaponType = 2, charge = { 6, 6 }, reloading = { 1, 1 }, speeds = { reloading = 1 },
    shots = {
      { bulletType = "TGameObjectRocket", spacemodel = "rocket_hornet", spacemodel2player = "rocket_hornet",
        mainFx = "rocket_trail", startFx = "muzzle_flash", endFx = "explosion", helperId = "weapon", lifetime = 8,
        damage = { kind = "TDamageRocket", shieldDamage = 40, armorDamage = 40, damage = 30 } },
    },
  },
}
