// The effect and image commands of the document: which picture a command works on, its undo
// snapshot, where its settings come from, and the one place where the core call is made.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QString>
#include <QTimer>

#include <exception>
#include <thread>

#include "bridge/qimage_bridge.h"
#include "bridge/qt_text_renderer.h"
#include "core/error.h"
#include "dialogs/color_adjust_dialog.h"
#include "dialogs/color_count_dialog.h"
#include "dialogs/processing_parameters_dialog.h"
#include "dialogs/rotate_dialog.h"
#include "dialogs/size_dialog.h"
#include "dialogs/text_dialog.h"
#include "dialogs/ui_services.h"
#include "document/document_host.h"
#include "document/document_window.h"
#include "document/error_box.h"
#include "document/picture_control.h"
#include "mask/mask_editor_window.h"
#include "toolkit/image_ops.h"

namespace lumavex {

namespace {

// The pages of the preview dialog: Contrast, HSV, HSL, RGB and Equalization; User filter alone.
constexpr int kColorAdjustPages = 2 | 4 | 8 | 16 | 64;
constexpr int kEffectPages = 32;
// How long a command runs before the busy cursor shows.
constexpr int kBusyCursorMs = 100;

// The marks of a long effect in the first panel of the document's status bar, shown on the
// user-interface thread while the effect runs on its own. The panel is repainted at most every
// 40 ms: twenty repaints in a short effect would cost more than the effect.
class StatusBarProgress {
public:
    explicit StatusBarProgress(PanelStatusBar* bar) : m_bar(bar)
    {
        m_later.setSingleShot(true);
        QObject::connect(&m_later, &QTimer::timeout, &m_later, [this] { show(); });
    }
    void mark()
    {
        m_text += QStringLiteral("■");
        if (!m_shown.isValid() || m_shown.hasExpired(kRepaintMs))
            show();
        else if (!m_later.isActive())
            m_later.start(static_cast<int>(kRepaintMs - m_shown.elapsed()));
    }
    void clear()
    {
        m_text.clear();
        show();
    }
    /// Shows the marks made since the last repaint, if any.
    void finish()
    {
        if (m_bar->panelText(0) != m_text)
            show();
    }

private:
    void show()
    {
        m_later.stop();
        m_bar->setPanelText(0, m_text);
        m_shown.start();
    }

