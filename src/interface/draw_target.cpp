#include "interface/draw_target.h"

#include <cmath>
#include <cstdio>

#include "render/video_renderer.h"

namespace vesk {

IInterfaceDrawer* InterfaceDrawer = nullptr;
ITextDrawer* InterfaceTextDrawer = nullptr;

TTurn::TTurn(float radians, float centreX, float centreY) : cx_(centreX), cy_(centreY) {
    // Cosine and sine of a quarter turn are not quite 0 and 1 in floats.
    auto snap = [](double v) {
        const double r = std::round(v);
        return static_cast<float>(std::fabs(v - r) < 1e-6 ? r : v);
    };
    cos_ = snap(std::cos(static_cast<double>(radians)));
    sin_ = snap(std::sin(static_cast<double>(radians)));
}

TTurn::Point TTurn::operator()(float x, float y) const {
    const float dx = x - cx_, dy = y - cy_;
    return {cx_ + dx * cos_ - dy * sin_, cy_ + dx * sin_ + dy * cos_};
}

TIPoint TTurn::Rounded(float x, float y) const {
    const Point p = (*this)(x, y);
    return {static_cast<int>(std::lround(p.x)), static_cast<int>(std::lround(p.y))};
}

std::string RectText(const TIRect& r) {
    return std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right) + " " +
           std::to_string(r.bottom);
}

std::string ColorText(uint32_t argb) {
    // "%08X" by hand: nodes put their colours into properties every frame.
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text(8, '0');
    for (int i = 7; i >= 0; --i, argb >>= 4) text[static_cast<size_t>(i)] = kDigits[argb & 0xFu];
    return text;
}

namespace {
std::string PointsText(std::span<const TIPoint> points) {
    std::string s;
    for (const TIPoint& p : points) s += " " + std::to_string(p.x) + "," + std::to_string(p.y);
    return s;
}
} // namespace

void TDrawRecorder::FillRect(const TIRect& rect, uint32_t argb) {
    calls.push_back("fill " + RectText(rect) + " " + ColorText(argb));
}

void TDrawRecorder::FrameRect(const TIRect& rect, uint32_t argb) {
    calls.push_back("frame " + RectText(rect) + " " + ColorText(argb));
}

void TDrawRecorder::FillPolygon(std::span<const TIPoint> points, uint32_t argb) {
    calls.push_back("fillpoly" + PointsText(points) + " " + ColorText(argb));
}

void TDrawRecorder::FramePolygon(std::span<const TIPoint> points, uint32_t argb) {
    calls.push_back("framepoly" + PointsText(points) + " " + ColorText(argb));
}

void TDrawRecorder::DrawImage(const TImageDraw& image) {
    images.push_back(image);
    std::string turn;
    if (image.turn != 0.0f) {
        char buf[64];
        std::snprintf(buf, sizeof buf, " turned %.4f about %.1f,%.1f", image.turn, image.pivotX,
                      image.pivotY);
        turn = buf;
    }
    calls.push_back("image " + image.texture + " " + RectText(image.dest) + " from " +
                    RectText(image.source) + " " + ColorText(image.color) + turn);
}

void TDrawRecorder::DrawVideo(VideoRendererClass& video, const TIRect& dest) {
    calls.push_back("video " + video.FileName() + " " + RectText(dest));
}

void TDrawRecorder::DrawText(const TTextDraw& text) {
    texts.push_back(text);
    calls.push_back("text \"" + text.text + "\" " + RectText(text.rect) + " " + ColorText(text.color) + " " +
                    std::to_string(text.fontSize));
}

void TDrawRecorder::DrawRun(const TTextRun& run) {
    runs.push_back(run);
    std::string narrow;
    for (char16_t c : run.text) narrow += c < 0x80 ? static_cast<char>(c) : '?';
    calls.push_back("run \"" + narrow + "\" " + std::to_string(run.x) + " " + std::to_string(run.y) + " " +
                    ColorText(run.color) + " " + std::to_string(run.fontSize));
}

float TDrawRecorder::LineWidth(std::u16string_view text, float) {
    float w = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'#') {
            ++i;
            continue;
        }
        w += 6;
    }
    return w;
}

} // namespace vesk
