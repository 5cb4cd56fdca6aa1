#pragma once
// The interface engine's service to the application: the desktop with its
// console and input parts, and the links the render engine reads.
namespace vesk {

struct CoreServices;
class TDeskTop;

void InstallInterfaceServices(CoreServices& services);
// The live desktop, nullptr before Create and after Release.
TDeskTop* CurrentDesktop();

} // namespace vesk
