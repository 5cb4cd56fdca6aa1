#include "platform/gfx/gl_ffp_shader.h"

#include <sstream>

namespace vesk::platform {

int AttribLocationFor(uint8_t usage, uint8_t index) {
    switch (usage) {
    case D3DDECLUSAGE_POSITION:
    case D3DDECLUSAGE_POSITIONT:
        return index == 0 ? kAttrPosition : index == 1 ? kAttrPosition1 : -1;
    case D3DDECLUSAGE_NORMAL:
        return index == 0 ? kAttrNormal : index == 1 ? kAttrNormal1 : -1;
    case D3DDECLUSAGE_COLOR:
        return index == 0 ? kAttrColor0 : index == 1 ? kAttrColor1 : -1;
    case D3DDECLUSAGE_TEXCOORD:
        return index < 8 ? kAttrTexCoord0 + index : -1;
    case D3DDECLUSAGE_PSIZE:
        return index == 0 ? kAttrPSize : -1;
    case D3DDECLUSAGE_TANGENT:
        return index == 0 ? kAttrTangent : -1;
    default:
        return -1;
    }
}

namespace {
uint8_t FloatCountOf(uint8_t type) {
    switch (type) {
    case D3DDECLTYPE_FLOAT1:
        return 1;
    case D3DDECLTYPE_FLOAT2:
    case D3DDECLTYPE_SHORT2:
    case D3DDECLTYPE_SHORT2N:
    case D3DDECLTYPE_USHORT2N:
    case D3DDECLTYPE_FLOAT16_2:
        return 2;
    case D3DDECLTYPE_FLOAT3:
    case D3DDECLTYPE_UDEC3:
    case D3DDECLTYPE_DEC3N:
        return 3;
    default:
        return 4;
    }
}

void AddElement(VertexLayout& l, uint8_t stream, uint16_t offset, uint8_t type, int location) {
    if (location < 0) return;
    l.elements.push_back({stream, type, int8_t(location), offset});
    l.present |= 1u << location;
    if (location >= kAttrTexCoord0 && location < kAttrTexCoord0 + 8)
        l.texSize[location - kAttrTexCoord0] = FloatCountOf(type);
}
} // namespace

VertexLayout LayoutFromFvf(uint32_t fvf) {
    VertexLayout l;
    uint16_t off = 0;
    const uint32_t pos = fvf & D3DFVF_POSITION_MASK;
    if (pos == D3DFVF_XYZRHW) {
        l.rhw = true;
        AddElement(l, 0, off, D3DDECLTYPE_FLOAT4, kAttrPosition);
        off += 16;
    } else if (pos == D3DFVF_XYZW) {
        AddElement(l, 0, off, D3DDECLTYPE_FLOAT4, kAttrPosition);
        off += 16;
    } else if (pos != 0) {
        AddElement(l, 0, off, D3DDECLTYPE_FLOAT3, kAttrPosition);
        off += 12;
        if (pos >= D3DFVF_XYZB1 && pos <= D3DFVF_XYZB5) off += uint16_t(4 * ((pos - D3DFVF_XYZRHW) / 2));
    }
    if (fvf & D3DFVF_NORMAL) {
        AddElement(l, 0, off, D3DDECLTYPE_FLOAT3, kAttrNormal);
        off += 12;
    }
    if (fvf & D3DFVF_PSIZE) {
        AddElement(l, 0, off, D3DDECLTYPE_FLOAT1, kAttrPSize);
        off += 4;
    }
    if (fvf & D3DFVF_DIFFUSE) {
        AddElement(l, 0, off, D3DDECLTYPE_D3DCOLOR, kAttrColor0);
        off += 4;
    }
    if (fvf & D3DFVF_SPECULAR) {
        AddElement(l, 0, off, D3DDECLTYPE_D3DCOLOR, kAttrColor1);
        off += 4;
    }
    const uint32_t count = std::min<uint32_t>((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT, 8);
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t n = FvfTexCoordSize(fvf, i);
        AddElement(l, 0, off, uint8_t(D3DDECLTYPE_FLOAT1 + n - 1), kAttrTexCoord0 + int(i));
        off += uint16_t(4 * n);
    }
    return l;
}

VertexLayout LayoutFromDeclaration(const std::vector<D3DVERTEXELEMENT9>& elements) {
    VertexLayout l;
    for (const auto& e : elements) {
        if (e.Usage == D3DDECLUSAGE_POSITIONT && e.UsageIndex == 0) l.rhw = true;
        AddElement(l, uint8_t(e.Stream), e.Offset, e.Type, AttribLocationFor(e.Usage, e.UsageIndex));
    }
    return l;
}

namespace {

const char* kVertexEpilogue = R"(
void vesk_emit(vec4 p) {
    // Half-pixel shift to the platform's pixel centres, rows from the top, depth 0..1 to -1..1.
    p.x += p.w * uPixelFix.x;
    p.y -= p.w * uPixelFix.y;
    gl_Position = vec4(p.x, -p.y, 2.0 * p.z - p.w, p.w);
}
)";

std::string Cmp(uint8_t func, const char* a, const char* b) {
    std::string sa = a, sb = b;
    switch (func) {
    case D3DCMP_NEVER:
        return "false";
    case D3DCMP_LESS:
        return sa + " < " + sb;
    case D3DCMP_EQUAL:
        return sa + " == " + sb;
    case D3DCMP_LESSEQUAL:
        return sa + " <= " + sb;
    case D3DCMP_GREATER:
        return sa + " > " + sb;
    case D3DCMP_NOTEQUAL:
        return sa + " != " + sb;
    case D3DCMP_GREATEREQUAL:
        return sa + " >= " + sb;
    default:
        return "true";
    }
}

// Fog and alpha test on `col`, shared by the fixed stages and pixel shaders.
std::string PostCode(const PostKey& k) {
    std::ostringstream o;
    if (k.fog == 1) {
        o << "    col.rgb = mix(uFogColor.rgb, col.rgb, clamp(vFog, 0.0, 1.0));\n";
    } else if (k.fog >= 2) {
        o << "    float d = abs(vEyeZ);\n    float f;\n";
        if (k.fog == 2) o << "    f = exp(-d * uFogParams.z);\n";
        if (k.fog == 3) o << "    f = exp(-(d * uFogParams.z) * (d * uFogParams.z));\n";
        if (k.fog == 4) o << "    f = (uFogParams.y - d) / max(uFogParams.y - uFogParams.x, 1e-6);\n";
        o << "    col.rgb = mix(uFogColor.rgb, col.rgb, clamp(f, 0.0, 1.0));\n";
    }
    if (k.alphaFunc != 0 && k.alphaFunc != D3DCMP_ALWAYS) {
        o << "    float a8 = floor(clamp(col.a, 0.0, 1.0) * 255.0 + 0.5);\n";
        o << "    if (!(" << Cmp(k.alphaFunc, "a8", "uAlphaRef") << ")) discard;\n";
    }
    return o.str();
}

const char* kPostUniforms = "uniform vec4 uFogColor;\nuniform vec4 uFogParams;\nuniform float uAlphaRef;\n";

} // namespace

