-- Dialogs: the people a dialog names (Scripts/data/dialogs.lua) and the
-- words it asks for, and the conversation shown in the dialog window, where
-- the player picks an answer until the dialog ends.

game = game or {}

-- The answer the dialog engine offers when a conversation is over.
game.dialogEnd = "\202\238\237\229\246\32\228\232\224\235\238\227\224\46"

-- Who speaks: name, face and duty, each ended by "^".
function getPersFace(group, role)
  local p = persons[group] and persons[group][role]
  if p == nil then return "^^^" end
  return p.name .. "^" .. p.head .. "^" .. p.duty .. "^"
end

-- The text for a name a dialog writes in square brackets.
function DialogVar(name)
  return dialogWords[name] or name
end

-- The dialog engine's state text read into its fields; the answers as the
-- player reads them ("display"), the end of the dialog in plain words.
function game.ReadDialog(state)
  local fields = { display = {} }
  for key, value in string.gfind(state or "", "([%w_]+)=([^%^]*)%^") do
    fields[key] = value
  end
  local i = 1
  while fields["Answer_" .. i] do
    local answer = fields["Answer_" .. i]
    if answer == game.dialogEnd then
      fields.display[i] = "End of the conversation."
    else
      fields.display[i] = answer
    end
    i = i + 1
  end
  return fields
end

-- A conversation begins: the dialog file with the two keys of its speaker.
function game.OpenDialog(file, group, role)
  local code = engine_LoadDialog(file, group, role)
  game.dialog = game.ReadDialog(engine_GetDialog())
  gameUi.ShowDialog(game.dialog)
  return code
end

-- A number key while a conversation is open answers with that number; true
-- when the key was taken for an answer (else it keeps its flight command).
function game.AnswerKey(i)
  if game.dialog == nil or game.dialog["Answer_" .. i] == nil then return false end
  game.Answer(i)
  return true
end

-- The player's answer; true when it ended the conversation.
function game.Answer(i)
  local d = game.dialog
  if d == nil or d["Answer_" .. i] == nil then return false end
  local said = d.display[i]
  if d["Answer_" .. i] == game.dialogEnd then
    game.dialog = nil
    gameUi.HideDialog()
    if mission then mission.DialogEnded(said) end
    return true
  end
  game.dialog = game.ReadDialog(engine_GetDialog(i))
  gameUi.ShowDialog(game.dialog)
  if mission then mission.DialogAnswered(i, said) end
  return false
end
