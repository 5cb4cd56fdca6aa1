#pragma once
// Values and records of the graphics device layer. The numbers are the ones
// the render engine and its content pass (render states, stage states, vertex
// format bits, formats, pools, flags), so tables and logs written by content
// keep their meaning.
#include <cstddef>
#include <cstdint>

#include "platform/math_types.h"

namespace vesk::platform {

using D3DCOLOR = uint32_t; // A8R8G8B8: bytes in memory are B, G, R, A

constexpr D3DCOLOR D3DCOLOR_ARGB(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return ((a & 0xFF) << 24) | ((r & 0xFF) << 16) | ((g & 0xFF) << 8) | (b & 0xFF);
}
constexpr D3DCOLOR D3DCOLOR_XRGB(uint32_t r, uint32_t g, uint32_t b) {
    return D3DCOLOR_ARGB(0xFF, r, g, b);
}

// Opaque handle of the native window the device presents into; nullptr means
// no window (headless rendering into the device's own back buffer).
using WindowHandle = void*;

// ---- formats ---------------------------------------------------------------
constexpr uint32_t MakeFourCC(char a, char b, char c, char d) {
    return uint32_t(uint8_t(a)) | (uint32_t(uint8_t(b)) << 8) | (uint32_t(uint8_t(c)) << 16) |
           (uint32_t(uint8_t(d)) << 24);
}

enum D3DFORMAT : uint32_t {
    D3DFMT_UNKNOWN = 0,
    D3DFMT_R8G8B8 = 20,
    D3DFMT_A8R8G8B8 = 21,
    D3DFMT_X8R8G8B8 = 22,
    D3DFMT_R5G6B5 = 23,
    D3DFMT_X1R5G5B5 = 24,
    D3DFMT_A1R5G5B5 = 25,
    D3DFMT_A4R4G4B4 = 26,
    D3DFMT_A8 = 28,
    D3DFMT_X4R4G4B4 = 30,
    D3DFMT_A8B8G8R8 = 32,
    D3DFMT_X8B8G8R8 = 33,
    D3DFMT_L8 = 50,
    D3DFMT_A8L8 = 51,
    D3DFMT_D16_LOCKABLE = 70,
    D3DFMT_D32 = 71,
    D3DFMT_D15S1 = 73,
    D3DFMT_D24S8 = 75,
    D3DFMT_D24X8 = 77,
    D3DFMT_D24X4S4 = 79,
    D3DFMT_D16 = 80,
    D3DFMT_INDEX16 = 101,
    D3DFMT_INDEX32 = 102,
    D3DFMT_DXT1 = MakeFourCC('D', 'X', 'T', '1'),
    D3DFMT_DXT2 = MakeFourCC('D', 'X', 'T', '2'),
    D3DFMT_DXT3 = MakeFourCC('D', 'X', 'T', '3'),
    D3DFMT_DXT4 = MakeFourCC('D', 'X', 'T', '4'),
    D3DFMT_DXT5 = MakeFourCC('D', 'X', 'T', '5'),
};

enum D3DPOOL : uint32_t {
    D3DPOOL_DEFAULT = 0,
    D3DPOOL_MANAGED = 1,
    D3DPOOL_SYSTEMMEM = 2,
    D3DPOOL_SCRATCH = 3
};

enum D3DRESOURCETYPE : uint32_t {
    D3DRTYPE_SURFACE = 1,
    D3DRTYPE_VOLUME = 2,
    D3DRTYPE_TEXTURE = 3,
    D3DRTYPE_VOLUMETEXTURE = 4,
    D3DRTYPE_CUBETEXTURE = 5,
    D3DRTYPE_VERTEXBUFFER = 6,
    D3DRTYPE_INDEXBUFFER = 7,
};

enum D3DDEVTYPE : uint32_t {
    D3DDEVTYPE_HAL = 1,
    D3DDEVTYPE_REF = 2,
    D3DDEVTYPE_SW = 3,
    D3DDEVTYPE_NULLREF = 4
};

enum D3DMULTISAMPLE_TYPE : uint32_t {
    D3DMULTISAMPLE_NONE = 0,
    D3DMULTISAMPLE_NONMASKABLE = 1,
    D3DMULTISAMPLE_2_SAMPLES = 2,
    D3DMULTISAMPLE_4_SAMPLES = 4,
    D3DMULTISAMPLE_8_SAMPLES = 8,
    D3DMULTISAMPLE_16_SAMPLES = 16,
};

enum D3DSWAPEFFECT : uint32_t { D3DSWAPEFFECT_DISCARD = 1, D3DSWAPEFFECT_FLIP = 2, D3DSWAPEFFECT_COPY = 3 };

enum D3DBACKBUFFER_TYPE : uint32_t { D3DBACKBUFFER_TYPE_MONO = 0 };

inline constexpr uint32_t D3DPRESENT_INTERVAL_DEFAULT = 0;
inline constexpr uint32_t D3DPRESENT_INTERVAL_ONE = 1;
inline constexpr uint32_t D3DPRESENT_INTERVAL_IMMEDIATE = 0x80000000u;

// Behaviour flags of CreateDevice.
inline constexpr uint32_t D3DCREATE_FPU_PRESERVE = 0x02;
inline constexpr uint32_t D3DCREATE_MULTITHREADED = 0x04;
inline constexpr uint32_t D3DCREATE_PUREDEVICE = 0x10;
inline constexpr uint32_t D3DCREATE_SOFTWARE_VERTEXPROCESSING = 0x20;
inline constexpr uint32_t D3DCREATE_HARDWARE_VERTEXPROCESSING = 0x40;
inline constexpr uint32_t D3DCREATE_MIXED_VERTEXPROCESSING = 0x80;

inline constexpr uint32_t D3D_SDK_VERSION = 32;
inline constexpr uint32_t D3DADAPTER_DEFAULT = 0;

// ---- usages and lock flags -------------------------------------------------
inline constexpr uint32_t D3DUSAGE_RENDERTARGET = 0x01;
inline constexpr uint32_t D3DUSAGE_DEPTHSTENCIL = 0x02;
inline constexpr uint32_t D3DUSAGE_WRITEONLY = 0x08;
inline constexpr uint32_t D3DUSAGE_SOFTWAREPROCESSING = 0x10;
inline constexpr uint32_t D3DUSAGE_DONOTCLIP = 0x20;
inline constexpr uint32_t D3DUSAGE_POINTS = 0x40;
inline constexpr uint32_t D3DUSAGE_RTPATCHES = 0x80;
inline constexpr uint32_t D3DUSAGE_NPATCHES = 0x100;
inline constexpr uint32_t D3DUSAGE_DYNAMIC = 0x200;
inline constexpr uint32_t D3DUSAGE_AUTOGENMIPMAP = 0x400;

inline constexpr uint32_t D3DLOCK_READONLY = 0x10;
inline constexpr uint32_t D3DLOCK_NOSYSLOCK = 0x800;
inline constexpr uint32_t D3DLOCK_NOOVERWRITE = 0x1000;
inline constexpr uint32_t D3DLOCK_DISCARD = 0x2000;
inline constexpr uint32_t D3DLOCK_DONOTWAIT = 0x4000;
inline constexpr uint32_t D3DLOCK_NO_DIRTY_UPDATE = 0x8000;

inline constexpr uint32_t D3DCLEAR_TARGET = 1;
inline constexpr uint32_t D3DCLEAR_ZBUFFER = 2;
inline constexpr uint32_t D3DCLEAR_STENCIL = 4;

// ---- flexible vertex format ---------------------------------------------------
inline constexpr uint32_t D3DFVF_RESERVED0 = 0x001;
inline constexpr uint32_t D3DFVF_POSITION_MASK = 0x400E;
inline constexpr uint32_t D3DFVF_XYZ = 0x002;
inline constexpr uint32_t D3DFVF_XYZRHW = 0x004;
inline constexpr uint32_t D3DFVF_XYZB1 = 0x006;
inline constexpr uint32_t D3DFVF_XYZB2 = 0x008;
inline constexpr uint32_t D3DFVF_XYZB3 = 0x00A;
inline constexpr uint32_t D3DFVF_XYZB4 = 0x00C;
inline constexpr uint32_t D3DFVF_XYZB5 = 0x00E;
inline constexpr uint32_t D3DFVF_XYZW = 0x4002;
inline constexpr uint32_t D3DFVF_NORMAL = 0x010;
inline constexpr uint32_t D3DFVF_PSIZE = 0x020;
inline constexpr uint32_t D3DFVF_DIFFUSE = 0x040;
inline constexpr uint32_t D3DFVF_SPECULAR = 0x080;
inline constexpr uint32_t D3DFVF_TEXCOUNT_MASK = 0xF00;
inline constexpr uint32_t D3DFVF_TEXCOUNT_SHIFT = 8;
inline constexpr uint32_t D3DFVF_TEX0 = 0x000;
inline constexpr uint32_t D3DFVF_TEX1 = 0x100;
inline constexpr uint32_t D3DFVF_TEX2 = 0x200;
inline constexpr uint32_t D3DFVF_TEX3 = 0x300;
inline constexpr uint32_t D3DFVF_TEX4 = 0x400;
inline constexpr uint32_t D3DFVF_TEX5 = 0x500;
inline constexpr uint32_t D3DFVF_TEX6 = 0x600;
inline constexpr uint32_t D3DFVF_TEX7 = 0x700;
inline constexpr uint32_t D3DFVF_TEX8 = 0x800;
inline constexpr uint32_t D3DFVF_LASTBETA_UBYTE4 = 0x1000;
inline constexpr uint32_t D3DFVF_LASTBETA_D3DCOLOR = 0x8000;
// Coordinate sizes per texture set (two bits each from bit 16).
inline constexpr uint32_t D3DFVF_TEXTUREFORMAT1 = 3;
inline constexpr uint32_t D3DFVF_TEXTUREFORMAT2 = 0;
inline constexpr uint32_t D3DFVF_TEXTUREFORMAT3 = 1;
inline constexpr uint32_t D3DFVF_TEXTUREFORMAT4 = 2;
constexpr uint32_t D3DFVF_TEXCOORDSIZE1(uint32_t i) {
    return D3DFVF_TEXTUREFORMAT1 << (i * 2 + 16);
}
constexpr uint32_t D3DFVF_TEXCOORDSIZE2(uint32_t i) {
    return D3DFVF_TEXTUREFORMAT2 << (i * 2 + 16);
}
constexpr uint32_t D3DFVF_TEXCOORDSIZE3(uint32_t i) {
    return D3DFVF_TEXTUREFORMAT3 << (i * 2 + 16);
}
constexpr uint32_t D3DFVF_TEXCOORDSIZE4(uint32_t i) {
    return D3DFVF_TEXTUREFORMAT4 << (i * 2 + 16);
}

// Number of floats of texture set `i` in an FVF (1..4).
constexpr uint32_t FvfTexCoordSize(uint32_t fvf, uint32_t i) {
    switch ((fvf >> (i * 2 + 16)) & 3) {
    case D3DFVF_TEXTUREFORMAT1:
        return 1;
    case D3DFVF_TEXTUREFORMAT3:
        return 3;
    case D3DFVF_TEXTUREFORMAT4:
        return 4;
    default:
        return 2;
    }
}
// Bytes of one vertex of an FVF; 0 for a position field the layer does not know.
uint32_t FvfVertexSize(uint32_t fvf);

// ---- vertex declarations ---------------------------------------------------------
enum D3DDECLTYPE : uint8_t {
    D3DDECLTYPE_FLOAT1 = 0,
    D3DDECLTYPE_FLOAT2 = 1,
    D3DDECLTYPE_FLOAT3 = 2,
    D3DDECLTYPE_FLOAT4 = 3,
    D3DDECLTYPE_D3DCOLOR = 4,
    D3DDECLTYPE_UBYTE4 = 5,
    D3DDECLTYPE_SHORT2 = 6,
    D3DDECLTYPE_SHORT4 = 7,
    D3DDECLTYPE_UBYTE4N = 8,
    D3DDECLTYPE_SHORT2N = 9,
    D3DDECLTYPE_SHORT4N = 10,
    D3DDECLTYPE_USHORT2N = 11,
    D3DDECLTYPE_USHORT4N = 12,
    D3DDECLTYPE_UDEC3 = 13,
    D3DDECLTYPE_DEC3N = 14,
    D3DDECLTYPE_FLOAT16_2 = 15,
    D3DDECLTYPE_FLOAT16_4 = 16,
    D3DDECLTYPE_UNUSED = 17,
};

enum D3DDECLMETHOD : uint8_t { D3DDECLMETHOD_DEFAULT = 0 };

enum D3DDECLUSAGE : uint8_t {
    D3DDECLUSAGE_POSITION = 0,
    D3DDECLUSAGE_BLENDWEIGHT = 1,
    D3DDECLUSAGE_BLENDINDICES = 2,
    D3DDECLUSAGE_NORMAL = 3,
    D3DDECLUSAGE_PSIZE = 4,
    D3DDECLUSAGE_TEXCOORD = 5,
    D3DDECLUSAGE_TANGENT = 6,
    D3DDECLUSAGE_BINORMAL = 7,
    D3DDECLUSAGE_TESSFACTOR = 8,
    D3DDECLUSAGE_POSITIONT = 9,
    D3DDECLUSAGE_COLOR = 10,
    D3DDECLUSAGE_FOG = 11,
    D3DDECLUSAGE_DEPTH = 12,
    D3DDECLUSAGE_SAMPLE = 13,
};

struct D3DVERTEXELEMENT9 {
    uint16_t Stream = 0;
    uint16_t Offset = 0;
    uint8_t Type = D3DDECLTYPE_UNUSED;
    uint8_t Method = D3DDECLMETHOD_DEFAULT;
    uint8_t Usage = 0;
    uint8_t UsageIndex = 0;
};
static_assert(sizeof(D3DVERTEXELEMENT9) == 8);
// The element that ends a declaration list.
inline constexpr D3DVERTEXELEMENT9 D3DDECL_END = {0xFF, 0, D3DDECLTYPE_UNUSED, 0, 0, 0};
inline constexpr uint32_t MAXD3DDECLLENGTH = 64;

// ---- primitives and transforms -----------------------------------------------------
enum D3DPRIMITIVETYPE : uint32_t {
    D3DPT_POINTLIST = 1,
    D3DPT_LINELIST = 2,
    D3DPT_LINESTRIP = 3,
    D3DPT_TRIANGLELIST = 4,
    D3DPT_TRIANGLESTRIP = 5,
    D3DPT_TRIANGLEFAN = 6,
};

enum D3DTRANSFORMSTATETYPE : uint32_t {
    D3DTS_VIEW = 2,
    D3DTS_PROJECTION = 3,
    D3DTS_TEXTURE0 = 16,
    D3DTS_TEXTURE1 = 17,
    D3DTS_TEXTURE2 = 18,
    D3DTS_TEXTURE3 = 19,
    D3DTS_TEXTURE4 = 20,
    D3DTS_TEXTURE5 = 21,
    D3DTS_TEXTURE6 = 22,
    D3DTS_TEXTURE7 = 23,
    D3DTS_WORLD = 256,
};
constexpr D3DTRANSFORMSTATETYPE D3DTS_WORLDMATRIX(uint32_t i) {
    return D3DTRANSFORMSTATETYPE(256 + i);
}

// ---- render states ------------------------------------------------------------
enum D3DRENDERSTATETYPE : uint32_t {
    D3DRS_ZENABLE = 7,
    D3DRS_FILLMODE = 8,
    D3DRS_SHADEMODE = 9,
    D3DRS_ZWRITEENABLE = 14,
    D3DRS_ALPHATESTENABLE = 15,
    D3DRS_LASTPIXEL = 16,
    D3DRS_SRCBLEND = 19,
    D3DRS_DESTBLEND = 20,
    D3DRS_CULLMODE = 22,
    D3DRS_ZFUNC = 23,
    D3DRS_ALPHAREF = 24,
    D3DRS_ALPHAFUNC = 25,
    D3DRS_DITHERENABLE = 26,
    D3DRS_ALPHABLENDENABLE = 27,
    D3DRS_FOGENABLE = 28,
    D3DRS_SPECULARENABLE = 29,
    D3DRS_FOGCOLOR = 34,
    D3DRS_FOGTABLEMODE = 35,
    D3DRS_FOGSTART = 36,
    D3DRS_FOGEND = 37,
    D3DRS_FOGDENSITY = 38,
    D3DRS_RANGEFOGENABLE = 48,
    D3DRS_STENCILENABLE = 52,
    D3DRS_STENCILFAIL = 53,
    D3DRS_STENCILZFAIL = 54,
    D3DRS_STENCILPASS = 55,
    D3DRS_STENCILFUNC = 56,
    D3DRS_STENCILREF = 57,
    D3DRS_STENCILMASK = 58,
    D3DRS_STENCILWRITEMASK = 59,
    D3DRS_TEXTUREFACTOR = 60,
    D3DRS_WRAP0 = 128,
    D3DRS_CLIPPING = 136,
    D3DRS_LIGHTING = 137,
    D3DRS_AMBIENT = 139,
    D3DRS_FOGVERTEXMODE = 140,
    D3DRS_COLORVERTEX = 141,
    D3DRS_LOCALVIEWER = 142,
    D3DRS_NORMALIZENORMALS = 143,
    D3DRS_DIFFUSEMATERIALSOURCE = 145,
    D3DRS_SPECULARMATERIALSOURCE = 146,
    D3DRS_AMBIENTMATERIALSOURCE = 147,
    D3DRS_EMISSIVEMATERIALSOURCE = 148,
    D3DRS_VERTEXBLEND = 151,
    D3DRS_CLIPPLANEENABLE = 152,
    D3DRS_POINTSIZE = 154,
    D3DRS_POINTSIZE_MIN = 155,
    D3DRS_POINTSPRITEENABLE = 156,
    D3DRS_POINTSCALEENABLE = 157,
    D3DRS_POINTSCALE_A = 158,
    D3DRS_POINTSCALE_B = 159,
    D3DRS_POINTSCALE_C = 160,
    D3DRS_MULTISAMPLEANTIALIAS = 161,
    D3DRS_MULTISAMPLEMASK = 162,
    D3DRS_POINTSIZE_MAX = 166,
    D3DRS_INDEXEDVERTEXBLENDENABLE = 167,
    D3DRS_COLORWRITEENABLE = 168,
    D3DRS_TWEENFACTOR = 170,
    D3DRS_BLENDOP = 171,
    D3DRS_SCISSORTESTENABLE = 174,
    D3DRS_SLOPESCALEDEPTHBIAS = 175,
    D3DRS_ANTIALIASEDLINEENABLE = 176,
    D3DRS_TWOSIDEDSTENCILMODE = 185,
    D3DRS_BLENDFACTOR = 193,
    D3DRS_SRGBWRITEENABLE = 194,
    D3DRS_DEPTHBIAS = 195,
    D3DRS_SEPARATEALPHABLENDENABLE = 206,
    D3DRS_SRCBLENDALPHA = 207,
    D3DRS_DESTBLENDALPHA = 208,
    D3DRS_BLENDOPALPHA = 209,
};
inline constexpr uint32_t kRenderStateCount = 210; // states are numbered below this

enum D3DZBUFFERTYPE : uint32_t { D3DZB_FALSE = 0, D3DZB_TRUE = 1, D3DZB_USEW = 2 };
enum D3DFILLMODE : uint32_t { D3DFILL_POINT = 1, D3DFILL_WIREFRAME = 2, D3DFILL_SOLID = 3 };
enum D3DSHADEMODE : uint32_t { D3DSHADE_FLAT = 1, D3DSHADE_GOURAUD = 2 };
enum D3DCULL : uint32_t { D3DCULL_NONE = 1, D3DCULL_CW = 2, D3DCULL_CCW = 3 };
enum D3DCMPFUNC : uint32_t {
    D3DCMP_NEVER = 1,
    D3DCMP_LESS = 2,
    D3DCMP_EQUAL = 3,
    D3DCMP_LESSEQUAL = 4,
    D3DCMP_GREATER = 5,
    D3DCMP_NOTEQUAL = 6,
    D3DCMP_GREATEREQUAL = 7,
    D3DCMP_ALWAYS = 8,
};
enum D3DBLEND : uint32_t {
    D3DBLEND_ZERO = 1,
    D3DBLEND_ONE = 2,
    D3DBLEND_SRCCOLOR = 3,
    D3DBLEND_INVSRCCOLOR = 4,
    D3DBLEND_SRCALPHA = 5,
    D3DBLEND_INVSRCALPHA = 6,
    D3DBLEND_DESTALPHA = 7,
    D3DBLEND_INVDESTALPHA = 8,
    D3DBLEND_DESTCOLOR = 9,
    D3DBLEND_INVDESTCOLOR = 10,
    D3DBLEND_SRCALPHASAT = 11,
    D3DBLEND_BOTHSRCALPHA = 12,
    D3DBLEND_BOTHINVSRCALPHA = 13,
    D3DBLEND_BLENDFACTOR = 14,
    D3DBLEND_INVBLENDFACTOR = 15,
};
enum D3DBLENDOP : uint32_t {
    D3DBLENDOP_ADD = 1,
    D3DBLENDOP_SUBTRACT = 2,
    D3DBLENDOP_REVSUBTRACT = 3,
    D3DBLENDOP_MIN = 4,
    D3DBLENDOP_MAX = 5,
};
enum D3DSTENCILOP : uint32_t {
    D3DSTENCILOP_KEEP = 1,
    D3DSTENCILOP_ZERO = 2,
    D3DSTENCILOP_REPLACE = 3,
    D3DSTENCILOP_INCRSAT = 4,
    D3DSTENCILOP_DECRSAT = 5,
    D3DSTENCILOP_INVERT = 6,
    D3DSTENCILOP_INCR = 7,
    D3DSTENCILOP_DECR = 8,
};
enum D3DFOGMODE : uint32_t { D3DFOG_NONE = 0, D3DFOG_EXP = 1, D3DFOG_EXP2 = 2, D3DFOG_LINEAR = 3 };
enum D3DMATERIALCOLORSOURCE : uint32_t { D3DMCS_MATERIAL = 0, D3DMCS_COLOR1 = 1, D3DMCS_COLOR2 = 2 };

inline constexpr uint32_t D3DCOLORWRITEENABLE_RED = 1;
inline constexpr uint32_t D3DCOLORWRITEENABLE_GREEN = 2;
inline constexpr uint32_t D3DCOLORWRITEENABLE_BLUE = 4;
inline constexpr uint32_t D3DCOLORWRITEENABLE_ALPHA = 8;
inline constexpr uint32_t D3DCLIPPLANE0 = 1;

// Float render states carry the float's bits in the 32-bit value.
uint32_t FloatBits(float f);
float BitsFloat(uint32_t v);

// ---- texture stages and samplers -------------------------------------------------
enum D3DTEXTURESTAGESTATETYPE : uint32_t {
    D3DTSS_COLOROP = 1,
    D3DTSS_COLORARG1 = 2,
    D3DTSS_COLORARG2 = 3,
    D3DTSS_ALPHAOP = 4,
    D3DTSS_ALPHAARG1 = 5,
    D3DTSS_ALPHAARG2 = 6,
    D3DTSS_BUMPENVMAT00 = 7,
    D3DTSS_BUMPENVMAT01 = 8,
    D3DTSS_BUMPENVMAT10 = 9,
    D3DTSS_BUMPENVMAT11 = 10,
    D3DTSS_TEXCOORDINDEX = 11,
    D3DTSS_BUMPENVLSCALE = 22,
    D3DTSS_BUMPENVLOFFSET = 23,
    D3DTSS_TEXTURETRANSFORMFLAGS = 24,
    D3DTSS_COLORARG0 = 26,
    D3DTSS_ALPHAARG0 = 27,
    D3DTSS_RESULTARG = 28,
    D3DTSS_CONSTANT = 32,
};
inline constexpr uint32_t kTextureStageStateCount = 33;
inline constexpr uint32_t kMaxTextureStages = 8;

enum D3DTEXTUREOP : uint32_t {
    D3DTOP_DISABLE = 1,
    D3DTOP_SELECTARG1 = 2,
    D3DTOP_SELECTARG2 = 3,
    D3DTOP_MODULATE = 4,
    D3DTOP_MODULATE2X = 5,
    D3DTOP_MODULATE4X = 6,
    D3DTOP_ADD = 7,
    D3DTOP_ADDSIGNED = 8,
    D3DTOP_ADDSIGNED2X = 9,
    D3DTOP_SUBTRACT = 10,
    D3DTOP_ADDSMOOTH = 11,
    D3DTOP_BLENDDIFFUSEALPHA = 12,
    D3DTOP_BLENDTEXTUREALPHA = 13,
    D3DTOP_BLENDFACTORALPHA = 14,
    D3DTOP_BLENDTEXTUREALPHAPM = 15,
    D3DTOP_BLENDCURRENTALPHA = 16,
    D3DTOP_PREMODULATE = 17,
    D3DTOP_MODULATEALPHA_ADDCOLOR = 18,
    D3DTOP_MODULATECOLOR_ADDALPHA = 19,
    D3DTOP_MODULATEINVALPHA_ADDCOLOR = 20,
    D3DTOP_MODULATEINVCOLOR_ADDALPHA = 21,
    D3DTOP_BUMPENVMAP = 22,
    D3DTOP_BUMPENVMAPLUMINANCE = 23,
    D3DTOP_DOTPRODUCT3 = 24,
    D3DTOP_MULTIPLYADD = 25,
    D3DTOP_LERP = 26,
};

// Texture arguments (D3DTA_*).
inline constexpr uint32_t D3DTA_SELECTMASK = 0x0F;
inline constexpr uint32_t D3DTA_DIFFUSE = 0x00;
inline constexpr uint32_t D3DTA_CURRENT = 0x01;
inline constexpr uint32_t D3DTA_TEXTURE = 0x02;
inline constexpr uint32_t D3DTA_TFACTOR = 0x03;
inline constexpr uint32_t D3DTA_SPECULAR = 0x04;
inline constexpr uint32_t D3DTA_TEMP = 0x05;
inline constexpr uint32_t D3DTA_CONSTANT = 0x06;
inline constexpr uint32_t D3DTA_COMPLEMENT = 0x10;
inline constexpr uint32_t D3DTA_ALPHAREPLICATE = 0x20;

// D3DTSS_TEXCOORDINDEX high word: generated coordinates.
inline constexpr uint32_t D3DTSS_TCI_PASSTHRU = 0x00000;
inline constexpr uint32_t D3DTSS_TCI_CAMERASPACENORMAL = 0x10000;
inline constexpr uint32_t D3DTSS_TCI_CAMERASPACEPOSITION = 0x20000;
inline constexpr uint32_t D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR = 0x30000;
inline constexpr uint32_t D3DTSS_TCI_SPHEREMAP = 0x40000;

enum D3DTEXTURETRANSFORMFLAGS : uint32_t {
    D3DTTFF_DISABLE = 0,
    D3DTTFF_COUNT1 = 1,
    D3DTTFF_COUNT2 = 2,
    D3DTTFF_COUNT3 = 3,
    D3DTTFF_COUNT4 = 4,
    D3DTTFF_PROJECTED = 256,
};

enum D3DSAMPLERSTATETYPE : uint32_t {
    D3DSAMP_ADDRESSU = 1,
    D3DSAMP_ADDRESSV = 2,
    D3DSAMP_ADDRESSW = 3,
    D3DSAMP_BORDERCOLOR = 4,
    D3DSAMP_MAGFILTER = 5,
    D3DSAMP_MINFILTER = 6,
    D3DSAMP_MIPFILTER = 7,
    D3DSAMP_MIPMAPLODBIAS = 8,
    D3DSAMP_MAXMIPLEVEL = 9,
    D3DSAMP_MAXANISOTROPY = 10,
    D3DSAMP_SRGBTEXTURE = 11,
    D3DSAMP_ELEMENTINDEX = 12,
    D3DSAMP_DMAPOFFSET = 13,
};
inline constexpr uint32_t kSamplerStateCount = 14;

enum D3DTEXTUREFILTERTYPE : uint32_t {
    D3DTEXF_NONE = 0,
    D3DTEXF_POINT = 1,
    D3DTEXF_LINEAR = 2,
    D3DTEXF_ANISOTROPIC = 3,
    D3DTEXF_PYRAMIDALQUAD = 6,
    D3DTEXF_GAUSSIANQUAD = 7,
};
enum D3DTEXTUREADDRESS : uint32_t {
    D3DTADDRESS_WRAP = 1,
    D3DTADDRESS_MIRROR = 2,
    D3DTADDRESS_CLAMP = 3,
    D3DTADDRESS_BORDER = 4,
    D3DTADDRESS_MIRRORONCE = 5,
};

// ---- lights, materials, viewports -----------------------------------------------
using D3DCOLORVALUE = ColorValue;
using D3DVECTOR = Vec3;
using D3DMATRIX = Matrix;

enum D3DLIGHTTYPE : uint32_t { D3DLIGHT_POINT = 1, D3DLIGHT_SPOT = 2, D3DLIGHT_DIRECTIONAL = 3 };

struct D3DLIGHT9 {
    D3DLIGHTTYPE Type = D3DLIGHT_DIRECTIONAL;
    D3DCOLORVALUE Diffuse;
    D3DCOLORVALUE Specular;
    D3DCOLORVALUE Ambient;
    D3DVECTOR Position;
    D3DVECTOR Direction{0, 0, 1};
    float Range = 0;
    float Falloff = 0;
    float Attenuation0 = 0;
    float Attenuation1 = 0;
    float Attenuation2 = 0;
    float Theta = 0;
    float Phi = 0;
};
static_assert(sizeof(D3DLIGHT9) == 104);

struct D3DMATERIAL9 {
    D3DCOLORVALUE Diffuse;
    D3DCOLORVALUE Ambient;
    D3DCOLORVALUE Specular;
    D3DCOLORVALUE Emissive;
    float Power = 0;
};
static_assert(sizeof(D3DMATERIAL9) == 68);

struct D3DVIEWPORT9 {
    uint32_t X = 0;
    uint32_t Y = 0;
    uint32_t Width = 0;
    uint32_t Height = 0;
    float MinZ = 0;
    float MaxZ = 1;
};

struct RECT {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};
struct POINT {
    int32_t x = 0, y = 0;
};

// ---- descriptions ----------------------------------------------------------------
struct D3DSURFACE_DESC {
    D3DFORMAT Format = D3DFMT_UNKNOWN;
    D3DRESOURCETYPE Type = D3DRTYPE_SURFACE;
    uint32_t Usage = 0;
    D3DPOOL Pool = D3DPOOL_DEFAULT;
    D3DMULTISAMPLE_TYPE MultiSampleType = D3DMULTISAMPLE_NONE;
    uint32_t MultiSampleQuality = 0;
    uint32_t Width = 0;
    uint32_t Height = 0;
};

struct D3DVERTEXBUFFER_DESC {
    D3DFORMAT Format = D3DFMT_UNKNOWN; // always "vertex data"
    D3DRESOURCETYPE Type = D3DRTYPE_VERTEXBUFFER;
    uint32_t Usage = 0;
    D3DPOOL Pool = D3DPOOL_DEFAULT;
    uint32_t Size = 0;
    uint32_t FVF = 0;
};

struct D3DINDEXBUFFER_DESC {
    D3DFORMAT Format = D3DFMT_INDEX16;
    D3DRESOURCETYPE Type = D3DRTYPE_INDEXBUFFER;
    uint32_t Usage = 0;
    D3DPOOL Pool = D3DPOOL_DEFAULT;
    uint32_t Size = 0;
};

struct D3DLOCKED_RECT {
    int32_t Pitch = 0; // bytes from one row (or row of 4x4 blocks) to the next
    void* pBits = nullptr;
};

struct D3DDISPLAYMODE {
    uint32_t Width = 0;
    uint32_t Height = 0;
    uint32_t RefreshRate = 0;
    D3DFORMAT Format = D3DFMT_UNKNOWN;
};

struct D3DPRESENT_PARAMETERS {
    uint32_t BackBufferWidth = 0;
    uint32_t BackBufferHeight = 0;
    D3DFORMAT BackBufferFormat = D3DFMT_UNKNOWN;
    uint32_t BackBufferCount = 0;
    D3DMULTISAMPLE_TYPE MultiSampleType = D3DMULTISAMPLE_NONE;
    uint32_t MultiSampleQuality = 0;
    D3DSWAPEFFECT SwapEffect = D3DSWAPEFFECT_DISCARD;
    WindowHandle hDeviceWindow = nullptr;
    int32_t Windowed = 0;
    int32_t EnableAutoDepthStencil = 0;
    D3DFORMAT AutoDepthStencilFormat = D3DFMT_UNKNOWN;
    uint32_t Flags = 0;
    uint32_t FullScreen_RefreshRateInHz = 0;
    uint32_t PresentationInterval = 0;
};

inline constexpr size_t MAX_DEVICE_IDENTIFIER_STRING = 512;
struct D3DADAPTER_IDENTIFIER9 {
    char Driver[MAX_DEVICE_IDENTIFIER_STRING] = {};
    char Description[MAX_DEVICE_IDENTIFIER_STRING] = {};
    char DeviceName[32] = {};
    uint64_t DriverVersion = 0;
    uint32_t VendorId = 0;
    uint32_t DeviceId = 0;
    uint32_t SubSysId = 0;
    uint32_t Revision = 0;
    uint32_t WHQLLevel = 0;
};

// ---- capabilities -------------------------------------------------------------
inline constexpr uint32_t D3DFVFCAPS_TEXCOORDCOUNTMASK = 0xFFFF;
inline constexpr uint32_t D3DFVFCAPS_DONOTSTRIPELEMENTS = 0x80000;
inline constexpr uint32_t D3DFVFCAPS_PSIZE = 0x100000;

inline constexpr uint32_t D3DDEVCAPS_HWTRANSFORMANDLIGHT = 0x10000;
inline constexpr uint32_t D3DPTEXTURECAPS_POW2 = 0x2;
inline constexpr uint32_t D3DPTEXTURECAPS_ALPHA = 0x4;
inline constexpr uint32_t D3DPTEXTURECAPS_MIPMAP = 0x4000;
inline constexpr uint32_t D3DPTFILTERCAPS_MINFPOINT = 0x100;
inline constexpr uint32_t D3DPTFILTERCAPS_MINFLINEAR = 0x200;
inline constexpr uint32_t D3DPTFILTERCAPS_MINFANISOTROPIC = 0x400;
inline constexpr uint32_t D3DPTFILTERCAPS_MIPFPOINT = 0x10000;
inline constexpr uint32_t D3DPTFILTERCAPS_MIPFLINEAR = 0x20000;
inline constexpr uint32_t D3DPTFILTERCAPS_MAGFPOINT = 0x1000000;
inline constexpr uint32_t D3DPTFILTERCAPS_MAGFLINEAR = 0x2000000;
inline constexpr uint32_t D3DPTFILTERCAPS_MAGFANISOTROPIC = 0x4000000;

constexpr uint32_t D3DVS_VERSION(uint32_t major, uint32_t minor) {
    return 0xFFFE0000u | (major << 8) | minor;
}
constexpr uint32_t D3DPS_VERSION(uint32_t major, uint32_t minor) {
    return 0xFFFF0000u | (major << 8) | minor;
}

// The capabilities the engine reads; the rest of a device's facts live in the
// backend.
struct D3DCAPS9 {
    D3DDEVTYPE DeviceType = D3DDEVTYPE_HAL;
    uint32_t AdapterOrdinal = 0;
    uint32_t Caps = 0;
    uint32_t Caps2 = 0;
    uint32_t Caps3 = 0;
    uint32_t PresentationIntervals = 0;
    uint32_t DevCaps = 0;
    uint32_t PrimitiveMiscCaps = 0;
    uint32_t RasterCaps = 0;
    uint32_t ZCmpCaps = 0;
    uint32_t SrcBlendCaps = 0;
    uint32_t DestBlendCaps = 0;
    uint32_t AlphaCmpCaps = 0;
    uint32_t ShadeCaps = 0;
    uint32_t TextureCaps = 0;
    uint32_t TextureFilterCaps = 0;
    uint32_t TextureAddressCaps = 0;
    uint32_t StretchRectFilterCaps = 0;
    uint32_t MaxTextureWidth = 0;
    uint32_t MaxTextureHeight = 0;
    uint32_t MaxAnisotropy = 0;
    uint32_t TextureOpCaps = 0;
    uint32_t FVFCaps = 0;
    uint32_t MaxTextureBlendStages = 0;
    uint32_t MaxSimultaneousTextures = 0;
    uint32_t VertexProcessingCaps = 0;
    uint32_t MaxActiveLights = 0;
    uint32_t MaxUserClipPlanes = 0;
    uint32_t MaxVertexBlendMatrices = 0;
    float MaxPointSize = 0;
    uint32_t MaxPrimitiveCount = 0;
    uint32_t MaxVertexIndex = 0;
    uint32_t MaxStreams = 0;
    uint32_t MaxStreamStride = 0;
    uint32_t VertexShaderVersion = 0;
    uint32_t MaxVertexShaderConst = 0;
    uint32_t PixelShaderVersion = 0;
    uint32_t NumSimultaneousRTs = 0;
};

// The capabilities both backends report unless told otherwise.
D3DCAPS9 DefaultCaps();

// Bytes per pixel of an uncompressed format, 0 for block-compressed and unknown ones.
uint32_t FormatBytesPerPixel(D3DFORMAT f);
bool IsCompressedFormat(D3DFORMAT f);
// Bytes of one row of pixels (or of 4x4 blocks for DXT formats) and the number
// of such rows of a level of that size.
uint32_t FormatPitch(D3DFORMAT f, uint32_t width);
uint32_t FormatRows(D3DFORMAT f, uint32_t height);
// Name of a format for logs ("D3DFMT_A8R8G8B8"), or its number as text.
const char* FormatName(D3DFORMAT f);

} // namespace vesk::platform