std::string BuildFfpVertexShader(const FfpVertexKey& k) {
    std::ostringstream o;
    o << "#version 330 core\n";
    o << "layout(location = 0) in vec4 aPos;\n";
    if (k.hasNormal) o << "layout(location = 1) in vec3 aNormal;\n";
    if (k.hasDiffuse) o << "layout(location = 2) in vec4 aDiffuse;\n";
    if (k.hasSpecular) o << "layout(location = 3) in vec4 aSpecular;\n";
    for (int i = 0; i < 8; ++i)
        if (k.texSize[i]) o << "layout(location = " << 4 + i << ") in vec4 aTex" << i << ";\n";
    if (k.hasPSize) o << "layout(location = 12) in float aPSize;\n";
    o << "uniform mat4 uWorldView;\nuniform mat4 uWorldViewProj;\nuniform mat3 uNormalMat;\nuniform mat4 "
         "uTexMat[8];\n"
         "uniform vec2 uPixelFix;\nuniform vec4 uScreen;\nuniform vec4 uGlobalAmbient;\nuniform vec4 "
         "uMat[4];\n"
         "uniform float uMatPower;\nuniform vec4 uLightDiffuse[8];\nuniform vec4 uLightSpecular[8];\n"
         "uniform vec4 uLightAmbient[8];\nuniform vec4 uLightPos[8];\nuniform vec4 uLightDir[8];\n"
         "uniform vec4 uLightAtt[8];\nuniform vec4 uLightSpot[8];\nuniform vec4 uFogParams;\nuniform vec4 "
         "uPoint;\n"
         "uniform vec3 uPointScale;\nuniform vec4 uClipPlane;\n";
    const char* flat = k.flat ? "flat " : "";
    o << flat << "out vec4 vD0;\n" << flat << "out vec4 vD1;\n";
    for (int i = 0; i < 8; ++i) o << "out vec4 vT" << i << ";\n";
    o << "out float vFog;\nout float vEyeZ;\n";
    o << kVertexEpilogue;
    o << "void main() {\n";
    o << "    vec4 diffuse = " << (k.hasDiffuse ? "aDiffuse" : "vec4(1.0)") << ";\n";
    o << "    vec4 specular = " << (k.hasSpecular ? "aSpecular" : "vec4(0.0)") << ";\n";
    if (k.rhw) {
        // Screen-space vertices: x, y in pixels, z depth 0..1, w the reciprocal of the eye depth.
        o << "    float w = aPos.w != 0.0 ? 1.0 / aPos.w : 1.0;\n";
        o << "    vec2 ndc = vec2((aPos.x + 0.5 - uScreen.x) * uScreen.z - 1.0,\n"
             "                    (aPos.y + 0.5 - uScreen.y) * uScreen.w - 1.0);\n";
        o << "    gl_Position = vec4(ndc * w, (2.0 * aPos.z - 1.0) * w, w);\n";
        o << "    vEyeZ = w;\n    vec3 V = vec3(0.0);\n    vec3 N = vec3(0.0, 0.0, -1.0);\n";
        o << "    vD0 = diffuse;\n    vD1 = specular;\n";
        o << "    vFog = " << (k.hasSpecular ? "specular.a" : "1.0") << ";\n";
        if (k.pointSize)
            o << "    gl_PointSize = clamp(" << (k.hasPSize ? "aPSize" : "uPoint.x")
              << ", uPoint.y, uPoint.z);\n";
    } else {
        bool texGen = false;
        for (int st = 0; st < k.stageCount && st < 8; ++st) texGen = texGen || k.stageTexGen[st] != 0;
        // The view-space position only where something reads it.
        const bool needView = k.lighting || k.fogVertexMode || k.pointScale || k.clip0 || texGen;
        o << "    vesk_emit(uWorldViewProj * vec4(aPos.xyz, 1.0));\n";
        if (needView)
            o << "    vec3 V = (uWorldView * vec4(aPos.xyz, 1.0)).xyz;\n";
        else
            o << "    vec3 V = vec3(0.0);\n";
        // Per-pixel fog reads the eye depth: w of a perspective projection.
        o << "    vEyeZ = gl_Position.w;\n";
        if (k.hasNormal) {
            o << "    vec3 N = uNormalMat * aNormal;\n";
            if (k.normalize) o << "    N = normalize(N);\n";
        } else {
            o << "    vec3 N = vec3(0.0);\n";
        }
        if (k.clip0) o << "    gl_ClipDistance[0] = dot(vec4(V, 1.0), uClipPlane);\n";
        if (k.lighting) {
            auto src = [&](uint8_t s, const char* mat) {
                if (k.colorVertex && s == D3DMCS_COLOR1 && k.hasDiffuse) return std::string("diffuse");
                if (k.colorVertex && s == D3DMCS_COLOR2 && k.hasSpecular) return std::string("specular");
                return std::string(mat);
            };
            o << "    vec4 mDiffuse = " << src(k.diffuseSrc, "uMat[0]") << ";\n";
            o << "    vec4 mAmbient = " << src(k.ambientSrc, "uMat[1]") << ";\n";
            o << "    vec4 mSpecular = " << src(k.specularSrc, "uMat[2]") << ";\n";
            o << "    vec4 mEmissive = " << src(k.emissiveSrc, "uMat[3]") << ";\n";
            o << "    vec3 amb = uGlobalAmbient.rgb;\n    vec3 dif = vec3(0.0);\n    vec3 spc = vec3(0.0);\n";
            for (int i = 0; i < k.lightCount && i < 8; ++i) {
                o << "    {\n";
                if (k.lightType[i] == D3DLIGHT_DIRECTIONAL) {
                    o << "        vec3 L = uLightDir[" << i << "].xyz;\n        float att = 1.0;\n";
                } else {
                    o << "        vec3 toL = uLightPos[" << i << "].xyz - V;\n"
                      << "        float dist = length(toL);\n"
                      << "        vec3 L = dist > 0.0 ? toL / dist : vec3(0.0, 0.0, -1.0);\n"
                      << "        vec4 A = uLightAtt[" << i << "];\n"
                      << "        float den = A.x + A.y * dist + A.z * dist * dist;\n"
                      << "        float att = dist > A.w ? 0.0 : (den > 0.0 ? 1.0 / den : 1.0);\n";
                    if (k.lightType[i] == D3DLIGHT_SPOT) {
                        o << "        vec4 S = uLightSpot[" << i << "];\n"
                          << "        float rho = dot(-L, uLightDir[" << i << "].xyz * -1.0);\n"
                          << "        float spot = rho > S.x ? 1.0 : (rho <= S.y ? 0.0 :\n"
                          << "            pow(clamp((rho - S.y) / max(S.x - S.y, 1e-6), 0.0, 1.0), S.z));\n"
                          << "        att *= spot;\n";
                    }
                }
                o << "        amb += uLightAmbient[" << i << "].rgb * att;\n"
                  << "        float NdotL = max(dot(N, L), 0.0);\n"
                  << "        dif += uLightDiffuse[" << i << "].rgb * NdotL * att;\n";
                if (k.specularEnable) {
                    o << "        vec3 H = normalize("
                      << (k.localViewer ? "normalize(-V)" : "vec3(0.0, 0.0, -1.0)") << " + L);\n"
                      << "        if (NdotL > 0.0 && uMatPower > 0.0)\n"
                      << "            spc += uLightSpecular[" << i
                      << "].rgb * pow(max(dot(N, H), 0.0), uMatPower) * att;\n";
                }
                o << "    }\n";
            }
            o << "    vD0 = clamp(vec4(mEmissive.rgb + mAmbient.rgb * amb + mDiffuse.rgb * dif, mDiffuse.a), "
                 "0.0, 1.0);\n";
            o << "    vD1 = clamp(vec4(mSpecular.rgb * spc, specular.a), 0.0, 1.0);\n";
        } else {
            o << "    vD0 = diffuse;\n    vD1 = specular;\n";
        }
        if (k.fogVertexMode) {
            o << "    float fd = " << (k.rangeFog ? "length(V)" : "abs(V.z)") << ";\n";
            if (k.fogVertexMode == D3DFOG_LINEAR)
                o << "    vFog = (uFogParams.y - fd) / max(uFogParams.y - uFogParams.x, 1e-6);\n";
            else if (k.fogVertexMode == D3DFOG_EXP)
                o << "    vFog = exp(-fd * uFogParams.z);\n";
            else
                o << "    vFog = exp(-(fd * uFogParams.z) * (fd * uFogParams.z));\n";
        } else {
            o << "    vFog = " << (k.hasSpecular ? "specular.a" : "1.0") << ";\n";
        }
        if (k.pointSize) {
            o << "    float ps = " << (k.hasPSize ? "aPSize" : "uPoint.x") << ";\n";
            if (k.pointScale)
                o << "    float De = length(V);\n"
                     "    ps = uPoint.w * ps * sqrt(1.0 / max(uPointScale.x + uPointScale.y * De + "
                     "uPointScale.z * De * De, 1e-12));\n";
            o << "    gl_PointSize = clamp(ps, uPoint.y, uPoint.z);\n";
        }
    }
    // Texture coordinates of each stage.
    for (int s = 0; s < 8; ++s) {
        if (s >= k.stageCount) {
            o << "    vT" << s << " = vec4(0.0);\n";
            continue;
        }
        const int set = k.stageTexSet[s] & 7;
        std::string c;
        switch (k.stageTexGen[s]) {
        case 1:
            c = "vec4(N, 1.0)";
            break;
        case 2:
            c = "vec4(V, 1.0)";
            break;
        case 3:
            c = "vec4(reflect(normalize(V), N), 1.0)";
            break;
        case 4:
            c = "vec4(reflect(normalize(V), N).xy * 0.5 + 0.5, 0.0, 1.0)";
            break;
        default:
            switch (k.texSize[set]) {
            case 0:
                c = "vec4(0.0, 0.0, 1.0, 0.0)";
                break;
            case 1:
                c = "vec4(aTex" + std::to_string(set) + ".x, 1.0, 0.0, 0.0)";
                break;
            case 2:
                c = "vec4(aTex" + std::to_string(set) + ".xy, 1.0, 0.0)";
                break;
            case 3:
                c = "vec4(aTex" + std::to_string(set) + ".xyz, 1.0)";
                break;
            default:
                c = "aTex" + std::to_string(set);
            }
        }
        if (k.stageTexCount[s]) c = "(uTexMat[" + std::to_string(s) + "] * " + c + ")";
        o << "    vT" << s << " = " << c << ";\n";
    }
    o << "}\n";
    return o.str();
}

