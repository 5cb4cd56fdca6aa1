-- The render demo: the models the content generator writes under
-- models/render_demo, their materials and mesh descriptions, and the render
-- engine's script functions (model cache, game camera, resource caches).

-- The number of entries of a table (the engine's readers ask for it).
if not length then
  function length(t)
    if t == nil then return 0 end
    local n = 0
    for _ in pairs(t) do n = n + 1 end
    return n
  end
end

-- Flat texture colours, no lighting (technique 20: the texture as it is).
local function flatMaterial(id, texture)
  return { id = id, texture_technique = 20, diffuse_color = "FFFFFF", specular_color = "0",
           ambient_color = "FFFFFF", emissive_color = "0", power = 1,
           diffuse_map = { name = texture, mipbias = 0, mipfilter = 0, magfilter = 1, minfilter = 1 } }
end

if not materials.checker then
  materials.checker = flatMaterial("0", "general/checker")
end
materials.render_demo_hull = flatMaterial("1001", "render_demo/hull")
materials.demo_head_skin = flatMaterial("1002", "render_demo/demo_head")
materials.items_scene_skin = flatMaterial("1003", "render_demo/items_scene")
materials.render_demo_background = flatMaterial("1004", "render_demo/background")

mesh.render_demo = { name = "render_demo", path = "models/render_demo", kwsubobjects = { "antenna" } }
mesh.demo_head = { name = "demo_head", path = "models/render_demo" }
mesh.items_scene = { name = "items_scene", path = "models/render_demo" }

local function round(v)
  return math.floor(tonumber(v) + 0.5)
end

demo.OnInit("render", function()
  -- The model goes into the model cache once; later users share it.
  engine_PreCacheCM("models/render_demo/render_demo.cm")
  engine_PreCacheCM("models/render_demo/render_demo.cma")
  demo.trace("render: model cached")

  -- The game camera: field of view, zoom, a free flight that stands still, and a place.
  engine_CameraSetFOV(60)
  engine_SetCameraZoom(1)
  engine_CameraSetFreeLookMode()
  engine_CameraSetFreeLookModeVelocity(0, 0, 0)
  engine_CameraSetFreeLookModeRotVelocity(0)
  engine_CameraResetFreeLookMode()
  engine_CameraSetHelperFromName("cam_from")
  engine_CameraSetPos(-40, 0, 12)
  local x, y, z = engine_CameraGetPos()
  demo.trace("render: camera at " .. round(x) .. " " .. round(y) .. " " .. round(z))
  engine_CameraSetOri(-40, 0, 10)

  -- A character's head in an interface viewport: the node's own 3D scene
  -- loads the model, its parts and its animation, and draws it with the desktop.
  engine_Desktop("insert", "RenderDemoHead", demo.checks or "desktop", "", "TViewportNode")
  engine_Desktop("update", "RenderDemoHead", "HSCALE", "LEFT", "VSCALE", "TOP", "LEFT", "824", "TOP", "560",
    "WIDTH", "192", "HEIGHT", "192", "FRAMECOLOR", "FF5AA0DC", "VIEWPORT", "demo_head")
  demo.trace("render: viewport node shows demo_head")

  -- The caches: a ship warmed by its mesh name, then everything let go.
  engine_AddMeshToCache("render_demo", "ShipClass")
  engine_clearCache()
  demo.trace("render: caches cleared")
end)
