// The editor's commands on a 12-megapixel picture, from the menu item to the repainted window,
// beside the core call alone, both to be quoted as ratios to BM_Memcpy of the same run. The
// difference is what the editor adds (the undo snapshot, the repaint). The picture is put back
// outside the timing before each run. Runs on the offscreen platform unless told otherwise.
#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include "app/editor.h"
#include "app/main_window.h"
#include "bench_support.h"
#include "bridge/fonts.h"
#include "dialogs/rotate_dialog.h"
#include "document/document_window.h"
#include "document/picture_control.h"
#include "effects/blurs.h"
#include "effects/drop_shadow.h"
#include "effects/shadow.h"
#include "toolkit/rotate.h"

namespace lumavex::bench {
namespace {

DocumentWindow* document()
{
    static DocumentWindow* d = [] {
        MainWindow* frame = Editor::instance().mainWindow();
        frame->show();
        DocumentWindow* created = frame->createDocument();
        created->show();
        return created;
    }();
    return d;
}

// Runs a menu item of the document on the photo and waits until the window has repainted.
void runItem(benchmark::State& state, const char* item)
{
    DocumentWindow* d = document();
    for (auto _ : state) {
        state.PauseTiming();
        d->mainPicture()->setPicture(photo());
        d->onPopupMenu(d->mainPicture());
        QApplication::processEvents();
        state.ResumeTiming();
        d->menuItem(QString::fromLatin1(item))->trigger();
        QApplication::processEvents();
    }
}

template <class Effect>
void runCore(benchmark::State& state, Effect effect)
{
    Raster picture;
    Raster scratch;
    for (auto _ : state) {
        state.PauseTiming();
        picture = photo();
        state.ResumeTiming();
        effect(picture, scratch);
        benchmark::ClobberMemory();
    }
}

void BM_EditorAddShadow(benchmark::State& state)
{
    runItem(state, "PopAddShadow");
}
void BM_CoreAddShadow(benchmark::State& state)
{
    runCore(state, [](Raster& p, Raster& s) { AddShadowCommand(p, s, kBlack, 10); });
}
void BM_EditorFlameBlur(benchmark::State& state)
{
    runItem(state, "PopFlameBlur");
}
void BM_CoreFlameBlur(benchmark::State& state)
{
    runCore(state, [](Raster& p, Raster&) { FlameBlur(p, kWhite, 30); });
}
void BM_EditorDropBlurShadow(benchmark::State& state)
{
    runItem(state, "PopDropBlurShadow1");
}
void BM_CoreDropBlurShadow(benchmark::State& state)
{
    runCore(state, [](Raster& p, Raster& s) { DropBlurShadow(p, p, s, 3, 3, kGrey, kWhite); });
}
// The rotate dialog is answered as soon as it shows, with the angle typed already. (A timer
// polling for it would also run, and take a core, while the rotation runs.)
class AnswerOnShow : public QObject {
public:
    explicit AnswerOnShow(RotateDialog* dialog) : m_dialog(dialog)
    {
        dialog->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Show)
            QTimer::singleShot(0, m_dialog, [dialog = m_dialog] { dialog->onOk(); });
        return false;
    }

private:
    RotateDialog* m_dialog;
};
void BM_EditorRotate30(benchmark::State& state)
{
    RotateDialog* dialog = Editor::instance().rotateDialog();
    dialog->findChild<QLineEdit*>(QStringLiteral("Edit1"))->setText(QStringLiteral("30"));
    const AnswerOnShow answer(dialog);
    runItem(state, "Rotate1");
}
void BM_CoreRotate30(benchmark::State& state)
{
    runCore(state, [](Raster& p, Raster&) { Rotate(p, 30, true); });
}

BENCHMARK(BM_EditorAddShadow)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CoreAddShadow)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EditorFlameBlur)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CoreFlameBlur)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EditorDropBlurShadow)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CoreDropBlurShadow)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EditorRotate30)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CoreRotate30)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace lumavex::bench

int main(int argc, char** argv)
{
    // The editor's remembered settings go to a folder of this run only.
    const QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    if (qgetenv("QT_QPA_PLATFORM").isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    lumavex::installFonts();
    const lumavex::Editor editor;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
