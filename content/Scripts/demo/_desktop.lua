-- What the interface parts of the demo share (this file runs before them).

-- Inserts an interface node under a parent (copied from a pattern when one
-- is named) and sets its properties in one go. Every node scales with the
-- screen from its top left corner.
function desktopNode(name, parent, class, props, pattern)
  engine_Desktop("insert", name, parent, pattern or "", class or "TMegaButton")
  local args = { "update", name, "HSCALE", "LEFT", "VSCALE", "TOP" }
  props = props or {}
  for i = 1, table.getn(props), 2 do
    table.insert(args, props[i])
    table.insert(args, props[i + 1])
  end
  engine_Desktop(unpack(args))
end

-- A node's rectangle as its property list.
function desktopRect(l, t, w, h)
  return { "LEFT", tostring(l), "TOP", tostring(t), "WIDTH", tostring(w), "HEIGHT", tostring(h) }
end

-- Property lists joined into one.
function desktopWith(...)
  local out = {}
  for i = 1, table.getn(arg) do
    for j = 1, table.getn(arg[i]) do
      table.insert(out, arg[i][j])
    end
  end
  return out
end

-- The start-up's checks keep the widgets they exercise in a layer of their
-- own: it still ticks, so the widgets do their work, but it is never drawn
-- and takes no key or click, so the player's menu and HUD show only the
-- player's things. A tester shows it with engine_Desktop("DemoChecks::VISIBLE", "1").
demo.checks = "DemoChecks"
demo.OnInit("checks layer", function()
  desktopNode(demo.checks, "desktop", "TMegaButton", { "VISIBLE", "0", "ENABLED", "0" })
end)
