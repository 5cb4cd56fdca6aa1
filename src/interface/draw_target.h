#pragma once
// What the visual nodes draw through: filled and framed shapes, images and
// text, in real-screen pixels. The render side implements the drawer, the
// text output implements the text drawer; TDrawRecorder keeps every call as
// a line of text for tests and tools.
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

class VideoRendererClass;

struct TIPoint {
    int x = 0, y = 0;
    bool operator==(const TIPoint&) const = default;
};

// Left and top inclusive, right and bottom exclusive.
struct TIRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    bool operator==(const TIRect&) const = default;
};

// A turn by an angle in radians, clockwise on the screen (y grows downward),
// about a centre. Quarter turns come out exact, so a picture turned by them
// keeps whole pixels.
class TTurn {
public:
    struct Point {
        float x = 0, y = 0;
    };
    TTurn(float radians, float centreX, float centreY);
    Point operator()(float x, float y) const;
    TIPoint Rounded(float x, float y) const;

private:
    float cos_ = 1, sin_ = 0, cx_ = 0, cy_ = 0;
};

enum class TImageBlend : uint8_t { Normal, Add };

struct TImageDraw {
    std::string texture; // file name as the scripts gave it
    TIRect dest;         // real-screen pixels
    // Texture pixels; an empty rectangle means the whole texture.
    TIRect source;
    uint32_t color = 0xFFFFFFFF; // ARGB modulating the texture, opacity included
    bool alphaChannel = true;    // the texture's own alpha is used
    TImageBlend blend = TImageBlend::Normal;
    int technique = 0;
    // Radians clockwise on the screen (y grows downward) about the pivot, in
    // real-screen pixels on the grid of dest's edges; 0 draws dest as it is.
    float turn = 0.0f;
    float pivotX = 0.0f, pivotY = 0.0f;
};

enum class TTextAlign : uint8_t { Left, Right, Center, Width };
enum class TTextVertAlign : uint8_t { Top, Bottom, Center };
enum class TTextStyle : uint8_t { Normal, Shadow, Outline };

struct TTextDraw {
    std::string text; // Windows-1251 with the in-line "#" colour pairs
    TIRect rect;      // real-screen pixels
    uint32_t color = 0xFFFFFFFF;
    int fontSize = 11;
    TTextAlign align = TTextAlign::Left;
    TTextVertAlign vertAlign = TTextVertAlign::Top;
    TTextStyle style = TTextStyle::Normal;
    uint32_t shadowColor = 0xFF000000;
    bool wrap = false;
    int firstLine = 0; // lines scrolled away at the top
};

class IInterfaceDrawer {
public:
    virtual ~IInterfaceDrawer() = default;
    virtual void FillRect(const TIRect& rect, uint32_t argb) = 0;
    virtual void FrameRect(const TIRect& rect, uint32_t argb) = 0;
    virtual void FillPolygon(std::span<const TIPoint> points, uint32_t argb) = 0;
    // The outline through the points, closed back to the first.
    virtual void FramePolygon(std::span<const TIPoint> points, uint32_t argb) = 0;
    virtual void DrawImage(const TImageDraw& image) = 0;
    // The current frame of a playing video, stretched over the rectangle.
    virtual void DrawVideo(VideoRendererClass& /*video*/, const TIRect& /*dest*/) {}
    // The texture a name loads: an identity shared by names that load the same
    // texture, and its size in pixels. False when the drawer has none.
    virtual bool TextureInfo(const std::string& /*name*/, uint64_t& /*identity*/, int& /*width*/,
                             int& /*height*/) {
        return false;
    }
    // Drawing that is not the interface's own (a 3D scene in a viewport) runs
    // with the device as the scene left it; the interface's own drawing state
    // comes back after it, so nodes drawn later still show.
    virtual void DrawOutside(const std::function<void()>& draw) { draw(); }
};

// One laid-out run of one colour at a virtual-screen position (its line's top left).
struct TTextRun {
    int x = 0, y = 0;
    std::u16string text;
    uint32_t color = 0xFFFFFFFF;
    int fontSize = 11;
    TTextStyle style = TTextStyle::Normal;
    uint32_t shadowColor = 0xFF000000;
};

class ITextDrawer {
public:
    virtual ~ITextDrawer() = default;
    // A block of text wrapped into the rectangle.
    virtual void DrawText(const TTextDraw& text) = 0;
    virtual void DrawRun(const TTextRun& run) = 0;
    // Virtual pixels of text at a font size.
    virtual float LineWidth(std::u16string_view text, float size) = 0;
};

// Where the visual nodes draw; nothing is drawn while they are empty.
extern IInterfaceDrawer* InterfaceDrawer;
extern ITextDrawer* InterfaceTextDrawer;

// Keeps each call as one line, e.g. "fill 10 20 110 40 FF00FF00".
class TDrawRecorder : public IInterfaceDrawer, public ITextDrawer {
public:
    void FillRect(const TIRect& rect, uint32_t argb) override;
    void FrameRect(const TIRect& rect, uint32_t argb) override;
    void FillPolygon(std::span<const TIPoint> points, uint32_t argb) override;
    void FramePolygon(std::span<const TIPoint> points, uint32_t argb) override;
    void DrawImage(const TImageDraw& image) override;
    void DrawVideo(VideoRendererClass& video, const TIRect& dest) override;
    void DrawText(const TTextDraw& text) override;
    void DrawRun(const TTextRun& run) override;
    // Every character is 6 virtual pixels wide at every size.
    float LineWidth(std::u16string_view text, float size) override;

    std::vector<std::string> calls;
    std::vector<TImageDraw> images;
    std::vector<TTextDraw> texts;
    std::vector<TTextRun> runs;
};

std::string RectText(const TIRect& r);
std::string ColorText(uint32_t argb); // 8 upper-case hex digits

} // namespace vesk
