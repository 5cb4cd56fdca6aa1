-- The generated assets are in place: the generator leaves its version in the
-- game folder.
demo.OnInit("assets", function()
  local f = io.open("data/generated/version.txt", "r")
  if f then
    demo.trace("assets: " .. (f:read("*l") or "?"))
    f:close()
  else
    demo.trace("assets: missing (run the content generator)")
  end
end)
