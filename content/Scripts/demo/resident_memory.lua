-- The game's resident memory soon after the start and then every 500 script
-- ticks (about 3,500 frames of 16 ms), read from the system's own account of
-- the process, so a long run shows whether it stays flat.
local function residentKb()
  local f = io.open("/proc/self/status", "r")
  if not f then return nil end
  local text = f:read("*a")
  f:close()
  local _, _, kb = string.find(text, "VmRSS:%s*(%d+)")
  return kb
end

demo.OnTick("resident_memory", function(ms, tick)
  if tick == 10 or math.mod(tick, 500) == 0 then
    demo.trace("memory: tick " .. tick .. " resident " .. tostring(residentKb()) .. " kB")
  end
end)