namespace {

std::string Arg(uint8_t a, bool alpha) {
    std::string base;
    switch (a & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE:
        base = "vD0";
        break;
    case D3DTA_CURRENT:
        base = "cur";
        break;
    case D3DTA_TEXTURE:
        base = "tex";
        break;
    case D3DTA_TFACTOR:
        base = "uTFactor";
        break;
    case D3DTA_SPECULAR:
        base = "vD1";
        break;
    case D3DTA_TEMP:
        base = "tmp";
        break;
    default:
        base = "vec4(1.0)";
    }
    if (a & D3DTA_COMPLEMENT) base = "(vec4(1.0) - " + base + ")";
    if ((a & D3DTA_ALPHAREPLICATE) && !alpha) base = base + ".aaaa";
    return base;
}

std::string Op(uint8_t op, const std::string& a0, const std::string& a1, const std::string& a2, bool alpha) {
    const std::string sw = alpha ? ".a" : ".rgb";
    auto c = [&](const std::string& a) { return a + sw; };
    switch (op) {
    case D3DTOP_SELECTARG1:
        return c(a1);
    case D3DTOP_SELECTARG2:
        return c(a2);
    case D3DTOP_MODULATE:
        return c(a1) + " * " + c(a2);
    case D3DTOP_MODULATE2X:
        return c(a1) + " * " + c(a2) + " * 2.0";
    case D3DTOP_MODULATE4X:
        return c(a1) + " * " + c(a2) + " * 4.0";
    case D3DTOP_ADD:
        return c(a1) + " + " + c(a2);
    case D3DTOP_ADDSIGNED:
        return c(a1) + " + " + c(a2) + " - 0.5";
    case D3DTOP_ADDSIGNED2X:
        return "(" + c(a1) + " + " + c(a2) + " - 0.5) * 2.0";
    case D3DTOP_SUBTRACT:
        return c(a1) + " - " + c(a2);
    case D3DTOP_ADDSMOOTH:
        return c(a1) + " + " + c(a2) + " - " + c(a1) + " * " + c(a2);
    case D3DTOP_BLENDDIFFUSEALPHA:
        return "mix(" + c(a2) + ", " + c(a1) + ", vD0.a)";
    case D3DTOP_BLENDTEXTUREALPHA:
        return "mix(" + c(a2) + ", " + c(a1) + ", tex.a)";
    case D3DTOP_BLENDFACTORALPHA:
        return "mix(" + c(a2) + ", " + c(a1) + ", uTFactor.a)";
    case D3DTOP_BLENDTEXTUREALPHAPM:
        return c(a1) + " + " + c(a2) + " * (1.0 - tex.a)";
    case D3DTOP_BLENDCURRENTALPHA:
        return "mix(" + c(a2) + ", " + c(a1) + ", cur.a)";
    case D3DTOP_MODULATEALPHA_ADDCOLOR:
        return alpha ? c(a1) : a1 + ".rgb + " + a1 + ".a * " + a2 + ".rgb";
    case D3DTOP_MODULATECOLOR_ADDALPHA:
        return alpha ? c(a1) : a1 + ".rgb * " + a2 + ".rgb + " + a1 + ".a";
    case D3DTOP_MODULATEINVALPHA_ADDCOLOR:
        return alpha ? c(a1) : "(1.0 - " + a1 + ".a) * " + a2 + ".rgb + " + a1 + ".rgb";
    case D3DTOP_MODULATEINVCOLOR_ADDALPHA:
        return alpha ? c(a1) : "(vec3(1.0) - " + a1 + ".rgb) * " + a2 + ".rgb + " + a1 + ".a";
    case D3DTOP_DOTPRODUCT3: {
        std::string d = "clamp(4.0 * dot(" + a1 + ".rgb - 0.5, " + a2 + ".rgb - 0.5), 0.0, 1.0)";
        return alpha ? d : "vec3(" + d + ")";
    }
    case D3DTOP_MULTIPLYADD:
        return c(a0) + " + " + c(a1) + " * " + c(a2);
    case D3DTOP_LERP:
        return "mix(" + c(a2) + ", " + c(a1) + ", " + c(a0) + ")";
    default: // PREMODULATE, bump mapping: the first argument
        return c(a1);
    }
}

} // namespace

