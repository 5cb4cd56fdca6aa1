// The desktop: frame tick order and cap, hot keys and interception,
// double clicks, pause and strobe, modes and the hide-scene set, drawing,
// binding of the HUD controls, the cursor, and the service's links.
#include "interface/desktop.h"
#include "interface/text_layer.h"

#include <algorithm>
#include <map>

#include "core/services.h"
#include "game/dialogs.h"
#include "interface/interface_services.h"
#include "interface/ship_controller.h"
#include "interface/variators.h"
#include "interface/video_node.h"
#include "interface_fixture.h"
#include "render/device.h"
#include "render/engine.h"
#include "render/null_device_scope.h"
#include "render/world_links.h"
#include "text_fixture.h"

namespace vesk::test {
namespace {

constexpr int kLShiftKey = 42, kF1 = 59, kF2 = 60;

class DesktopTest : public InterfaceTest {
protected:
    void SetUp() override {
        InterfaceTest::SetUp();
        desk = TEngineObject::New<TDeskTop>();
        InterfaceTools->SetDesktop(desk);
        Lua("iGame = {ParseCheatCode = function(k) cheat = k end}\n"
            "iCursor = {SetPos = function(x, y) cx = x; cy = y end}\n"
            "function OnHot(c) combo = c end");
    }
    void TearDown() override {
        InterfaceTools->SetDesktop(&desktop);
        desk->Free();
        InterfaceTest::TearDown();
    }
    // A cursor layer with looks "arrow" (0) and "aim" (1), each a small filled button.
    void AddCursorLayer() {
        TMegaButton* layer = Add(desk, "CursorLayer");
        for (const char* look : {"arrow", "aim"}) {
            TMegaButton* b = Button(layer, look, 0, 0, 4, 4);
            b->SetProperty("COLOR", "FF00FF");
        }
    }
    TDeskTop* desk = nullptr;
};

TEST_F(DesktopTest, ConstructionPlacesTheVirtualScreen) {
    EXPECT_EQ(desk->Name(), "desktop");
    EXPECT_EQ(desk->GetRect(), (TIRect{0, 0, 1024, 768}));
    EXPECT_EQ(desk->ClassName(), "TDeskTop");
}

TEST_F(DesktopTest, FrameTickCapsTheTreeAndTicksFlightOnlyInFlightUnpaused) {
    TMegaButton* target = Button(desk, "target", 0, 0, 1, 1);
    auto* v = Add<TVariator>(desk, "v", "TVarLeft");
    v->SetProperty("CONTROL", "target");
    v->Start();
    // The ship controller turns the mouse travel of a flight tick into its steering axis.
    std::vector<float> flight;
    auto tick = [&](int ms) {
        ShipController = std::make_unique<TShipController>();
        ShipController->MouseMoved(10, 0);
        desk->FrameTick(ms);
        if (ShipController->AxisH() != 0) flight.push_back(ShipController->AxisH());
    };
    tick(250);
    EXPECT_EQ(target->Left(), 10); // 100 of 1000 ms
    desk->SetMode(TDeskTop::kModeGame);
    tick(250);
    desk->SetMode(TDeskTop::kModeHideInterface);
    tick(16);
    desk->SetProperty("PAUSE", "1");
    tick(16);
    desk->SetMode(TDeskTop::kModeShell);
    desk->SetProperty("PAUSE", "0");
    tick(16);
    // The whole frame time counts for the axis, not the tree's capped one.
    EXPECT_EQ(flight, (std::vector<float>{10 * 1.5f / 250, 10 * 1.5f / 16}));
    EXPECT_EQ(target->Left(), 25); // 248 ms: the tree ticks while paused
}

TEST_F(DesktopTest, InterceptedHotKeyGoesToTheHandlerAndNoNode) {
    TMegaButton* b = Add(desk, "b");
    b->SetProperty("HOTKEY", "F2");
    b->SetProperty("ONKEYDOWN", "hit = (hit or 0) + 1");
    desk->KeyEvent(kF2, true);
    desk->KeyEvent(kF2, false);
    EXPECT_EQ(Global("hit"), "1");
    EXPECT_EQ(Global("cheat"), "F2");

    desk->SetProperty("ONINTERCEPTHOTKEY", "OnHot");
    desk->SetProperty("INTERCEPTHOTKEY", "1");
    desk->KeyEvent(kLShiftKey, true);
    EXPECT_EQ(desk->ModifierState(), TDeskTop::kLShift | kModShift);
    EXPECT_EQ(Global("KeyButton"), "LSHIFT");
    desk->KeyEvent(kF1, true);
    desk->KeyEvent(kF1, false);
    EXPECT_EQ(Global("combo"), "LSHIFT+F1");
    EXPECT_FALSE(desk->Intercepting());
    desk->KeyEvent(kLShiftKey, false);
    EXPECT_EQ(desk->ModifierState(), 0);
    EXPECT_EQ(Global("KeyButton"), "space");

    // A key without a name leaves no trailing "+".
    desk->SetProperty("INTERCEPTHOTKEY", "1");
    desk->KeyEvent(29, true); // left Ctrl
    desk->KeyEvent(0, false);
    EXPECT_EQ(Global("combo"), "LCTRL");
    EXPECT_EQ(Global("hit"), "1");
}

TEST_F(DesktopTest, DoubleClickWithinTheTimer) {
    TMegaButton* b = Button(desk, "b", 500, 370, 30, 30);
    b->SetProperty("ONMOUSECLICK", "clicks = (clicks or 0) + 1");
    b->SetProperty("ONMOUSEDBLCLICK", "dbl = (dbl or 0) + 1");
    auto click = [&] {
        desk->MouseButtonEvent(0, true);
        EXPECT_EQ(desk->MouseButtons(), 1);
        desk->MouseButtonEvent(0, false);
        EXPECT_EQ(desk->MouseButtons(), 0);
    };
    click();
    desk->FrameTick(100);
    desk->FrameTick(100);
    click(); // 200 ms later
    EXPECT_EQ(Global("dbl"), "1");
    EXPECT_EQ(Global("clicks"), "1");
    for (int i = 0; i < 3; ++i) desk->FrameTick(100);
    click(); // 300 ms later
    EXPECT_EQ(Global("clicks"), "2");
    EXPECT_EQ(Global("dbl"), "1");
}

TEST_F(DesktopTest, PauseStrobeAndTheCountdownTimer) {
    for (const char* n :
         {"spaceAH", "Map", "IndicatorArray", "FOVVariator", "Radar", "CountdownTimer", "GameTimer"})
        Add(desk, n);
    AddCursorLayer();
    desk->Upload();
    auto* timer = desk->HudControl("CountdownTimer")->AsSens();
    desk->SetProperty("PAUSE", "1");
    EXPECT_TRUE(desk->Paused());
    EXPECT_FALSE(timer->Ticked());
    desk->SetProperty("PAUSE", "0");
    EXPECT_TRUE(timer->Ticked());

    desk->SetProperty("STROBO", "1");
    EXPECT_EQ(desk->StrobeSeconds(), 1);
    desk->FrameTick(100);
    for (int i = 0; i < 8; ++i) desk->FrameTick(100);
    EXPECT_FALSE(desk->Paused());
    desk->FrameTick(100);
    EXPECT_TRUE(desk->Paused());
    desk->SetProperty("STROBO", "0");
    EXPECT_FALSE(desk->Paused());
    EXPECT_EQ(desk->StrobeSeconds(), 0);
}

TEST_F(DesktopTest, UploadFaultsAndGetChildMiss) {
    for (const char* n : {"spaceAH", "IndicatorArray"}) Add(desk, n);
    AddCursorLayer();
    EXPECT_THROW(desk->Upload(), Halted);
    EXPECT_EQ(trap.lastFatal, "TDeskTop.Upload fault: Map interface control not found");
    EXPECT_EQ(desk->Cursor().CurrentIndex(), 0); // bound after "spaceAH"

    int status = 0;
    EXPECT_EQ(desk->GetChildNode("nothing", status, true), nullptr);
    ASSERT_FALSE(trap.reports.empty());
    EXPECT_EQ(trap.reports.back().text,
              "TDesktop.GetChild fault: control not found. See file \"[DesktopTree]_All_For_Debug\"... ");
    EXPECT_EQ(trap.reports.back().flags, "m");
    TSimpleNode* map = Add(desk, "Map");
    EXPECT_EQ(desk->GetChildNode("Map", status, true), map);
    EXPECT_EQ(InterfaceTools->NodeCache().Find("Map"), map);
}

TEST_F(DesktopTest, ModesAndTheHideSceneSet) {
    desk->SetHideSceneModes(1u << TDeskTop::kModeBlack);
    desk->SetMode(TDeskTop::kModeGame);
    EXPECT_FALSE(desk->SceneHidden());
    desk->SetMode(TDeskTop::kModeBlack);
    EXPECT_TRUE(desk->SceneHidden());
    desk->SetMode(TDeskTop::kModeGame);
    desk->SetHideScene(true);
    EXPECT_TRUE(desk->SceneHidden());
    EXPECT_EQ(DesktopModeName(9), "Hide Interface");
}

TEST_F(DesktopTest, DrawingOrderClearAndHiddenInterfaceMode) {
    AddCursorLayer();
    desk->Cursor().Init(desk);
    TMegaButton* panel = Button(desk, "panel", 100, 100, 10, 10);
    panel->SetProperty("COLOR", "00FF00");
    std::vector<std::string> order;
    desk->links.clearTarget = [&](uint32_t c) { order.push_back("clear " + ColorText(c)); };
    desk->links.present = [&] { order.push_back("present"); };
    desk->links.postProcessActive = [] { return true; };
    desk->links.runPostProcess = [&] { order.push_back("post"); };
    desk->SetPostProcessModes(1u << TDeskTop::kModeGame);

    desk->Render(); // drawing not enabled yet
    EXPECT_TRUE(draw.calls.empty());
    desk->SetDrawingEnabled(true);
    desk->SetMode(TDeskTop::kModeGame);
    desk->Render();
    EXPECT_EQ(order, (std::vector<std::string>{"clear 000D1A26", "post", "present"}));
    // The panel, then the cursor look once and last.
    EXPECT_EQ(draw.calls,
              (std::vector<std::string>{"fill 100 100 110 110 FF00FF00", "fill 511 383 515 387 FFFF00FF"}));

    order.clear();
    draw.calls.clear();
    desk->SetClearBeforeDrawing(false);
    desk->SetMode(TDeskTop::kModeHideInterface);
    desk->SetProperty("FPS", "1");
    desk->SetProperty("STROBO", "1");
    desk->SetSoundDataFlag(true);
    desk->links.tickListsText = [] { return std::string("3 0 12"); };
    desk->links.soundStatus = [] { return std::string("Sound: on\r\nChannels: 7"); };
    desk->Render();
    EXPECT_TRUE(order.empty());
    // No panel: the five overlay lines, the two sound lines, "Sec: 1", then the cursor.
    ASSERT_EQ(draw.calls.size(), 9u);
    EXPECT_EQ(draw.calls.back(), "fill 511 383 515 387 FFFF00FF");
    std::vector<std::string> texts;
    for (const TTextDraw& t : draw.texts) texts.push_back(t.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"FPS: 0 (0.0)", "System: ", "vUnknow", "Hide Interface",
                                               "LE: 3 0 12", "Sound: on", "Channels: 7", "Sec: 1"}));
    EXPECT_EQ(draw.texts[6].rect.top, 65); // 50 + 15 per line
    EXPECT_EQ(draw.texts[6].fontSize, 15);
    EXPECT_EQ(draw.texts[2].align, TTextAlign::Right);
    EXPECT_EQ(draw.texts[2].rect.right, 1014);
}

