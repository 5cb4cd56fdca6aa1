#include "interface/draw_target.h"

#include <cstdio>

#include "render/video_renderer.h"

namespace vesk {

IInterfaceDrawer* InterfaceDrawer = nullptr;
ITextDrawer* InterfaceTextDrawer = nullptr;

std::string RectText(const TIRect& r) {
    return std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right) + " " +
           std::to_string(r.bottom);
}

std::string ColorText(uint32_t argb) {
    char buf[12];
    std::snprintf(buf, sizeof buf, "%08X", argb);
    return buf;
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
    calls.push_back("image " + image.texture + " " + RectText(image.dest) + " from " +
                    RectText(image.source) + " " + ColorText(image.color));
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
