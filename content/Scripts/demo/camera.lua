-- The game camera: a camera track recorded from the running camera and
-- played back through the camera player ("cameraPlayer"), with the camera's
-- position logged while it flies.

local function round(v)
  return math.floor(tonumber(v) + 0.5)
end

local function cameraText()
  local x, y, z = engine_CameraGetPos()
  return round(x) .. " " .. round(y) .. " " .. round(z)
end

local function player(action, param)
  engine_Execute("cameraPlayer", action, param or "")
end

-- One key point: the camera is put there, the point is taken from it, and
-- its flight time and view direction are set on the new point.
local function addPoint(track, x, y, z, dx, dy, dz, seconds)
  engine_CameraSetPos(x, y, z)
  player("newPoint", track)
  local base = "cameraPlayer.tracks." .. track
  local point = base .. ".points." .. engine_GetVar(base .. ".curPoint")
  engine_SetVar(point .. ".direction.x", tostring(dx))
  engine_SetVar(point .. ".direction.y", tostring(dy))
  engine_SetVar(point .. ".direction.z", tostring(dz))
  engine_SetVar(point .. ".moveTime", tostring(seconds))
  engine_SetVar(point .. ".useVelocity", "0")
end

-- The camera's shake sets the blur of the post-processing through this
-- script function; the demo keeps the values where a post-process script
-- would read them.
if not SetPPParam then
  ppParams = {}
  function SetPPParam(effect, key, value)
    ppParams[effect] = ppParams[effect] or {}
    ppParams[effect][key] = value
  end
end

cameraDemo = { flying = false, logged = 0 }

-- Fired by the camera player when the flight has passed its last point.
function cameraDemo.TrackDone()
  cameraDemo.flying = false
  demo.trace("camera: track done at " .. cameraText())
end

demo.OnInit("camera", function()
  -- A circle of four points around the origin, each reached in half a second.
  player("newTrack", "flyby")
  addPoint("flyby", 0, -300, 100, 0, 1, 0, 0.5)
  addPoint("flyby", 300, 0, 100, -1, 0, 0, 0.5)
  addPoint("flyby", 0, 300, 100, 0, -1, 0, 0.5)
  addPoint("flyby", -300, 0, 100, 1, 0, 0, 0.5)
  demo.trace("camera: track flyby with 4 points, last at " .. cameraText())
  engine_SetVar("cameraPlayer.callback.event", "cameraDemo.TrackDone()")
  player("play")
  cameraDemo.flying = true
  demo.trace("camera: track playing from " .. cameraText())
end)

demo.OnTick("camera", function(ms, tickNo)
  if cameraDemo.flying and cameraDemo.logged < 20 then
    cameraDemo.logged = cameraDemo.logged + 1
    demo.trace("camera: flying at " .. cameraText())
  end
end)