TEST_F(DesktopTest, MouseMotionMovesTheCursorAndCentresItInFlight) {
    AddCursorLayer();
    desk->Cursor().Init(desk);
    TMegaButton* b = Button(desk, "b", 0, 0, 100, 100);
    b->SetProperty("ONMOUSEOVER", "over = 1");
    desk->MouseMoveEvent(-400, -300); // factor 1.5 outside flight
    EXPECT_EQ(desk->CursorPosition(), (TIPoint{0, 0}));
    EXPECT_EQ(Global("cx"), "0");
    EXPECT_EQ(Global("over"), "1");

    desk->SetMode(TDeskTop::kModeGame);
    desk->MouseMoveEvent(10, 0); // far from the centre: factor 3
    ShipController->FrameTick(100);
    EXPECT_FLOAT_EQ(ShipController->AxisH(), 10 * 1.5f / 100); // the raw motion steers the ship
    EXPECT_EQ(desk->Cursor().CurrentIndex(), TICursor::kCentredLook);
    EXPECT_EQ(desk->CursorPosition(), (TIPoint{511, 383}));
    EXPECT_EQ(Global("cx"), "30");

    // Camera rotation: once the travel reaches 21 the cursor hides and nothing is dispatched.
    int looks = 0;
    desk->links.cameraLook = [&] { ++looks; };
    desk->SetCameraRotationMode(true);
    desk->MouseMoveEvent(20, 0);
    EXPECT_EQ(looks, 0);
    desk->MouseMoveEvent(1, 0);
    EXPECT_EQ(looks, 1);
    EXPECT_FALSE(desk->Cursor().Layer()->AsSens()->Visible());
}

