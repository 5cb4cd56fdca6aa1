// Interface layouts as scripts build them through engine_Desktop: nodes of
// every registered class (menus, HUD markers, bars, radar, variators, video)
// inserted under each other and copied from patterns, their properties set by
// key, their methods run, nodes deleted; the desktop then runs, takes clicks
// and keys, and draws. Fatal reports end the run of one input.
#include "core/lua_machine.h"
#include "fuzz_support.h"
#include "interface/draw_nodes.h"
#include "interface/interface_tools.h"
#include "platform/files.h"

#include <string>
#include <vector>

using namespace vesk;

namespace {

const char* const kClasses[] = {"TAHLayer",
                                "TAHObjComplexParamBar",
                                "TAHObjParamBar",
                                "TAHRange",
                                "TAHSelector",
                                "TAHSpeed",
                                "TAHWaypoint",
                                "TActiveHelperBar",
                                "TDistanceNode",
                                "TEditNode",
                                "TEnemyList",
                                "TEnemyShipHelper",
                                "TFlashNode",
                                "TFragCounterNode",
                                "TFriendList",
                                "TGamePropertyNode",
                                "TGameTimer",
                                "THotKeyNode",
                                "TImageNode",
                                "TIndicator",
                                "TLabelNode",
                                "TListNode",
                                "TMap",
                                "TMapNode",
                                "TMegaButton",
                                "TMineHelper",
                                "TMissionList",
                                "TMovingNode",
                                "TNoiseGenerator",
                                "TObjectNode",
                                "TOpacityNode",
                                "TPolygonNode",
                                "TRadar",
                                "TRadarNode",
                                "TRectNode",
                                "TRocketHelper",
                                "TScriptNode",
                                "TSensNode",
                                "TShipHelper",
                                "TSimpleNode",
                                "TTargetList",
                                "TTargetedCounterNode",
                                "TTestPoint",
                                "TTransformNode",
                                "TVarAngle",
                                "TVarColor",
                                "TVarFOV",
                                "TVarFontSize",
                                "TVarFrameColor",
                                "TVarHeight",
                                "TVarImageColor",
                                "TVarImageHeight",
                                "TVarImageLeft",
                                "TVarImageTop",
                                "TVarImageWidth",
                                "TVarLeft",
                                "TVarNode",
                                "TVarOpacity",
                                "TVarTextColor",
                                "TVarTop",
                                "TVarWidth",
                                "TVariator",
                                "TVideoNode",
                                "TViewportNode",
                                "TNoSuchNode"};
const char* const kKeys[] = {"ACTIVATIONTIME",
                             "ACTIVEINDICATOR",
                             "ALPHA",
                             "ALPHAPAUSE",
                             "ALPHATIME",
                             "ANGLE",
                             "ANITIMER",
                             "APPROACHDIST",
                             "AUTOOFFTIME",
                             "BACKCOLOR",
                             "BACKIMAGESIZE",
                             "BARTYPE",
                             "BARVALUE",
                             "BASICNOISELEVEL",
                             "BEGINVALUE",
                             "BLEND",
                             "CALLBACK",
                             "CHILDCOUNT",
                             "COLOR",
                             "CONTROL",
                             "COUNTDOWN",
                             "EDIT",
                             "ENABLED",
                             "ENDVALUE",
                             "EXTFUNC",
                             "FADEDIST",
                             "FLASH",
                             "FLASHFREQUENCY",
                             "FLASHTIME",
                             "FLASHTIMER",
                             "FLASHVISIBLE",
                             "FOCUSED",
                             "FONTSIZE",
                             "FPS",
                             "FRAMEALPHA",
                             "FRAMECOLOR",
                             "FUNCTION",
                             "HEIGHT",
                             "HELPEROFF",
                             "HOTKEY",
                             "HSCALE",
                             "IMAGE",
                             "IMAGEALPHA",
                             "IMAGECLIPBOTTOM",
                             "IMAGECLIPLEFT",
                             "IMAGECLIPRIGHT",
                             "IMAGECLIPTOP",
                             "IMAGECOLOR",
                             "IMAGEHEIGHT",
                             "IMAGELEFT",
                             "IMAGESIZE",
                             "IMAGETOP",
                             "IMAGEWIDTH",
                             "INTERCEPTHOTKEY",
                             "INVERSION",
                             "JOYSTICK",
                             "LEFT",
                             "MARKED",
                             "MAXDIST",
                             "MAXRADIUS",
                             "MINDIST",
                             "MINRADIUS",
                             "NAME",
                             "NEXTVAR",
                             "NOISELEVEL",
                             "OBJPOINTER",
                             "ONENTER",
                             "ONESC",
                             "ONFADEINCOMPLETE",
                             "ONFADEOUTCOMPLETE",
                             "ONMOUSECLICK",
                             "ONINTERCEPTHOTKEY",
                             "ONUPDATELOADINGBAR",
                             "ONVARCOMPLETE",
                             "OPACITY",
                             "OPACITYTYPE",
                             "OUTRADIUS",
                             "PARAMID",
                             "PARENT",
                             "PATTERN",
                             "PAUSE",
                             "POINTCOUNT",
                             "REPEAT",
                             "REVERSE",
                             "ROTATION",
                             "SCALE",
                             "SELECTEDIMAGE",
                             "SHADOWCOLOR",
                             "SPEED",
                             "SPLASHTIME",
                             "STROBO",
                             "TEXT",
                             "TEXTALIGN",
                             "TEXTALPHA",
                             "TEXTCOLOR",
                             "TEXTECH",
                             "TEXTHEIGHT",
                             "TEXTLEFT",
                             "TEXTSTYLE",
                             "TEXTTOP",
                             "TEXTVERTALIGN",
                             "TEXTWIDTH",
                             "TEXTWRAP",
                             "TICKED",
                             "TICKTIME",
                             "TIME",
                             "TIMER",
                             "TOGGLEOFFCOLOR",
                             "TOGGLEONCOLOR",
                             "TOP",
                             "VIDEOCLIP",
                             "VIEWPORT",
                             "VIEWPORTSHIP",
                             "VISIBLE",
                             "VISIBLERANGE",
                             "VISUALMODE",
                             "VSCALE",
                             "WIDTH",
                             "X",
                             "Y"};
const char* const kMethods[] = {"FADEIN",      "FADEOUT",     "INIT",       "ROTATEDOWN", "ROTATELEFT",
                                "ROTATERESET", "ROTATERIGHT", "ROTATEUP",   "SCROLLDOWN", "SCROLLUP",
                                "STARTVAR",    "STOPVAR",     "STOPROTATE", "TURNOFF",    "TURNOFFALL",
                                "TURNON",      "TURNONALL",   "ENTER",      "TESTON",     "TESTOFF"};
const char* const kNames[] = {"desktop", "n1", "n2", "n3", "n4", "n5", "Bar_1", "Bar_2", "HelperFrame", ""};
const char* const kValues[] = {"",        "0",        "1",    "-1",     "100",    "1e30",   "nan",
                               "FF8040",  "80FFFFFF", "LEFT", "CENTER", "BOTTOM", "ADD",    "n1",
                               "desktop", "@0041@",   "a@b",  "#2x#0",  "x = 1",  "error()"};

class View : public IDesktopView {
public:
    TSimpleNode* Root() override { return root; }
    bool DoubleClickFlag() override { return false; }
    uint8_t ModifierState() override { return modifiers; }
    TIPoint CursorPosition() override { return cursor; }
    TSimpleNode* root = nullptr;
    uint8_t modifiers = 0;
    TIPoint cursor{0, 0};
};

View g_view;
TDrawRecorder g_draw;
std::string g_fuzzerFolder;

void Prepare() {
    static const bool done = [] {
        g_fuzzerFolder = platform::CurrentFolder();
        if (!TEODestroyManager) TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
        CreateLuaMachine();
        StartInterfaceCore();
        InterfaceTools->SetDesktop(&g_view);
        InterfaceDrawer = &g_draw;
        InterfaceTextDrawer = &g_draw;
        return true;
    }();
    (void)done;
}

std::string Pick(fuzz::Bytes& in, const char* const* list, size_t count) {
    const uint8_t b = in.U8();
    return b < 240 ? list[b % count] : in.Text(12);
}
template <size_t N> std::string Pick(fuzz::Bytes& in, const char* const (&list)[N]) {
    return Pick(in, list, N);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::QuietReports();
    Prepare();
    // Fault reports write their tree dumps into the current folder; the
    // fuzzer's own corpus paths are relative to its folder, so step out only
    // while the input runs.
    platform::SetCurrentFolder(fuzz::RunFolder());
    auto* root = TEngineObject::New<TMegaButton>();
    root->SetName("desktop");
    root->SetWidth(1024);
    root->SetHeight(768);
    g_view.root = root;
    fuzz::Bytes in(data, size);
    try {
        for (int step = 0; step < 48 && !in.Empty(); ++step) {
            std::vector<std::string> args;
            switch (in.U8() % 9) {
            case 0:
            case 1: // insert <name> <parent> <pattern> <class>
                args = {"insert", Pick(in, kNames), Pick(in, kNames), in.U8() % 3 ? "" : Pick(in, kNames),
                        Pick(in, kClasses)};
                break;
            case 2:
            case 3: { // update <name> <key> <value> ...
                args = {"update", Pick(in, kNames)};
                for (int i = 0, n = 1 + in.U8() % 4; i < n; ++i) {
                    args.push_back(Pick(in, kKeys));
                    args.push_back(in.U8() % 2 ? Pick(in, kValues) : in.Text(20));
                }
                break;
            }
            case 4: // <name>::<key> <value>
                args = {Pick(in, kNames) + "::" + Pick(in, kKeys), Pick(in, kValues)};
                break;
            case 5: // <name>::<method>
                args = {Pick(in, kNames) + "::" + Pick(in, kMethods)};
                break;
            case 6:
                args = {"delete", Pick(in, kNames)};
                break;
            case 7: { // the desktop runs, is clicked and typed at
                g_view.cursor = {static_cast<int>(in.U8()) * 4, static_cast<int>(in.U8()) * 3};
                g_view.modifiers = in.U8();
                DispatchMouseMove(root, g_view.cursor.x, g_view.cursor.y);
                const int button = in.U8() % 3;
                DispatchMouseButton(root, g_view.cursor.x, g_view.cursor.y, 0, button);
                DispatchMouseButton(root, g_view.cursor.x, g_view.cursor.y, 1, button);
                DispatchKey(root, in.U8(), in.U8() % 2);
                TickTree(root, in.U8() * 8);
                break;
            }
            default:
                g_draw.calls.clear();
                g_draw.images.clear();
                g_draw.texts.clear();
                DrawTree(root);
                fuzz::g_sink = fuzz::g_sink + g_draw.calls.size();
                break;
            }
            if (!args.empty()) InterfaceTools->RunScript(args);
        }
        DrawTree(root);
    } catch (const fuzz::HaltedRun&) {
    }
    g_view.root = nullptr;
    root->Free();
    TEODestroyManager->Flush();
    platform::SetCurrentFolder(g_fuzzerFolder);
    return 0;
}
