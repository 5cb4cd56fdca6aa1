#pragma once
// The game's share of the engine functions for traces and the first start:
// engine_PrintLog, engine_PrintPhysis, engine_GetSPTS, FirstTimeInit.
namespace vesk {

void InstallLogFunctions();

} // namespace vesk