TEST_F(DesktopTest, WheelZoomsTheCameraWithLeftAlt) {
    std::vector<int> zoom;
    desk->links.cameraZoom = [&](int d) { zoom.push_back(d); };
    desk->MouseWheelEvent(240);
    desk->KeyEvent(56, true); // left Alt
    desk->MouseWheelEvent(-240);
    EXPECT_EQ(zoom, (std::vector<int>{-2000}));
}

TEST_F(DesktopTest, LoadingBarOnlyInShellAndLoadingAndInputFlags) {
    desk->SetProperty("ONUPDATELOADINGBAR", "bar = (bar or 0) + 1");
    desk->SetDrawingEnabled(true);
    desk->SetClearBeforeDrawing(false);
    int presents = 0;
    desk->links.present = [&] { ++presents; };
    for (int mode : {1, 2, 5, 6}) {
        desk->SetMode(mode);
        desk->UpdateLoadingBar();
    }
    EXPECT_EQ(Global("bar"), "2");
    EXPECT_EQ(presents, 2); // redrawn at once with the one-shot clear

    bool inverted = false;
    desk->links.setMouseInversion = [&](bool on) { inverted = on; };
    desk->links.joystick = [] { return true; };
    desk->SetProperty("INVERSION", "1");
    EXPECT_TRUE(inverted);
    EXPECT_EQ(Prop(desk, "JOYSTICK"), "1");
}

