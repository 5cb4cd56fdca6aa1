-- The AI's sequences made in the game tree from Scripts/data/ai.lua, and the
-- function the engine calls when a ship gets an AI model.

game = game or {}

-- Each sequence once; its steps are task templates named s1, s2, ... across
-- all sequences, with their values.
function game.DefineSequences()
  local steps = 0
  for i = 1, table.getn(aiSequences) do
    local id, list = aiSequences[i][1], aiSequences[i][2]
    if engine_IsVar("sequences." .. id) == 0 then
      engine_AddVar("sequences", id)
      for j = 1, table.getn(list) do
        steps = steps + 1
        local path = "sequences." .. id
        engine_AddVar(path, "s" .. steps, list[j][1])
        for k, v in pairs(list[j][2] or {}) do
          engine_SetVar(path .. ".s" .. steps .. "." .. k, tostring(v))
        end
      end
    end
  end
end

-- A ship's AI model was made: it takes its model's ranges.
function setAi(path, name)
  local model = ai[name]
  if model and model.maxAttackRange then
    engine_SetVar(path .. ".ai.maxAttackRange", tostring(model.maxAttackRange))
    engine_SetVar(path .. ".ai.minAttackRange", tostring(model.minAttackRange))
  end
  if name ~= "dummy" then
    demo.trace("ai: " .. path .. " flies with the model " .. name)
  end
end