    static constexpr int kRepaintMs = 40;
    PanelStatusBar* m_bar;
    QString m_text;
    QElapsedTimer m_shown;
    QTimer m_later;
};

// The progress of the worker thread: each mark or clear becomes a queued call on the
// user-interface thread, delivered in order while its event loop runs.
class QueuedProgress : public ProgressSink {
public:
    QueuedProgress(QObject* receiver, StatusBarProgress* shown)
        : m_receiver(receiver), m_shown(shown)
    {
    }
    void mark() override
    {
        QMetaObject::invokeMethod(
            m_receiver, [shown = m_shown] { shown->mark(); }, Qt::QueuedConnection);
    }
    void clear() override
    {
        QMetaObject::invokeMethod(
            m_receiver, [shown = m_shown] { shown->clear(); }, Qt::QueuedConnection);
    }

private:
    QObject* m_receiver;
    StatusBarProgress* m_shown;
};

std::vector<std::string> utf8Lines(const QStringList& lines)
{
    std::vector<std::string> result;
    result.reserve(lines.size());
    for (const QString& line : lines)
        result.push_back(line.toStdString());
    return result;
}

}  // namespace

void DocumentWindow::execute(CommandId id, CommandStart start)
{
    if (m_commandRunning)
        return;
    const CommandInfo& info = commandInfo(id);
    PictureControl* target = info.target == Target::Main || start == CommandStart::OnMain
                                 ? m_mainPicture
                                 : m_targetPicture;
    if (const QString why = whyNot(info, target); !why.isEmpty()) {
        m_host->showStatusMessage(why);
        return;
    }
    if (start == CommandStart::ConfirmFirst &&
        !m_host->processingParameters()->execOnPage(info.parametersPage))
        return;
    reportErrors(this, [&] { executeOn(info, target); });
}

// Why a command cannot run on the picture now; empty when it can.
QString DocumentWindow::whyNot(const CommandInfo& info, const PictureControl* target) const
{
    if (target->picture().empty())
        return QStringLiteral("画像がないので処理できません");
    if ((info.id == CommandId::Merge || info.id == CommandId::MixPaste) &&
        m_floatingPicture->picture().empty())
        return QStringLiteral("貼り付けた画像がないので合成できません");
    return {};
}

// A failure before the snapshot leaves the document as it was; one after it (a bad value read
// late, a cancelled dialog) leaves the snapshot taken and the picture unchanged.
void DocumentWindow::executeOn(const CommandInfo& info, PictureControl* target)
{
    std::optional<Settings> settings;
    if (info.source == SettingsSource::Parameters && !info.readsAfterSnapshot)
        settings = parameterSettings(info.id);
    if (info.undoLabel && target == m_mainPicture)
        TakeUndoSnapshot(m_mainPicture, QString::fromUtf8(info.undoLabel));
    if (!settings)
        settings = askSettings(info, target);
    if (settings)
        applyCommand(info, *settings, target);
}

// The settings as the processing parameters hold them at this moment (braced lists read their
// values in order, so the first bad one is the one reported).
Settings DocumentWindow::parameterSettings(CommandId id) const
{
    const ProcessingParametersDialog& p = *m_host->processingParameters();
    const auto width = [&](const char* edit) { return p.integerValue(QString::fromLatin1(edit)); };
    const auto color = [&](const char* panel) { return p.panelColor(QString::fromLatin1(panel)); };
    switch (id) {
        case CommandId::AddShadow:
            return ShadowSettings{width("AddShadowWidth"), color("AddShadowColor")};
        case CommandId::AddShadowSoft:
            return SoftShadowSettings{width("AddShadowSWidth"), color("AddShadowSColor"),
                                      color("BGColor")};
        case CommandId::FlameBlur:
            return EdgeBlurSettings{width("FlameBlurWidth"), color("FlameBlurColor")};
        case CommandId::CircleBlur:
            return EdgeBlurSettings{width("CircleBlurWidth"), color("CircleBlurColor")};
        case CommandId::EllipseBlur:
            return EdgeBlurSettings{width("EllipseBlurWidth"), color("EllipseBlurColor")};
        case CommandId::Panel:
            return PanelSettings{width("PanelWidth"), width("PanelLevel1"), width("PanelLevel2")};
        case CommandId::DropBlurShadow:
            return DropShadowSettings{width("DropBlurX"), width("DropBlurY"),
                                      color("DropBlurColor"), color("BGColor")};
        case CommandId::Merge: return MergeSettings{width("MargeRate")};
        default: return NoSettings{};
    }
}

// The settings of a command that has its own dialog (or none), asked now; none when the dialog
// was cancelled.
std::optional<Settings> DocumentWindow::askSettings(const CommandInfo& info, PictureControl* target)
{
    const CommandDialogs dialogs = m_host->commandDialogs();
    switch (info.source) {
        case SettingsSource::Parameters: return parameterSettings(info.id);
        case SettingsSource::TextDialog: {
            TextDialog& text = *dialogs.text;
            const bool textOut = info.id == CommandId::TextOut;
            if (!text.execFor(QString::fromLatin1(textOut ? "TextOut" : "TextTexture"), textOut,
                              viewRaster(target->picture()).copy()))
                return std::nullopt;
            TextSettings s;
            s.lines = utf8Lines(text.lines());
            s.x = text.positionX();
            s.y = text.positionY();
            s.font = text.rasterFont();
            s.bevel = text.bevel();
            s.topLeft = text.bevelTopLeftText().toStdString();
            s.bottomRight = text.bevelBottomRightText().toStdString();
            s.outline = text.outline();
            s.bgColor = m_host->processingParameters()->panelColor(QStringLiteral("BGColor"));
            return s;
        }
        case SettingsSource::RotateDialog: {
            if (!dialogs.rotate->execDialog())
                return std::nullopt;
            // An angle that is no integer ends the command without an error box.
            try {
                return RotateSettings{dialogs.rotate->angleValue()};
            } catch (const Error& e) {
                m_host->showStatusMessage(QString::fromUtf8(e.what()));
                return std::nullopt;
            }
        }
        case SettingsSource::SizeDialog: {
            SizeDialog& size = *dialogs.size;
            size.prepare(target->picture().width(), target->picture().height());
            if (!size.execDialog())
                return std::nullopt;
            return SizeSettings{size.widthValue(), size.heightValue()};
        }
        case SettingsSource::ColorCountDialog: {
            const int colors = dialogs.colorCount->execDialog();
            if (colors == 0)
                return std::nullopt;
            return ColorCountSettings{colors};
        }
        case SettingsSource::Document: {
            const QPoint at = floatingPosition();
            return MixPasteSettings{dialogs.text->textColor(), at.x(), at.y()};
        }
        case SettingsSource::MaskEditor: return MaskSettings{};
        case SettingsSource::None:
        case SettingsSource::PreviewDialog: return NoSettings{};
    }
    return std::nullopt;
}

// The one place where a command's work is done: the core call (or the dialog that does the
// work) and the repaint of the pictures it changed.
void DocumentWindow::applyCommand(const CommandInfo& info, const Settings& settings,
                                  PictureControl* target)
{
    switch (info.id) {
        case CommandId::Mask:
            target->setPicture(m_host->commandDialogs().maskEditor->editPicture(target->picture()));
            return;
        // The preview dialog changes the picture itself when confirmed and leaves it as it was
        // when cancelled.
        case CommandId::ColorAdjust:
        case CommandId::Effect:
            if (showAdjustPreview(
                    this, target->picture(),
                    info.id == CommandId::ColorAdjust ? kColorAdjustPages : kEffectPages))
                target->pictureChanged();
            return;
        case CommandId::CountColors:
            UiServices::current().showMessage(
                this, QStringLiteral("ColorCount=%1").arg(CountColors(m_mainPicture->picture())));
            return;
        default: break;
    }
    QtTextRenderer renderer;
    runOffTheInterfaceThread(target, [&](ProgressSink* progress) {
        CommandPictures pictures{target->picture(),
                                 m_mainPicture->picture(),
                                 m_scratchPicture->picture(),
                                 &m_floatingPicture->picture(),
                                 progress,
                                 &renderer};
        lumavex::runCommand(info.id, settings, pictures);
    });
    target->pictureChanged();
    // The blends write into the main picture whatever the target.
    if (target != m_mainPicture)
        m_mainPicture->pictureChanged();
}

// The core call runs on a thread of its own while this thread keeps running its event loop:
// progress marks, repaints, timers. User input waits in the window system's queue until the call
// has ended, so no menu, key or click can reach a picture it works on; the pictures show what
// they showed when it started, and a close asked meanwhile is carried out after it. A plain
// std::thread suffices: the work is one call, it needs no Qt event loop of its own, and the
// passes it makes split themselves over the cores.
void DocumentWindow::runOffTheInterfaceThread(PictureControl* target,
                                              const std::function<void(ProgressSink*)>& work)
{
    StatusBarProgress shown(m_statusBar);
    QEventLoop loop;
    QueuedProgress progress(&loop, &shown);
    std::exception_ptr failure;

    // A short command ends before the busy cursor would flicker.
    bool busyCursor = false;
    QTimer busy;
    busy.setSingleShot(true);
    connect(&busy, &QTimer::timeout, &busy, [&] {
        QApplication::setOverrideCursor(Qt::BusyCursor);
        busyCursor = true;
    });
    busy.start(kBusyCursorMs);

    QList<PictureControl*> frozen{m_mainPicture, m_scratchPicture};
    if (!frozen.contains(target))
        frozen.append(target);
    for (PictureControl* picture : frozen)
        picture->freeze();
    m_commandRunning = true;
    {
        std::jthread worker([&] {
            try {
                work(&progress);
            } catch (...) {
                failure = std::current_exception();
            }
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        // The loop also ends when the application quits; the call is waited for all the same.
    }
    // The marks still queued, then the final state of the panel.
    QCoreApplication::sendPostedEvents(&loop, QEvent::MetaCall);
    shown.finish();
    m_commandRunning = false;
    for (PictureControl* picture : frozen)
        picture->thaw();
    busy.stop();
    if (busyCursor)
        QApplication::restoreOverrideCursor();
    if (m_closeAfterCommand)
        QMetaObject::invokeMethod(m_closeAfterCommand.get(), &QWidget::close, Qt::QueuedConnection);
    m_closeAfterCommand = nullptr;
    if (failure)
        std::rethrow_exception(failure);
}

}  // namespace lumavex
