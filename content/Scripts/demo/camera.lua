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

cameraDemo = { flying = false, logged = 0, stage = "track", waited = 0, followed = 0 }

-- The chaser: a fighter the camera follows once the track has flown.
mesh.cam_demo_hawk = { name = "Camera demo fighter", path = "models/ships/vesk_hawk.cm",
  physic_params = { ph_Type = "small", ph_MaxVelocity = 400, ph_AccelerateTime = 2,
    ph_MaxRotateVelocity = 90, ph_RotateForceMultiply = 4, ph_RotateFading = 1, ph_MaxPitchAngle = 60,
    ph_StaticRotate90Time = 1, ph_MaxRollAngle = 30, ph_RollForceMultiply = 2, ph_RollFading = 1 } }

-- The talker: a head whose animation file has its own camera and target; the
-- interface viewport that shows it looks through that camera.
materials.camera_talker_skin = { id = "1101", texture_technique = 20, diffuse_color = "FFFFFF",
  specular_color = "0", ambient_color = "FFFFFF", emissive_color = "0", power = 1,
  diffuse_map = { name = "camera_demo/talker", mipbias = 0, mipfilter = 0, magfilter = 1, minfilter = 1 } }
mesh.camera_talker = { name = "camera_talker", path = "models/camera_demo" }

-- Fired by the camera player when the flight has passed its last point.
function cameraDemo.TrackDone()
  cameraDemo.flying = false
  demo.trace("camera: track done at " .. cameraText())
  -- The chaser is made in the scene; its unit comes with the next ticks.
  engine_AddVar("obj", "camChaser", "TGameObject")
  engine_SetVar("obj.camChaser.SOClass", "2")
  engine_SetVar("obj.camChaser.position", "-2000 3000 0")
  engine_SetVar("obj.camChaser.spacemodel", "cam_demo_hawk")
  cameraDemo.stage = "wait"
end

-- The camera looks at the chaser, then flies behind it while it goes east.
local function follow()
  if engine_GetVar("obj.camChaser.hex") == "0" then
    cameraDemo.waited = cameraDemo.waited + 1
    if cameraDemo.waited == 20 then
      demo.trace("camera: camChaser has no unit in the scene to follow")
      cameraDemo.stage = "done"
    end
    return
  end
  engine_CameraResetFreeLookMode()
  engine_CameraOnObj("camChaser")
  demo.trace("camera: looking at camChaser from " .. cameraText())
  engine_SetCameraAlign(0, 0, 0)
  engine_PhCommand("obj.camChaser", "goToPoint", "", 2000, 3000, 0)
  cameraDemo.stage = "follow"
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

demo.OnInit("camera_talker", function()
  engine_Desktop("insert", "CameraDemoTalker", demo.checks or "desktop", "", "TViewportNode")
  engine_Desktop("update", "CameraDemoTalker", "HSCALE", "LEFT", "VSCALE", "TOP", "LEFT", "824", "TOP", "360",
    "WIDTH", "192", "HEIGHT", "192", "FRAMECOLOR", "FFE0A040", "VIEWPORT", "camera_talker")
  demo.trace("camera: viewport node shows camera_talker")
end)

demo.OnTick("camera", function(ms, tickNo)
  if cameraDemo.flying and cameraDemo.logged < 20 then
    cameraDemo.logged = cameraDemo.logged + 1
    demo.trace("camera: flying at " .. cameraText())
  elseif cameraDemo.stage == "wait" then
    follow()
  elseif cameraDemo.stage == "follow" and cameraDemo.followed < 10 then
    cameraDemo.followed = cameraDemo.followed + 1
    demo.trace("camera: following camChaser at " .. cameraText())
  end
end)
