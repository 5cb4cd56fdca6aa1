-- How the AI flies: the models a ship's "ai_model" names (the engine makes
-- the class engineType names; the ranges are where attack runs start and
-- break off), and the named sequences of task steps its manoeuvres expand
-- into, in the order they are made.

ai = ai or {}
ai.raider = { engineType = "TGameObjectShipAIModel", maxAttackRange = 1800, minAttackRange = 300 }

aiSequences = {
  { "nothing", { { "TTaskwait", { time = 0.5 } }, { "TTaskaiEvent", { eventId = "onScan" } } } },
  { "patrolProcess", {
    { "TTaskrelinkDefaultAiObject", { aiObjString = "curPatrolPoint", time = 0 } },
    { "TTaskoneStepToDefAiObj", { time = 0.4 } },
    { "TTaskaiEvent", { eventId = "werifyAnchorDistance", time = 0 } },
    { "TTaskaiEvent", { eventId = "werifyPatrolRange" } } } },
  { "newAttackManeur", {
    { "TTaskrelinkDefaultAiObject", { aiObjString = "curEnemy", time = 0 } },
    { "TTaskaiEvent", { eventId = "activateBestWeapon", time = 0 } },
    { "TTaskaiEvent", { eventId = "onAttack", time = 0 } },
    { "TTaskoneStepAttackToDefAiObj", { time = 0.4 } },
    { "TTaskoneShotToDefAiObj", { time = 0.1 } },
    { "TTaskaiEvent", { eventId = "werifyAttackDistance" } } } },
  { "continueAttackManeur", {
    { "TTaskrelinkDefaultAiObject", { aiObjString = "curEnemy", time = 0 } },
    { "TTaskstartShotToDefAiObj", { time = 0.3 } },
    { "TTaskendShooting", { time = 0 } },
    { "TTaskaiEvent", { eventId = "werifyAttackDistance" } } } },
  { "leaveFromObj", {
    { "TTaskrelinkDefaultAiObject", { aiObjString = "curEnemy", time = 0 } },
    { "TTaskaiEvent", { eventId = "newRndPoint", time = 0 } },
    { "TTaskrelinkDefaultAiObject", { aiObjString = "curManeurPoint", time = 0 } },
    { "TTaskoneStepToDefAiObj", { time = 0.6 } },
    { "TTaskaiEvent", { eventId = "werifyAttackDistance" } } } },
  { "goToCurAnchor", {
    { "TTaskrelinkDefaultAiObject", { aiObjString = "curAnchor", time = 0 } },
    { "TTaskoneStepToDefAiObj", { time = 0.5 } },
    { "TTaskaiEvent", { eventId = "werifyAnchorDistance" } } } },
  { "onInToCurAnchor", {
    { "TTasksetAiParam", { paramId = "inAnchorRange", value = "1", time = 0 } },
    { "TTaskaiEvent", { eventId = "onScan" } } } },
  { "onShutdown", { { "TTaskstop", { time = 0 } } } },
}
