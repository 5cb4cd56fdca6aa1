#include "platform/result_codes.h"

#include <cstdio>

namespace vesk::platform {
namespace {

struct ResultText {
    Result value;
    const char* name;
    const char* description;
};

// Values shared by several layers (the sound and input aliases of the general
// codes) appear once, under their general name.
constexpr ResultText kResults[] = {
    {S_OK, "S_OK", "The call succeeded."},
    {S_FALSE, "S_FALSE", "The call succeeded but did nothing or returned a partial answer."},
    {E_NOTIMPL, "E_NOTIMPL", "The operation is not supported."},
    {E_NOINTERFACE, "E_NOINTERFACE", "The requested interface is not available."},
    {E_POINTER, "E_POINTER", "A required pointer argument was missing."},
    {E_FAIL, "E_FAIL", "The call failed for an unspecified reason."},
    {E_ACCESSDENIED, "E_ACCESSDENIED", "Access was denied, or another program holds the device."},
    {E_OUTOFMEMORY, "E_OUTOFMEMORY", "Not enough memory to complete the call."},
    {E_INVALIDARG, "E_INVALIDARG", "An argument was not valid."},

    {D3DERR_WRONGTEXTUREFORMAT, "D3DERR_WRONGTEXTUREFORMAT",
     "The pixel format of the texture is not supported."},
    {D3DERR_UNSUPPORTEDCOLOROPERATION, "D3DERR_UNSUPPORTEDCOLOROPERATION",
     "The device does not support this colour blending operation."},
    {D3DERR_UNSUPPORTEDCOLORARG, "D3DERR_UNSUPPORTEDCOLORARG",
     "The device does not support this colour blending argument."},
    {D3DERR_UNSUPPORTEDALPHAOPERATION, "D3DERR_UNSUPPORTEDALPHAOPERATION",
     "The device does not support this alpha blending operation."},
    {D3DERR_UNSUPPORTEDALPHAARG, "D3DERR_UNSUPPORTEDALPHAARG",
     "The device does not support this alpha blending argument."},
    {D3DERR_TOOMANYOPERATIONS, "D3DERR_TOOMANYOPERATIONS",
     "More texture blending operations were asked for than the device can do."},
    {D3DERR_CONFLICTINGTEXTUREFILTER, "D3DERR_CONFLICTINGTEXTUREFILTER",
     "The current texture filters cannot be used together."},
    {D3DERR_UNSUPPORTEDFACTORVALUE, "D3DERR_UNSUPPORTEDFACTORVALUE",
     "The device does not support this texture factor value."},
    {D3DERR_CONFLICTINGRENDERSTATE, "D3DERR_CONFLICTINGRENDERSTATE",
     "The current render states cannot be used together."},
    {D3DERR_UNSUPPORTEDTEXTUREFILTER, "D3DERR_UNSUPPORTEDTEXTUREFILTER",
     "The device does not support this texture filter."},
    {D3DERR_CONFLICTINGTEXTUREPALETTE, "D3DERR_CONFLICTINGTEXTUREPALETTE",
     "The current textures cannot be used together with their palettes."},
    {D3DERR_DRIVERINTERNALERROR, "D3DERR_DRIVERINTERNALERROR", "The display driver failed internally."},
    {D3DERR_NOTFOUND, "D3DERR_NOTFOUND", "The requested item was not found."},
    {D3DERR_MOREDATA, "D3DERR_MOREDATA", "There is more data than the given buffer can hold."},
    {D3DERR_DEVICELOST, "D3DERR_DEVICELOST", "The device was lost and cannot be reset yet."},
    {D3DERR_DEVICENOTRESET, "D3DERR_DEVICENOTRESET", "The device was lost and can be reset now."},
    {D3DERR_NOTAVAILABLE, "D3DERR_NOTAVAILABLE", "The requested format or feature is not available."},
    {D3DERR_OUTOFVIDEOMEMORY, "D3DERR_OUTOFVIDEOMEMORY", "Not enough video memory to complete the call."},
    {D3DERR_INVALIDDEVICE, "D3DERR_INVALIDDEVICE", "The requested device type is not valid."},
    {D3DERR_INVALIDCALL, "D3DERR_INVALIDCALL", "The call was not valid, or an argument was wrong."},
    {D3DERR_DRIVERINVALIDCALL, "D3DERR_DRIVERINVALIDCALL", "The driver rejected the call."},
    {D3DERR_WASSTILLDRAWING, "D3DERR_WASSTILLDRAWING", "The device is still drawing with this resource."},
    {D3DXERR_INVALIDDATA, "D3DXERR_INVALIDDATA", "The data is not valid."},

    {DSERR_ALLOCATED, "DSERR_ALLOCATED", "The sound resource is already in use."},
    {DSERR_CONTROLUNAVAIL, "DSERR_CONTROLUNAVAIL", "The buffer was not created with the requested control."},
    {DSERR_INVALIDCALL, "DSERR_INVALIDCALL", "The call is not valid in the object's current state."},
    {DSERR_PRIOLEVELNEEDED, "DSERR_PRIOLEVELNEEDED", "The call needs a higher cooperative level."},
    {DSERR_BADFORMAT, "DSERR_BADFORMAT", "The wave format is not supported."},
    {DSERR_NODRIVER, "DSERR_NODRIVER", "No sound driver is available."},
    {DSERR_BUFFERLOST, "DSERR_BUFFERLOST", "The buffer memory was lost and must be restored."},
    {DSERR_OTHERAPPHASPRIO, "DSERR_OTHERAPPHASPRIO", "Another program has a higher priority on the device."},
    {DSERR_UNINITIALIZED, "DSERR_UNINITIALIZED", "The sound object was not initialised."},
    {DSERR_BUFFERTOOSMALL, "DSERR_BUFFERTOOSMALL", "The buffer is too small for the call."},

    {DIERR_INPUTLOST, "DIERR_INPUTLOST", "Access to the input device was lost; it must be acquired again."},
    {DIERR_NOTACQUIRED, "DIERR_NOTACQUIRED", "The input device is not acquired."},
    {DIERR_NOTINITIALIZED, "DIERR_NOTINITIALIZED", "The input object was not initialised."},
    {DIERR_DEVICENOTREG, "DIERR_DEVICENOTREG", "The input device is not registered."},
};

const ResultText* Find(Result r) {
    for (const auto& e : kResults)
        if (e.value == r) return &e;
    return nullptr;
}

} // namespace

std::string ResultName(Result r) {
    if (const ResultText* e = Find(r)) return e->name;
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(r));
    return buf;
}

std::string ResultDescription(Result r) {
    if (const ResultText* e = Find(r)) return e->description;
    return "Unknown result";
}

} // namespace vesk::platform
