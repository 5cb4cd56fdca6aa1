-- The engine's own functions: traces into the console and the logs, the
-- overlay's status text, the settings' scene texts, the first start, the
-- scene and post-process switches, wide-screen videos and frame capture.
demo.OnInit("core", function()
  engine_Print("demo console line", 1, true)
  engine_PrintC("demo coloured console line", 2)
  engine_PrintLog("demo: a line of the error log from a script")
  engine_PrintPhysis("demo: a physics trace")
  engine_SetStatus("demo running")
  local spts, spts2 = engine_GetSPTS()
  demo.trace("core: spts=[" .. tostring(spts) .. "] spts2=[" .. tostring(spts2) .. "] first start=" ..
    tostring(FirstTimeInit()))
  local lines = table.getn(iConsole.lines)
  demo.trace("core: console " .. tostring(iConsole.lines[lines - 1]) .. " / " .. tostring(iConsole.lines[lines]))
  engine_EnableRender(1)
  engine_EnableRenderPostProcess(1)
  demo.trace("core: effect time set=" .. tostring(engine_UpdatePostProcess("fotofilter", "ftime", "0.5")))
  engine_SetVideoWideScreen("1")
  -- Frame capture runs for a few script ticks (it writes frames only where
  -- there is a device to read them from).
  engine_KW1()
  demo.trace("core: capture started")
end)

demo.OnTick("core", function(ms, tick)
  if tick == 2 then
    engine_KW2()
    demo.trace("core: capture stopped")
  end
end)
