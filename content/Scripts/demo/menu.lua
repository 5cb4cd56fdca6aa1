-- The interface's widgets checked at start-up, in the checks' own layer (the
-- player's main menu is the game's, Scripts/game/menu.lua): a wrapped label
-- with colour pairs, a loading bar of two parts, a video panel that plays the
-- intro clip once with screen noise over it, and the indicator array's test round.

local D = engine_Desktop

local node = desktopNode

function menuVideoEnded()
  demo.trace("menu: intro clip ended")
end

local function buildWidgets()
  -- A wrapped, bottom-aligned note.
  node("MenuNote", demo.checks, "TLabelNode", {
    "LEFT", "352", "TOP", "400", "WIDTH", "320", "HEIGHT", "76", "FONTSIZE", "12",
    "TEXTCOLOR", "FFA0C0E0", "TEXTVERTALIGN", "BOTTOM",
    "TEXT", "#2Labels#0, buttons, pictures, a bar and a video panel.",
  })
  -- The loading bar: two parts that share the width by the value.
  node("MenuBar", demo.checks, "TActiveHelperBar", {
    "LEFT", "352", "TOP", "484", "WIDTH", "320", "HEIGHT", "12", "FRAMECOLOR", "FF5AA0DC",
    "DCOLOR1_100", "FF40E070", "DCOLOR1_50", "FFE0C040", "DCOLOR1_25", "FFE04040",
    "DCOLOR2_100", "60203040", "DCOLOR2_50", "60203040", "DCOLOR2_25", "60203040", "BARVALUE", "0.1",
  })
  -- Its parts bear the names every bar's parts have: they are made under names
  -- of their own and renamed, so that they are set up and not another bar's.
  node("MenuBar1", "MenuBar")
  node("MenuBar2", "MenuBar")
  D("MenuBar1::NAME", "Bar_1")
  D("MenuBar2::NAME", "Bar_2")
  -- The video panel plays the intro clip once, with screen noise over it.
  node("MenuVideo", demo.checks, "TVideoNode", {
    "LEFT", "432", "TOP", "516", "WIDTH", "160", "HEIGHT", "120", "FRAMECOLOR", "FF5AA0DC",
    "CALLBACK", "menuVideoEnded()",
  })
  node("MenuNoise", "MenuVideo", "TNoiseGenerator", {
    "WIDTH", "160", "HEIGHT", "120", "BASICNOISELEVEL", "10", "NOISELEVEL", "10",
  })
  for i = 1, 3 do
    node("MenuNoise" .. i, "MenuNoise", "TMegaButton", {
      "WIDTH", "160", "HEIGHT", "120", "IMAGE", "interface\\noise_" .. i, "BLEND", "ADD",
    })
  end
  D("MenuVideo::VIDEOCLIP", "data/video/menu_intro.avi")
end

demo.OnInit("menu", buildWidgets)

-- The menu is the game's, built after the checks' parts: it is read on the
-- first tick. The bar fills over the first second of script ticks; the
-- indicators blink a test round.
demo.OnTick("menu", function(ms, tick)
  if tick == 1 then
    demo.trace("menu: built, title " .. tostring(getfast_text("MenuTitle")) ..
      ", note width " .. engine_GetLineWidth("A demonstration", "12") ..
      ", " .. table.getn(engine_GetDirContent("data/video/*.avi")) .. " clip(s)")
    D("IndicatorArray::TESTON")
  end
  local value = math.min(1, tick * 0.05)
  D("MenuBar::BARVALUE", tostring(value))
  if tick == 20 then
    -- The clock's digits: 8 or 9 by the milliseconds (the count itself changes run to run).
    local clockDigits = string.find(engine_GetTime(), "^%d%d%d%d%d%d%d%d%d?$") ~= nil
    demo.trace("menu: bar full, time of day in digits " .. tostring(clockDigits) .. ", visible " ..
      tostring(get_visible("MenuNewGame")))
    -- The round ends with every lamp off, as the flight expects them.
    D("IndicatorArray::TESTOFF")
    engine_Serv("INTERFACE", "RESETINDICATORS")
  end
end)
