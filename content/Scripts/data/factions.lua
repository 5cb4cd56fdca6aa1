-- The factions and how each sees the others: 50 is neutral, below 50
-- hostile, above 50 friendly. Attitudes need not be mutual.
factions = {
  player = { pirates = 10, kessa = 80 },
  pirates = { player = 10, kessa = 20 },
  kessa = { player = 80, pirates = 25 },
}
