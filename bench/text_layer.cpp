// The interface's text per frame: wrapping blocks into lines, the glyph pass
// over them, and a frame whose text did not change (render only), on the
// stand-in font with glyph drawing discarded.
#include "interface/text_layer.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using namespace vesk;

// 40 blocks of 60 words with colour pairs: about a full screen of labels.
std::u16string Block() {
    std::u16string s;
    for (int i = 0; i < 60; ++i) s += (i % 15 == 0) ? u"#2word#0 " : u"annals ";
    return s;
}

void Fill(TTextLayer& layer, const std::u16string& text) {
    for (int b = 0; b < 40; ++b) layer.AddText({10, b * 18, 1010, 0}, text, false, b % 4);
}

void BM_WrapBlocks(benchmark::State& state) {
    GDIFontLib.reset();
    TTextLayer layer(tlGDI);
    const std::u16string text = Block();
    for (auto _ : state) {
        layer.Clear();
        Fill(layer, text);
        benchmark::DoNotOptimize(layer.Lines().size());
    }
}
BENCHMARK(BM_WrapBlocks);

void BM_WrapAndGlyphPass(benchmark::State& state) {
    GDIFontLib.reset();
    TTextLayer layer(tlGDI);
    const std::u16string text = Block();
    for (auto _ : state) {
        layer.Clear();
        Fill(layer, text);
        layer.Draw();
    }
}
BENCHMARK(BM_WrapAndGlyphPass);

void BM_UnchangedFrame(benchmark::State& state) {
    GDIFontLib.reset();
    TTextLayer layer(tlGDI);
    Fill(layer, Block());
    layer.Draw();
    for (auto _ : state) layer.Draw();
}
BENCHMARK(BM_UnchangedFrame);

} // namespace
