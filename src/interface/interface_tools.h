#pragma once
// The interface's tool object: the node cache, the interface fault report,
// the handler runner and the link to the desktop that the node classes read.
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "interface/draw_target.h"
#include "interface/simple_node.h"

namespace vesk {

// What the nodes read of the desktop and its cursor. The desktop implements it;
// tests give their own.
class IDesktopView {
public:
    virtual ~IDesktopView() = default;
    // The root of the tree (dumps).
    virtual TSimpleNode* Root() = 0;
    // A left press came while the double-click timer was running.
    virtual bool DoubleClickFlag() = 0;
    // Bits: 1 right Ctrl, 2 right Alt, 4 right Shift, 8 left Ctrl, 16 left Alt,
    // 32 left Shift, 64 either Shift.
    virtual uint8_t ModifierState() = 0;
    // The interface cursor in virtual-screen pixels.
    virtual TIPoint CursorPosition() = 0;
    // The interface is paused (the HUD's clocks stand still).
    virtual bool Paused() { return false; }
};

inline constexpr uint8_t kModShift = 64;

class TiTools {
public:
    static constexpr int kDefaultMaxFrameMs = 1000;

    THashEngine& NodeCache() { return cache_; }
    uint8_t DumpWriteFlag() const { return dumpWriteFlag_; }
    void SetDumpWriteFlag(uint8_t flag) { dumpWriteFlag_ = flag; }
    const std::string& CurrentNodeName() const { return currentNode_; }

    void SetDesktop(IDesktopView* desktop) { desktop_ = desktop; }
    IDesktopView* Desktop() const { return desktop_; }
    bool DesktopDoubleClick() const { return desktop_ && desktop_->DoubleClickFlag(); }
    uint8_t DesktopModifiers() const { return desktop_ ? desktop_->ModifierState() : 0; }

    // Dumps the whole tree, then the central report: "mh" for level 2, "m" otherwise.
    void FaultReport(const std::string& message, int level);
    // slf="<node name>", then the handler text.
    void RunHandler(const std::string& nodeName, const std::string& text);
    // Runs a chunk when the Lua host is up.
    static void RunLua(const std::string& text);
    // Runs a chunk that reads its numbers as `...` (compiled once, whatever the numbers).
    static void RunLua(const std::string& text, std::initializer_list<double> args);
    static void LogReport(const std::string& message);
    static std::string BoolToText(bool flag) { return flag ? "1" : "0"; }

    // The interface script commands of engine_Desktop: a handler or method of a
    // node, a property set, "delete", "update" and "insert". True when the
    // command failed (it was reported).
    bool RunScript(const std::vector<std::string>& args);
    // A node by name through the node cache, reported when missing (level 1).
    TSimpleNode* GetChild(const std::string& name);

    // Counts frames per second and cuts a frame longer than the maximum.
    void FrameTick(float& frameMs);
    int FramesLastSecond() const { return framesLastSecond_; }
    int ExcessLastSecond() const { return excessLastSecond_; }
    bool FrameCapOn() const { return frameCap_; }
    void SetFrameCap(bool on) { frameCap_ = on; }
    int MaxFrameTime() const { return maxFrameMs_; }
    void SetMaxFrameTime(int ms) { maxFrameMs_ = ms; }

    // The program's version text; "Unknow" until it is read, empty when the
    // program carries none.
    void ReadFileVersion();
    const std::string& GetVersion() const { return version_; }

    // Bytes of the distinct textures the image nodes of the tree show.
    void UpdateTextureMemory();
    int TextureMemory() const { return textureMemory_; }
    int DistinctTextures() const { return distinctTextures_; }
    int SharedTextures() const { return sharedTextures_; }

private:
    void RunNodeCommand(const std::string& command);
    THashEngine cache_;
    uint8_t dumpWriteFlag_ = 0;
    std::string currentNode_;
    IDesktopView* desktop_ = nullptr;
    std::string version_ = "Unknow";
    bool frameCap_ = true;
    int maxFrameMs_ = kDefaultMaxFrameMs;
    int frameCounter_ = 0;
    float accumulated_ = 0;
    int framesLastSecond_ = 0;
    int excessMs_ = 0;
    int excessLastSecond_ = 0;
    int textureMemory_ = 0;
    int distinctTextures_ = 0;
    int sharedTextures_ = 0;
};

// Made when the interface core starts, freed when it ends.
extern std::unique_ptr<TiTools> InterfaceTools;

// The interface fault report; without the tool object only the central report.
void InterfaceFault(const std::string& message, int level);
// The cursor position (the screen centre when no desktop is linked).
TIPoint InterfaceCursor();

// Registers the node classes of the chain with the class registry.
void RegisterInterfaceNodeClasses();
// The interface core: colour table, tool object and the node classes.
void StartInterfaceCore();
void EndInterfaceCore();

} // namespace vesk
