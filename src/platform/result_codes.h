#pragma once
// Result codes of the device, sound and input layers: 32-bit values, zero is
// success, negative values are failures. The values follow the conventions the
// engine's reports and content expect, so logged numbers stay comparable.
#include <cstdint>
#include <string>

namespace vesk::platform {

using Result = int32_t;

constexpr Result MakeResult(uint32_t facilityBase, uint32_t code) {
    return static_cast<Result>(facilityBase | code);
}
constexpr uint32_t kDeviceFacility = 0x88760000u; // graphics device and its helpers
constexpr uint32_t kSoundFacility = 0x88780000u;

inline constexpr Result S_OK = 0;
inline constexpr Result S_FALSE = 1;
inline constexpr Result E_NOTIMPL = static_cast<Result>(0x80004001u);
inline constexpr Result E_NOINTERFACE = static_cast<Result>(0x80004002u);
inline constexpr Result E_POINTER = static_cast<Result>(0x80004003u);
inline constexpr Result E_FAIL = static_cast<Result>(0x80004005u);
inline constexpr Result E_ACCESSDENIED = static_cast<Result>(0x80070005u);
inline constexpr Result E_OUTOFMEMORY = static_cast<Result>(0x8007000Eu);
inline constexpr Result E_INVALIDARG = static_cast<Result>(0x80070057u);

// Graphics device.
inline constexpr Result D3D_OK = 0;
inline constexpr Result D3DERR_WRONGTEXTUREFORMAT = MakeResult(kDeviceFacility, 2072);
inline constexpr Result D3DERR_UNSUPPORTEDCOLOROPERATION = MakeResult(kDeviceFacility, 2073);
inline constexpr Result D3DERR_UNSUPPORTEDCOLORARG = MakeResult(kDeviceFacility, 2074);
inline constexpr Result D3DERR_UNSUPPORTEDALPHAOPERATION = MakeResult(kDeviceFacility, 2075);
inline constexpr Result D3DERR_UNSUPPORTEDALPHAARG = MakeResult(kDeviceFacility, 2076);
inline constexpr Result D3DERR_TOOMANYOPERATIONS = MakeResult(kDeviceFacility, 2077);
inline constexpr Result D3DERR_CONFLICTINGTEXTUREFILTER = MakeResult(kDeviceFacility, 2078);
inline constexpr Result D3DERR_UNSUPPORTEDFACTORVALUE = MakeResult(kDeviceFacility, 2079);
inline constexpr Result D3DERR_CONFLICTINGRENDERSTATE = MakeResult(kDeviceFacility, 2081);
inline constexpr Result D3DERR_UNSUPPORTEDTEXTUREFILTER = MakeResult(kDeviceFacility, 2082);
inline constexpr Result D3DERR_CONFLICTINGTEXTUREPALETTE = MakeResult(kDeviceFacility, 2086);
inline constexpr Result D3DERR_DRIVERINTERNALERROR = MakeResult(kDeviceFacility, 2087);
inline constexpr Result D3DERR_NOTFOUND = MakeResult(kDeviceFacility, 2150);
inline constexpr Result D3DERR_MOREDATA = MakeResult(kDeviceFacility, 2151);
inline constexpr Result D3DERR_DEVICELOST = MakeResult(kDeviceFacility, 2152);
inline constexpr Result D3DERR_DEVICENOTRESET = MakeResult(kDeviceFacility, 2153);
inline constexpr Result D3DERR_NOTAVAILABLE = MakeResult(kDeviceFacility, 2154);
inline constexpr Result D3DERR_OUTOFVIDEOMEMORY = MakeResult(kDeviceFacility, 380);
inline constexpr Result D3DERR_INVALIDDEVICE = MakeResult(kDeviceFacility, 2155);
inline constexpr Result D3DERR_INVALIDCALL = MakeResult(kDeviceFacility, 2156);
inline constexpr Result D3DERR_DRIVERINVALIDCALL = MakeResult(kDeviceFacility, 2157);
inline constexpr Result D3DERR_WASSTILLDRAWING = MakeResult(kDeviceFacility, 540);
inline constexpr Result D3DXERR_INVALIDDATA = MakeResult(kDeviceFacility, 2905);

// Sound device.
inline constexpr Result DSERR_ALLOCATED = MakeResult(kSoundFacility, 10);
inline constexpr Result DSERR_CONTROLUNAVAIL = MakeResult(kSoundFacility, 30);
inline constexpr Result DSERR_INVALIDPARAM = E_INVALIDARG;
inline constexpr Result DSERR_INVALIDCALL = MakeResult(kSoundFacility, 50);
inline constexpr Result DSERR_GENERIC = E_FAIL;
inline constexpr Result DSERR_PRIOLEVELNEEDED = MakeResult(kSoundFacility, 70);
inline constexpr Result DSERR_OUTOFMEMORY = E_OUTOFMEMORY;
inline constexpr Result DSERR_BADFORMAT = MakeResult(kSoundFacility, 100);
inline constexpr Result DSERR_UNSUPPORTED = E_NOTIMPL;
inline constexpr Result DSERR_NODRIVER = MakeResult(kSoundFacility, 120);
inline constexpr Result DSERR_BUFFERLOST = MakeResult(kSoundFacility, 150);
inline constexpr Result DSERR_OTHERAPPHASPRIO = MakeResult(kSoundFacility, 160);
inline constexpr Result DSERR_UNINITIALIZED = MakeResult(kSoundFacility, 170);
inline constexpr Result DSERR_BUFFERTOOSMALL = MakeResult(kSoundFacility, 180);

// Input devices.
inline constexpr Result DIERR_INPUTLOST = static_cast<Result>(0x8007001Eu);
inline constexpr Result DIERR_NOTACQUIRED = static_cast<Result>(0x8007000Cu);
inline constexpr Result DIERR_NOTINITIALIZED = static_cast<Result>(0x80070015u);
inline constexpr Result DIERR_OTHERAPPHASPRIO = E_ACCESSDENIED;
inline constexpr Result DIERR_DEVICENOTREG = static_cast<Result>(0x80040154u);

constexpr bool Succeeded(Result r) { return r >= 0; }
constexpr bool Failed(Result r) { return r < 0; }

// Name ("D3DERR_DEVICELOST") and one-line description of a result; an
// unknown value gives its hexadecimal text and "Unknown result".
std::string ResultName(Result r);
std::string ResultDescription(Result r);

} // namespace vesk::platform
