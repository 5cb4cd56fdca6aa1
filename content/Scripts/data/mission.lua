-- The mission: where it plays, the player's ship, the enemies and the
-- objectives in order. Texts are string-table ids (data/strings).
missions = {
  kessa_raiders = {
    title = 210, system = "vesk", location = "kessa_outpost",
    -- The mission's texts, and the music that plays while it is flown.
    strings = "data/strings/en_mission.txt", music = "sounds/music/vesk_theme.wav",
    -- A helper of the system's model the player is told the distance of.
    landmark = "location:kessa_belt",
    player = { id = "hawk", kind = "hawk", faction = "player" },
    -- The raiders the location's "gen:" helpers make; they keep near their
    -- anchor until the player has reached the waypoint, then hunt.
    enemies = { ids = { "raider01", "raider02", "raider03" }, kind = "raider", faction = "pirates",
                anchor = "station_dock", leash = 3000, huntLeash = 30000, ai = "raider" },
    objectives = {
      { id = "waypoint", text = 200, kind = "reach", target = "waypoint01", radius = 500 },
      { id = "raiders", text = 201, kind = "destroy" },
      { id = "report", text = 202, kind = "talk", target = "outpost_kessa", radius = 3000,
        dialog = "kessa_dispatch.dlg", persons = { "kessa", "dispatcher" } },
    },
    -- The game is saved when the waypoint is reached, and listed under this label.
    checkpoint = "kessa_waypoint", checkpointLabel = "Kessa belt waypoint",
    -- The outpost's jump gate (a portal effect at the location's helper):
    -- it opens when the raiders are down and closes when the ship reports.
    gate = { helper = "gate:kessa", fx = "kessa_gate" },
  },
}

