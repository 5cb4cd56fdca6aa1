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