TEST_F(DesktopTest, PlayVideo) {
    std::map<std::string, std::string> settings{{"playvideo", "0"}};
    desk->links.setting = [&](const std::string& k) { return settings[k]; };
    std::vector<std::string> opened;
    desk->links.openVideo = [&](TSimpleNode*, const std::string& file, bool loop, const std::string& onEnd) {
        opened.push_back(file + (loop ? " loop " : " once ") + onEnd);
        return file != "bad.avi";
    };
    desk->PlayVideo("intro.avi", "ended = 1");
    EXPECT_EQ(Global("ended"), "1"); // video off: the handler at once
    EXPECT_TRUE(opened.empty());

    settings["playvideo"] = "1";
    settings["subtitles"] = "1";
    Lua("iSubtitles = {Start = function(f) sub = f end, Stop = function() sub = 'off' end}");
    Add(desk, "VideoPlayer");
    desk->PlayVideo("intro.avi", "OnEnd()");
    desk->PlayVideo("space.avi", "LOOP");
    EXPECT_EQ(opened,
              (std::vector<std::string>{"intro.avi once iSubtitles.Stop() OnEnd()", "space.avi loop LOOP"}));
    EXPECT_EQ(Global("sub"), "space.avi");
    EXPECT_TRUE(desk->VideoRunning());
    desk->StopVideo();
    EXPECT_EQ(Global("sub"), "off");
    EXPECT_FALSE(desk->VideoRunning());

    EXPECT_THROW(desk->PlayVideo("bad.avi", "x()"), Halted);
    EXPECT_EQ(trap.lastFatal, "TDeskTop.PlayVideo: (1)bad.avi, x()");
}

// Key names and file names reach the scripts as Lua strings whatever they
// hold: the backslash key and a Windows path do not break the chunk.
TEST_F(DesktopTest, KeyAndFileNamesAreQuotedForLua) {
    constexpr int kBackslash = 43;
    desk->KeyEvent(kBackslash, true);
    EXPECT_EQ(Global("cheat"), "\\");
    desk->KeyEvent(kBackslash, false);

    desk->SetProperty("ONINTERCEPTHOTKEY", "OnHot");
    desk->SetProperty("INTERCEPTHOTKEY", "1");
    desk->KeyEvent(kBackslash, true);
    desk->KeyEvent(kBackslash, false);
    EXPECT_EQ(Global("combo"), "\\");

    std::map<std::string, std::string> settings{{"playvideo", "1"}, {"subtitles", "1"}};
    desk->links.setting = [&](const std::string& k) { return settings[k]; };
    desk->links.openVideo = [](TSimpleNode*, const std::string&, bool, const std::string&) { return true; };
    Lua("iSubtitles = {Start = function(f) sub = f end, Stop = function() end}");
    Add(desk, "VideoPlayer");
    desk->PlayVideo("video\\intro \"1\".avi", "LOOP");
    EXPECT_EQ(Global("sub"), "video\\intro \"1\".avi");
}

