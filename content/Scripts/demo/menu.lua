-- The main menu, built from script through the interface tool functions: a
-- panel with its picture, a title, three buttons, a loading bar, a video
-- panel and screen noise. (The flight HUD's controls are the HUD part's.)

local D = engine_Desktop

local node = desktopNode

local clicked = {}
function menuClick(name)
  clicked[name] = (clicked[name] or 0) + 1
  demo.trace("menu: " .. name .. " clicked")
end

function menuVideoEnded()
  demo.trace("menu: intro clip ended")
end

local function buildMenu()
  node("MainMenu", "desktop", "TMegaButton", {
    "LEFT", "312", "TOP", "84", "WIDTH", "400", "HEIGHT", "600",
    "IMAGE", "interface\\menu_panel", "FRAMECOLOR", "FF5AA0DC",
  })
  node("MenuTitle", "MainMenu", "TLabelNode", {
    "LEFT", "40", "TOP", "24", "WIDTH", "320", "HEIGHT", "64",
    "IMAGE", "interface\\menu_title", "TEXT", "VESK ANNALS", "FONTSIZE", "22",
    "TEXTCOLOR", "FFFFFFFF", "TEXTALIGN", "CENTER", "TEXTVERTALIGN", "CENTER", "TEXTSTYLE", "SHADOW",
  })
  -- The buttons share one pattern: a framed plate whose colours change under the cursor.
  node("MenuButtonPattern", "MainMenu", "TMegaButton", {
    "VISIBLE", "0", "LEFT", "60", "WIDTH", "280", "HEIGHT", "48",
    "COLOR", "C0183050", "FRAMECOLOR", "FF5AA0DC", "FONTSIZE", "16", "TEXTCOLOR", "FFE0F0FF",
    "TEXTALIGN", "CENTER", "TEXTVERTALIGN", "CENTER",
    "ONMOUSEOVER", "engine_Desktop(slf .. '::COLOR', 'E0306090')",
    "ONMOUSEOUT", "engine_Desktop(slf .. '::COLOR', 'C0183050')",
    "ONMOUSECLICK", "menuClick(slf)",
  })
  local buttons = { { "MenuNewGame", "New game" }, { "MenuOptions", "Options" }, { "MenuQuit", "Quit" } }
  for i = 1, table.getn(buttons) do
    local b = buttons[i]
    node(b[1], "MainMenu", "TMegaButton", { "VISIBLE", "1", "TOP", tostring(120 + (i - 1) * 64), "TEXT", b[2] },
      "MenuButtonPattern")
  end
  -- A wrapped, bottom-aligned note under the buttons.
  node("MenuNote", "MainMenu", "TLabelNode", {
    "LEFT", "40", "TOP", "316", "WIDTH", "320", "HEIGHT", "76", "FONTSIZE", "12",
    "TEXTCOLOR", "FFA0C0E0", "TEXTVERTALIGN", "BOTTOM",
    "TEXT", "#2Labels#0, buttons, pictures, a bar and a video panel.",
  })
  -- The loading bar: two parts that share the width by the value.
  node("MenuBar", "MainMenu", "TActiveHelperBar", {
    "LEFT", "40", "TOP", "400", "WIDTH", "320", "HEIGHT", "12", "FRAMECOLOR", "FF5AA0DC",
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
  node("MenuVideo", "MainMenu", "TVideoNode", {
    "LEFT", "120", "TOP", "432", "WIDTH", "160", "HEIGHT", "120", "FRAMECOLOR", "FF5AA0DC",
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

demo.OnInit("menu", function()
  buildMenu()
  demo.trace("menu: built, title " .. tostring(getfast_text("MenuTitle")) ..
    ", note width " .. engine_GetLineWidth("A demonstration", "12") ..
    ", " .. table.getn(engine_GetDirContent("data/video/*.avi")) .. " clip(s)")
end)

-- The bar fills over the first second of script ticks; the indicators blink a test round.
demo.OnTick("menu", function(ms, tick)
  if tick == 1 then
    D("IndicatorArray::TESTON")
  end
  local value = math.min(1, tick * 0.05)
  D("MenuBar::BARVALUE", tostring(value))
  if tick == 20 then
    -- The clock's digits: 8 or 9 by the milliseconds (the count itself changes run to run).
    local clockDigits = string.find(engine_GetTime(), "^%d%d%d%d%d%d%d%d%d?$") ~= nil
    demo.trace("menu: bar full, time of day in digits " .. tostring(clockDigits) .. ", visible " ..
      tostring(get_visible("MenuNewGame")))
    D("IndicatorArray::TESTOFF")
  end
end)
