-- The flight controls: a key (by the interface's key names) and the command
-- text run when it goes down and, for held keys, when it comes up. Moving the
-- mouse steers the ship; its buttons are in "mouse" below.
controls = {
  keys = {
    { key = "W", down = "engine_Serv('SHIP','SPEED','UP')" },
    { key = "S", down = "engine_Serv('SHIP','SPEED','DOWN')" },
    { key = "BACKSPACE", down = "engine_Serv('SHIP','SPEED','SET','0')" },
    { key = "Q", down = "engine_Serv('SHIP','SPEED','MAX')" },
    { key = "A", down = "engine_Serv('PHYSICS','SHIP','STRAFELEFT')", up = "engine_Serv('PHYSICS','SHIP','STRAFESTOP')" },
    { key = "D", down = "engine_Serv('PHYSICS','SHIP','STRAFERIGHT')", up = "engine_Serv('PHYSICS','SHIP','STRAFESTOP')" },
    { key = "LEFT", down = "engine_Serv('PHYSICS','SHIP','ROTATELEFT','0.5')",
      up = "engine_Serv('PHYSICS','SHIP','STOPROTATE')" },
    { key = "RIGHT", down = "engine_Serv('PHYSICS','SHIP','ROTATERIGHT','0.5')",
      up = "engine_Serv('PHYSICS','SHIP','STOPROTATE')" },
    { key = "SPACE", down = "game.Trigger(true)", up = "game.Trigger(false)" },
    { key = "R", down = "engine_Serv('ROCKETS','LAUNCH')" },
    { key = "1", down = "if not game.AnswerKey(1) then engine_Serv('GUNS','SELECT','0') end" },
    { key = "2", down = "if not game.AnswerKey(2) then engine_Serv('GUNS','SELECT','1') end" },
    { key = "3", down = "game.AnswerKey(3)" },
    { key = "4", down = "game.AnswerKey(4)" },
    { key = "T", down = "engine_Serv('TARGET','NEARESTENEMY')" },
    { key = "TAB", down = "engine_Serv('TARGET','NEXTENEMY')" },
    { key = "M", down = "engine_Serv('TARGET','MATCHSPEED')" },
    { key = "F", down = "engine_Serv('SHIP','FORCING','ON')", up = "engine_Serv('SHIP','FORCING','OFF')" },
    { key = "C", down = "game.ToggleCockpit()" },
    { key = "V", down = "engine_Serv('CAMERA','ROTATE','ON')", up = "engine_Serv('CAMERA','ROTATE','OFF')" },
    { key = "F5", down = "game.Save('quick')" },
    { key = "F9", down = "game.Load('quick')" },
    { key = "-", down = "game.Zoom(5)" },
    { key = "=", down = "game.Zoom(-5)" },
    { key = "[", down = "game.Volume(-10)" },
    { key = "]", down = "game.Volume(10)" },
    { key = "ESC", down = "game.Menu()" },
    { key = "ENTER", down = "game.Answer(1)" },
    { key = "JOYSTICK_BUTTON0", down = "game.Trigger(true)", up = "game.Trigger(false)" },
    { key = "JOYSTICK_BUTTON1", down = "engine_Serv('ROCKETS','LAUNCH')" },
    { key = "JOYSTICK_BUTTON2", down = "engine_Serv('TARGET','NEXTENEMY')" },
  },
  -- Keys for testers, there while the setting "debugkeys" is 1: the sound
  -- engine's figures on the screen and off again.
  debugKeys = {
    { key = "F11", down = "engine_Serv('DEBUG','SHOWSOUNDDATA')" },
    { key = "F12", down = "engine_Serv('DEBUG','HIDESOUNDDATA')" },
  },
  -- The mouse's buttons in flight (button 0 the left, 1 the right, 2 the
  -- middle): the left fires while it is held, the right picks the next enemy,
  -- and while the middle one (or V) is held the mouse looks around the ship,
  -- which holds its course meanwhile.
  mouse = {
    { button = 0, down = "game.Trigger(true)", up = "game.Trigger(false)" },
    { button = 1, down = "engine_Serv('TARGET','NEXTENEMY')" },
    { button = 2, down = "engine_Serv('CAMERA','ROTATE','ON')", up = "engine_Serv('CAMERA','ROTATE','OFF')" },
  },
  -- Joystick axes: the stick turns the ship, the throttle sets the speed, the
  -- twist strafes.
  axes = {
    { axis = "JOYSTICK_AXIS_LX_INC", action = "rotate", invert = 0 },
    { axis = "JOYSTICK_AXIS_LZ_INC", action = "velocity", invert = 1 },
    { axis = "JOYSTICK_AXIS_RZ_INC", action = "strafe", invert = 0 },
  },
}
