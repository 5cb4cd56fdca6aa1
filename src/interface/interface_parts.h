#pragma once
// The interface engine's service to the application is one object (the
// desktop's), but the console and the input devices are built apart from the
// desktop. Each installs its part here at start-up; the desktop's service
// calls what is installed and does nothing for a part that is absent.
#include <functional>
#include <string>

namespace vesk {

namespace platform {
class IWindow;
}

struct InterfaceParts {
    // The console: runs a command file line by line (relative to the program folder).
    std::function<void(const std::string& file)> execConsoleFile;
    // The value a command file's own lines give a settings variable, read without running them.
    std::function<std::string(const std::string& file, const std::string& name)> peekConsoleValue;
    // The input devices: made on the main window, acquired or not, ticked each frame.
    std::function<void(platform::IWindow& window)> initInput;
    std::function<void(bool acquired)> setInputAcquired;
    std::function<void(float dtMs)> tickInput;
    std::function<void()> freeInput;
};

InterfaceParts& GetInterfaceParts();

} // namespace vesk
