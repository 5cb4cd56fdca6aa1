-- Stand-ins for the content-side functions the game-object tree calls:
-- saveData writes exec_table as Lua text, loadData gives it back to the tree.
hooks = {}
function setHook(path, code)
  hooks[table.getn(hooks) + 1] = path
  lastHookCode = code
end
function emptyHook()
  hooked = (hooked or 0) + 1
end

local function write(v, out)
  if type(v) == "table" then
    local keys = {}
    for k in pairs(v) do table.insert(keys, k) end
    table.sort(keys, function(a, b) return tostring(a) < tostring(b) end)
    table.insert(out, "{")
    for _, k in ipairs(keys) do
      table.insert(out, "[" .. string.format("%q", tostring(k)) .. "]=")
      write(v[k], out)
      table.insert(out, ",\n")
    end
    table.insert(out, "}")
  elseif type(v) == "string" then
    table.insert(out, string.format("%q", v))
  else
    table.insert(out, tostring(v))
  end
end

function saveData(path, file)
  savedFile = file
  file = string.gsub(file, "\\", "/")
  local out = {"exec_table="}
  write(exec_table, out)
  local f = io.open(file, "wb")
  f:write(table.concat(out))
  f:close()
  savedPath = path
end

-- The engine has run the file in its data environment and left its data in
-- exec_table.
function loadData(path, file)
  engine_UpdateToEngine(path, "exec_table")
  loadedPath = path
  loadedFile = file
end
