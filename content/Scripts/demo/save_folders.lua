-- Saved-game folders: a slot is copied and the copy deleted again through the
-- engine, which keeps both inside the game folder.
local function slotExists(name)
  local f = io.open("save/" .. name .. "/probe.lua", "rb")
  if f then f:close() end
  return f ~= nil
end

demo.OnInit("save_folders", function()
  engine_CopySaveDir("demo_slot", "demo_copy")
  local f = io.open("save/demo_copy/probe.lua", "wb")
  if f then
    f:write("probe = 1\n")
    f:close()
  end
  engine_CopySaveDir("demo_copy", "demo_copy2")
  local copied = slotExists("demo_copy2")
  engine_DeleteSaveDir("demo_copy2")
  engine_DeleteSaveDir("demo_copy")
  demo.trace("save folders: copied=" .. tostring(copied) .. " deleted=" ..
    tostring(not slotExists("demo_copy") and not slotExists("demo_copy2")))
end)