std::string BuildFfpFragmentShader(const FfpFragmentKey& k) {
    std::ostringstream o;
    o << "#version 330 core\n";
    const char* flat = k.flat ? "flat " : "";
    o << flat << "in vec4 vD0;\n" << flat << "in vec4 vD1;\n";
    for (int i = 0; i < 8; ++i) o << "in vec4 vT" << i << ";\n";
    o << "in float vFog;\nin float vEyeZ;\n";
    for (int i = 0; i < k.stageCount; ++i)
        if (k.stages[i].hasTexture) o << "uniform sampler2D s" << i << ";\n";
    o << "uniform vec4 uTFactor;\n" << kPostUniforms << "out vec4 fragColor;\n";
    o << "void main() {\n    vec4 cur = vD0;\n    vec4 tmp = vec4(0.0);\n    vec4 tex = vec4(1.0);\n";
    for (int i = 0; i < k.stageCount; ++i) {
        const FfpStageKey& s = k.stages[i];
        o << "    {\n";
        if (s.hasTexture) {
            std::string coord = k.pointSprite ? "gl_PointCoord" : "vT" + std::to_string(i) + ".xy";
            if (s.projected && !k.pointSprite) {
                const char* comp[] = {"x", "x", "y", "z", "w"};
                coord = "(vT" + std::to_string(i) + ".xy / vT" + std::to_string(i) + "." +
                        comp[std::min<int>(s.projected, 4)] + ")";
            }
            o << "        tex = texture(s" << i << ", " << coord << ");\n";
        } else {
            // A stage without a texture reads it as opaque white.
            o << "        tex = vec4(1.0);\n";
        }
        const std::string dst = s.resultTemp ? "tmp" : "cur";
        o << "        vec4 r = " << dst << ";\n";
        o << "        r.rgb = clamp("
          << Op(s.colorOp, Arg(s.colorArg0, false), Arg(s.colorArg1, false), Arg(s.colorArg2, false), false)
          << ", 0.0, 1.0);\n";
        if (s.alphaOp != D3DTOP_DISABLE)
            o << "        r.a = clamp("
              << Op(s.alphaOp, Arg(s.alphaArg0, true), Arg(s.alphaArg1, true), Arg(s.alphaArg2, true), true)
              << ", 0.0, 1.0);\n";
        else
            o << "        r.a = cur.a;\n";
        o << "        " << dst << " = r;\n    }\n";
    }
    o << "    vec4 col = cur;\n";
    if (k.specularEnable) o << "    col.rgb = clamp(col.rgb + vD1.rgb, 0.0, 1.0);\n";
    o << PostCode(k.post);
    o << "    fragColor = col;\n}\n";
    return o.str();
}

