// Text on a 12-megapixel picture: the outline filter, the text cut-out's mask and OR, and (where
// the Qt parts are built) lines drawn by Qt's font engine.
#include <benchmark/benchmark.h>

#include "bench_support.h"
#include "effects/text.h"

#ifdef LUMAVEX_HAVE_TEXT
#include <QGuiApplication>

#include "bridge/fonts.h"
#include "bridge/qt_text_renderer.h"
#endif

namespace lumavex::bench {
namespace {

// A font engine that draws nothing: what remains is the effects' own work.
class NoText : public TextRenderer {
public:
    void drawText(Raster&, int, int, std::string_view, const Font&, Color) override {}
    TextExtent measure(std::string_view text, const Font& font) override
    {
        return {static_cast<int>(text.size()) * font.pixelSize / 2, font.pixelSize};
    }
};

void BM_OutlinePass(benchmark::State& state)
{
    Raster picture = photo();
    for (auto _ : state) {
        OutlinePass(picture);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_OutlinePass)->Unit(benchmark::kMillisecond);

void BM_TextTexture(benchmark::State& state)
{
    NoText renderer;
    TextSettings settings;
    settings.lines = {"Lumavex", "テキスト"};
    settings.outline = state.range(0) != 0;
    Raster picture = photo();
    for (auto _ : state) {
        TextTexture(picture, settings, renderer);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_TextTexture)->ArgName("outline")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

#ifdef LUMAVEX_HAVE_TEXT

QtTextRenderer& qtRenderer()
{
    static int argc = 1;
    static char name[] = "bench_text";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        auto* a = new QGuiApplication(argc, argv);
        installFonts();
        return a;
    }();
    (void)app;
    static QtTextRenderer renderer;
    return renderer;
}

// Two lines, Japanese and Latin, in the dialog's font at the given pixel size.
void BM_QtDrawTextLines(benchmark::State& state)
{
    QtTextRenderer& renderer = qtRenderer();
    Font font;
    font.pixelSize = static_cast<int>(state.range(0));
    const std::vector<std::string> lines = {"日本語のテキスト", "Lumavex text"};
    Raster picture = photo();
    for (auto _ : state) {
        DrawTextLines(picture, kBlack, font, lines, 10, 10, kWhite, renderer);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_QtDrawTextLines)->ArgName("px")->Arg(12)->Arg(200)->Unit(benchmark::kMicrosecond);

// TextOut with ten light and ten dark copies of the two lines, 48 pixels high.
void BM_QtBevelText(benchmark::State& state)
{
    QtTextRenderer& renderer = qtRenderer();
    TextSettings settings;
    settings.lines = {"日本語のテキスト", "Lumavex text"};
    settings.font.pixelSize = 48;
    settings.font.color = makeColor(200, 30, 30);
    settings.bevel = true;
    settings.topLeft = "10";
    settings.bottomRight = "10";
    Raster picture = photo();
    for (auto _ : state) {
        DrawBevelText(picture, settings, renderer);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_QtBevelText)->Unit(benchmark::kMicrosecond);

#endif

}  // namespace
}  // namespace lumavex::bench