// The frame's texts are drawn before the cursor layer, the post effects and
// the present, not after them.
TEST_F(DesktopTest, TextLayerIsDrawnBeforeCursorPostEffectsAndPresent) {
    std::vector<std::string> order;
    struct Glyphs : IRenderSymbols {
        explicit Glyphs(std::vector<std::string>& o) : order(o) {}
        void BeginBatch() override {}
        void PlaceGlyph(const TGlyph&, int, int) override {}
        void DrawGlyph(uint32_t) override { order.push_back("glyph"); }
        void EndBatch() override {}
        std::vector<std::string>& order;
    } glyphs(order);
    struct Fills : TDrawRecorder {
        explicit Fills(std::vector<std::string>& o) : order(o) {}
        void FillRect(const TIRect& r, uint32_t c) override {
            TDrawRecorder::FillRect(r, c);
            order.push_back("fill");
        }
        std::vector<std::string>& order;
    } fills(order);
    IRenderSymbols* oldGlyphs = InterfaceGlyphRenderer;
    InterfaceGlyphRenderer = &glyphs;
    GDIFontLib.reset();
    TextLayer = std::make_unique<TTextLayer>(tlGDI, FixedFonts());
    InterfaceTextDrawer = TextLayer.get();
    InterfaceDrawer = &fills;

    AddCursorLayer();
    desk->Cursor().Init(desk);
    desk->links.present = [&] { order.push_back("present"); };
    desk->links.postProcessActive = [] { return true; };
    desk->links.runPostProcess = [&] { order.push_back("post"); };
    desk->SetPostProcessModes(1u << TDeskTop::kModeShell);
    desk->SetDrawingEnabled(true);
    desk->SetClearBeforeDrawing(false);
    desk->SetMode(TDeskTop::kModeShell);
    desk->SetProperty("FPS", "1");
    desk->UpdateLoadingBar(); // a drawing with the one-shot clear, so it presents
    const auto firstFill = std::find(order.begin(), order.end(), "fill");
    ASSERT_NE(firstFill, order.end());
    EXPECT_GT(std::count(order.begin(), firstFill, "glyph"), 0);
    EXPECT_EQ(std::vector<std::string>(firstFill, order.end()),
              (std::vector<std::string>{"fill", "post", "present"}));

    InterfaceDrawer = &draw;
    InterfaceTextDrawer = &draw;
    TextLayer.reset();
    GDIFontLib.reset();
    InterfaceGlyphRenderer = oldGlyphs;
}

// The interface as the program installs it, its desktop created.
class InterfaceServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!TEODestroyManager) TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
        InstallInterfaceServices(services);
        services.desktop->InitCore();
        services.desktop->Create();
    }
    ErrorTrap trap;
    CoreServices services;
};