namespace {

// Turns the header lines of our shader text into GLSL: the kind line goes,
// "#const NAME cN [COUNT]" becomes a macro.
bool TranslateHeader(const std::string& source, bool pixel, std::string* body, std::string* error) {
    std::istringstream in(source);
    std::ostringstream out;
    std::string line;
    int lineNo = 0;
    bool kindSeen = false;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("#vertexshader", 0) == 0 || line.rfind("#pixelshader", 0) == 0) {
            const bool isPixel = line.rfind("#pixelshader", 0) == 0;
            if (isPixel != pixel) {
                *error = "(" + std::to_string(lineNo) + "): shader kind does not match";
                return false;
            }
            kindSeen = true;
            out << "\n";
            continue;
        }
        if (line.rfind("#version", 0) == 0) {
            out << "\n";
            continue;
        }
        if (line.rfind("#const", 0) == 0) {
            std::istringstream f(line.substr(6));
            std::string name, reg;
            int count = 1;
            f >> name >> reg;
            if (!(f >> count)) count = 1;
            if (name.empty() || reg.size() < 2 || reg[0] != 'c' || count < 1) {
                *error = "(" + std::to_string(lineNo) + "): bad #const line";
                return false;
            }
            int index = 0;
            try {
                index = std::stoi(reg.substr(1));
            } catch (...) {
                *error = "(" + std::to_string(lineNo) + "): bad register " + reg;
                return false;
            }
            const int limit = pixel ? 32 : 256;
            // Compared without adding: a huge register number or count must
            // not wrap around into the range.
            if (index < 0 || index >= limit || count > limit - index) {
                *error = "(" + std::to_string(lineNo) + "): register out of range " + reg;
                return false;
            }
            if (count == 1)
                out << "#define " << name << " c[" << index << "]\n";
            else
                out << "#define " << name << "(k) c[" << index << " + (k)]\n";
            continue;
        }
        out << line << "\n";
    }
    if (!kindSeen) {
        *error = "(1): missing #vertexshader or #pixelshader line";
        return false;
    }
    *body = out.str();
    return true;
}

} // namespace

