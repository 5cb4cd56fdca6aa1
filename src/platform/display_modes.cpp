#include "platform/display_modes.h"

#include <SDL.h>

namespace vesk::platform {
namespace {

// Opens the video subsystem for the lifetime of the guard.
class VideoSession {
public:
    VideoSession() : ok_(SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {}
    ~VideoSession() {
        if (ok_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    VideoSession(const VideoSession&) = delete;
    VideoSession& operator=(const VideoSession&) = delete;
    bool ok() const { return ok_ && SDL_GetNumVideoDisplays() > 0; }

private:
    bool ok_;
};

} // namespace

std::vector<DisplayMode> DesktopDisplayModes() {
    std::vector<DisplayMode> modes;
    VideoSession video;
    if (!video.ok()) return modes;
    int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode m{};
        if (SDL_GetDisplayMode(0, i, &m) != 0 || m.w <= 0 || m.h <= 0) continue;
        DisplayMode mode{m.w, m.h, m.refresh_rate};
        bool seen = false;
        for (const DisplayMode& known : modes) seen = seen || known == mode;
        if (!seen) modes.push_back(mode);
    }
    return modes;
}

std::string DesktopDisplayName() {
    VideoSession video;
    if (!video.ok()) return {};
    const char* name = SDL_GetDisplayName(0);
    return name ? std::string(name) : std::string();
}

} // namespace vesk::platform