TEST_F(InterfaceServiceTest, DrivesTheDesktopAndLinksTheRenderEngine) {
    IDesktop& d = *services.desktop;
    ASSERT_NE(CurrentDesktop(), nullptr);
    EXPECT_NE(TextLayer, nullptr); // the interface's and the console's texts have a layer
    EXPECT_EQ(InterfaceTextDrawer, TextLayer.get());
    RenderWorldLinks& links = GetRenderWorldLinks();
    CurrentDesktop()->SetMode(TDeskTop::kModeGame);
    CurrentDesktop()->SetProperty("PAUSE", "1");
    EXPECT_EQ(d.Mode(), 1);
    EXPECT_TRUE(d.Paused());
    ASSERT_TRUE(links.desktopMode && links.desktopPaused);
    EXPECT_EQ(links.desktopMode(), 1);
    EXPECT_TRUE(links.desktopPaused());
    // The effects read the flag itself: a pause and its end reach them at once.
    EXPECT_TRUE(IsRenderPaused());
    CurrentDesktop()->SetProperty("PAUSE", "0");
    EXPECT_FALSE(IsRenderPaused());
    CurrentDesktop()->SetProperty("PAUSE", "1");
    d.Upload(); // an empty tree binds nothing and goes on
    EXPECT_TRUE(trap.lastFatal.empty());
    float dt = 500;
    CurrentDesktop()->links.setMaxLag(100);
    d.UpdateFrameTimer(dt);
    EXPECT_EQ(dt, 100.0f);
    const int32_t desktopId = CurrentDesktop()->GetId();
    d.Release();
    EXPECT_EQ(CurrentDesktop(), nullptr);
    EXPECT_EQ(TextLayer, nullptr);
    EXPECT_FALSE(links.desktopMode);
    // Nothing reads the flag of a desktop that is gone.
    EXPECT_EQ(links.desktopPauseByte, nullptr);
    EXPECT_FALSE(IsRenderPaused());
    // The desktop waits in the destroy queue, behind what was released before
    // it, and the next flush frees it.
    TEngineObject* queued = FindEngineObjectById(desktopId);
    ASSERT_NE(queued, nullptr);
    EXPECT_TRUE(queued->InDestroyQueue());
    TEODestroyManager->Flush();
    EXPECT_EQ(FindEngineObjectById(desktopId), nullptr);
    d.FreeCore();
}

TEST(InterfaceStartTest, StartingTheInterfaceSetsItsDialogFileViewportListAndTextColour) {
    ErrorTrap trap;
    CoreServices services;
    InstallInterfaceServices(services);
    IDesktop& d = *services.desktop;
    DialogFileName.clear();
    d.InitCore();
    EXPECT_EQ(DialogFileName, "demodialog.dlg");
    ASSERT_NE(InterfaceViewports, nullptr);
    // The text layer starts in the colour table's entry 2, whatever it holds.
    SysColorTable->SetColor(2, 0xFF123456u);
    d.Create();
    ASSERT_NE(TextLayer, nullptr);
    EXPECT_EQ(TextLayer->Color(), 0xFF123456u);
    // A frame the desktop finishes itself during a load is presented.
    EXPECT_TRUE(static_cast<bool>(CurrentDesktop()->links.present));
    d.Release();
    if (TEODestroyManager) TEODestroyManager->Flush();
    d.FreeCore();
    EXPECT_EQ(InterfaceViewports, nullptr);
}

TEST(InterfaceViewportsTest, AViewGivesItsEntryBackForTheNext) {
    ErrorTrap trap;
    const bool ownQueue = !TEODestroyManager;
    if (ownQueue) TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
    const bool ownRegistry = !LiveObjects;
    if (ownRegistry) LiveObjects = std::make_unique<LiveObjectRegistryClass>();
    TViewportList list;
    EXPECT_EQ(list.Acquire(), -1); // no engine, no entry
    auto* engine = TBaseRenderUnit::Create<TEngineClass>(nullptr);
    const int count = engine->Viewports().Count();
    const int first = list.Acquire();
    EXPECT_EQ(first, count);
    list.GiveBack(first);
    list.GiveBack(first); // once only
    EXPECT_EQ(list.FreeCount(), 1u);
    EXPECT_EQ(list.Acquire(), first);
    EXPECT_EQ(list.Acquire(), count + 1);
    EXPECT_EQ(engine->Viewports().Count(), count + 2);
    // An entry the present engine does not have is not handed out.
    list.GiveBack(count + 50);
    EXPECT_EQ(list.Acquire(), count + 2);
    engine->DiscardBRU();
    engine->Free();
    TEODestroyManager->Flush();
    if (ownQueue) TEODestroyManager.reset();
    if (ownRegistry) LiveObjects.reset();
}

// Without a device (a headless run) nothing of the interface would be seen:
// the service does not draw the desktop; with a device it draws the frame.
TEST_F(InterfaceServiceTest, DrawsOnlyOnADevice) {
    IDesktop& d = *services.desktop;
    d.SetScriptsLoaded();
    int presented = 0;
    CurrentDesktop()->links.present = [&] { ++presented; };
    d.Render();
    EXPECT_EQ(presented, 0);
    {
        NullDeviceScope device;
        device.Init();
        ASSERT_TRUE(Device);
        d.Render();
        EXPECT_EQ(presented, 1);
    }
    d.Release();
    TEODestroyManager->Flush();
    d.FreeCore();
    EXPECT_TRUE(trap.lastFatal.empty());
}

} // namespace
} // namespace vesk::test