bool WrapVertexShader(const std::string& source, std::string* glsl, std::string* error) {
    std::string body;
    if (!TranslateHeader(source, false, &body, error)) return false;
    std::ostringstream o;
    o << "#version 330 core\n"
         "layout(location = 0) in vec4 iPosition;\nlayout(location = 1) in vec4 iNormal;\n"
         "layout(location = 2) in vec4 iColor0;\nlayout(location = 3) in vec4 iColor1;\n";
    for (int i = 0; i < 8; ++i) o << "layout(location = " << 4 + i << ") in vec4 iTexCoord" << i << ";\n";
    o << "layout(location = 12) in vec4 iPSize;\nlayout(location = 13) in vec4 iPosition1;\n"
         "layout(location = 14) in vec4 iNormal1;\nlayout(location = 15) in vec4 iTangent;\n"
         "uniform vec4 vc[256];\nuniform ivec4 vci[16];\nuniform bool vcb[16];\nuniform vec2 uPixelFix;\n"
         "#define c vc\n#define ci vci\n#define cb vcb\n"
         "out vec4 vD0;\nout vec4 vD1;\n";
    for (int i = 0; i < 8; ++i) o << "out vec4 vT" << i << ";\n";
    o << "out float vFog;\nout float vEyeZ;\n";
    o << "vec4 oPos = vec4(0.0, 0.0, 0.0, 1.0);\nvec4 oD0 = vec4(1.0);\nvec4 oD1 = vec4(0.0);\n";
    for (int i = 0; i < 8; ++i) o << "vec4 oT" << i << " = vec4(0.0);\n";
    o << "float oFog = 1.0;\nfloat oPts = 1.0;\n" << kVertexEpilogue;
    o << "#define main vesk_user_main\n#line 1\n" << body << "\n#undef main\n";
    o << "void main() {\n    vesk_user_main();\n    vD0 = oD0;\n    vD1 = oD1;\n";
    for (int i = 0; i < 8; ++i) o << "    vT" << i << " = oT" << i << ";\n";
    o << "    vFog = oFog;\n    vEyeZ = oPos.w;\n    gl_PointSize = oPts;\n    vesk_emit(oPos);\n}\n";
    *glsl = o.str();
    return true;
}

