-- A contact in a label and in an edit field (in the checks' layer): an "@"
-- that is no hex-text is kept as it stands, frame after frame.
demo.OnInit("text_at_signs", function()
  desktopNode("ContactLabel", demo.checks, "TLabelNode", {
    "LEFT", "20", "TOP", "700", "WIDTH", "300", "HEIGHT", "20", "FONTSIZE", "12",
    "TEXTCOLOR", "FFA0C0E0", "TEXT", "pilot@vesk.net",
  })
  desktopNode("ContactEdit", demo.checks, "TMegaButton", {
    "LEFT", "20", "TOP", "724", "WIDTH", "300", "HEIGHT", "20", "FONTSIZE", "12",
    "TEXTCOLOR", "FFFFFFFF", "TEXT", "wing@", "EDIT", "1",
  })
end)

demo.OnTick("text_at_signs", function(ms, tick)
  if tick == 2 then
    demo.trace("text: label '" .. tostring(getfast_text("ContactLabel")) .. "' and edit field '" ..
      tostring(getfast_text("ContactEdit")) .. "' drawn for 2 ticks")
  end
end)