bool WrapPixelShader(const std::string& source, const PostKey& post, std::string* glsl, std::string* error) {
    std::string body;
    if (!TranslateHeader(source, true, &body, error)) return false;
    std::ostringstream o;
    o << "#version 330 core\nin vec4 vD0;\nin vec4 vD1;\n";
    for (int i = 0; i < 8; ++i) o << "in vec4 vT" << i << ";\n";
    o << "in float vFog;\nin float vEyeZ;\n";
    // Named apart from the vertex registers: one program holds both.
    o << "uniform vec4 pc[32];\nuniform ivec4 pci[16];\nuniform bool pcb[16];\n"
         "#define c pc\n#define ci pci\n#define cb pcb\n";
    for (int i = 0; i < 8; ++i) o << "uniform sampler2D s" << i << ";\n";
    o << kPostUniforms << "out vec4 fragColor;\n";
    o << "#define v0 vD0\n#define v1 vD1\n";
    for (int i = 0; i < 8; ++i) o << "#define t" << i << " vT" << i << "\n";
    o << "vec4 oC0 = vec4(0.0);\n";
    o << "#define main vesk_user_main\n#line 1\n" << body << "\n#undef main\n";
    o << "void main() {\n    vesk_user_main();\n    vec4 col = oC0;\n"
      << PostCode(post) << "    fragColor = col;\n}\n";
    *glsl = o.str();
    return true;
}

} // namespace vesk::platform
