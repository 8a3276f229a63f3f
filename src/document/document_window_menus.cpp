// The document's "編集(&E)" and "処理" menus and its pop-up menu.
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>

#include <optional>

#include "document/document_host.h"
#include "document/document_window.h"
#include "document/picture_control.h"

namespace lumavex {

namespace {

using enum CommandId;
using Start = DocumentWindow::CommandStart;

// One menu item: its name, caption, shortcut, the form's name of the handler that runs it ("" for
// separators and items without one, kept in the property "handler" as controls keep theirs in
// objectName), and the command it starts, if any, and how.
struct MenuItem {
    const char* name;
    const char* caption;
    const char* shortcut;
    const char* handler;
    std::optional<CommandId> command = std::nullopt;
    Start start = Start::Now;
};

const MenuItem kEditItems[] = {
    {"Undo1", "元に戻す(&U)", "Ctrl+Z", "Undo1Click"},
    {"N7", "-", "", ""},
    {"Cut1", "切り取り(&T)", "Ctrl+X", "Cut1Click"},
    {"Copy1", "ｺﾋﾟｰ(&C)", "Ctrl+C", "Copy1Click"},
    {"Paste1", "貼り付け(&P)", "Ctrl+V", "Paste1Click"},
    {"N9", "-", "", ""},
    {"N12", "全選択", "", "AllSelectClick"},
};

// The entries with a page of processing parameters show it first; the others run their pop-up
// command at once. Both work on the target picture, but colour adjust and Effect on the main one.
const MenuItem kSingleItems[] = {
    {"mmAddShadow", "AddShadow-影付け", "Ctrl+S", "mmAddShadow", AddShadow, Start::ConfirmFirst},
    {"AddShadowSoft2", "AddShadowSoft-影付けＳｏｆｔ", "", "AddShadowSoft2Click", AddShadowSoft,
     Start::ConfirmFirst},
    {"FlameBlur", "FlameBlur-輪郭ぼかし", "Ctrl+B", "FlameBlurClick", FlameBlur,
     Start::ConfirmFirst},
    {"CircleBlur2", "CircleBlur-円ぼかし", "", "CircleBlur2Click", CircleBlur, Start::ConfirmFirst},
    {"EllipseBlur1", "EllipseBlur-楕円ぼかし", "", "EllipseBlur1Click", EllipseBlur,
     Start::ConfirmFirst},
    {"Panel", "panel-パネル", "Ctrl+P", "PanelClick", Panel, Start::ConfirmFirst},
    {"TEXT1", "TextOut-テキスト", "Ctrl+T", "TEXT1Click", TextOut},
    {"N19", "Blur-ぼかし", "", "N19Click", Blur},
    {"DropBlurShadow2", "DropBlurShadow", "", "DropBlurShadow2Click", DropBlurShadow,
     Start::ConfirmFirst},
    {"TextTexture2", "TextTexture", "", "TextTexture2Click", TextTexture},
    {"Mask3", "Mask", "", "Mask3Click", Mask},
    {"Mixpaste1", "Mixpaste", "", ""},
    {"Marge1", "Marge", "", "Marge1Click", Merge, Start::ConfirmFirst},
    {"N13", "Coloradjast-色補正", "", "N13Click", ColorAdjust, Start::OnMain},
    {"N14", "Effect-効果", "", "N14Click", Effect, Start::OnMain},
};

const MenuItem kImageItems[] = {
    {"HFlip1", "HFlip-左右反転", "", "HFlip1Click", HFlip},
    {"VFlip1", "VFlip-上下反転", "", "VFlip1Click", VFlip},
    {"Rotate1", "Rotate-回転", "", "Rotate1Click", Rotate},
    {"Resample1", "Resample-ﾘｻﾝﾌﾟﾙ", "", "Resample1Click", Resample},
    {"ReSize1", "ReSize-ｻｲｽﾞ変更", "", "ReSize1Click", ReSize},
    {"Negative1", "Negative", "", "Negative1Click", Negative},
};

// Fill1 starts the flood fill of the selection code, not a command of the table.
const MenuItem kColorItems[] = {
    {"NumColors1", "NumColors-色数", "", "NumColors1Click", CountColors},
    {"Convert1", "convert-減増色", "", "Convert1Click", Convert},
    {"N11", "Gray-ｸﾞﾚｰｽｹｰﾙ", "", "N11Click", Gray},
    {"Fill1", "Fill-流込み", "", "Fill1Click"},
};

const MenuItem kPopupItems[] = {
    {"PopAddShadow", "AddShadow-影付け", "", "PopAddShadowClick", AddShadow},
    {"AddShadowsoft1", "AddShadowSoft-影付けSoft", "", "AddShadowsoft1Click", AddShadowSoft},
    {"PopFlameBlur", "FlameBlur-輪郭ぼかし", "", "PopFlameBlurClick", FlameBlur},
    {"CircleBlur1", "CircleBlur-円ぼかし", "", "CircleBlur1Click", CircleBlur},
    {"Ellipse1", "EllipseBlur-楕円ぼかし", "", "Ellipse1Click", EllipseBlur},
    {"PopPanel", "Panel-パネル", "", "PopPanelClick", Panel},
    {"PopTextOut1", "TextOut-テキスト", "", "PopTextOut1Click", TextOut},
    {"PopBluwer1", "Blower-ぼかし", "", "PopBluwer1Click", Blur},
    {"PopDropBlurShadow1", "DropBlurShadow", "", "PopDropBlurShadow1Click", DropBlurShadow},
    {"TextTexture1", "TextTexture-文字切り抜き", "", "TextTexture1Click", TextTexture},
    {"Mask2", "Mask-ＦＬマスク", "", "Mask2Click", Mask},
    {"MixPaste1", "MixPaste", "", "MixPaste1Click", MixPaste},
    {"PopMerge1", "Merge-合成", "", "PopMerge1Click", Merge},
    {"PopColorAjast", "ColorAjast-色補正", "", "PopColorAjastClick", ColorAdjust},
    {"PopEffect", "Effect-効果", "", "PopEffectClick", Effect},
};

template <size_t N>
void addItems(DocumentWindow* window, QMenu* menu, const MenuItem (&items)[N])
{
    for (const MenuItem& item : items) {
        QAction* action = QLatin1String(item.caption) == QLatin1String("-")
                              ? menu->addSeparator()
                              : menu->addAction(QString::fromUtf8(item.caption));
        action->setObjectName(QString::fromUtf8(item.name));
        if (*item.shortcut)
            action->setShortcut(QKeySequence(QString::fromUtf8(item.shortcut)));
        if (*item.handler)
            action->setProperty("handler", QString::fromUtf8(item.handler));
        if (item.command)
            QObject::connect(
                action, &QAction::triggered, window,
                [window, id = *item.command, start = item.start] { window->execute(id, start); });
    }
}

QMenu* subMenu(QMenu* parent, const char* name, const char* caption)
{
    QMenu* menu = parent->addMenu(QString::fromUtf8(caption));
    menu->setObjectName(QString::fromUtf8(name));
    menu->menuAction()->setObjectName(QString::fromUtf8(name));
    return menu;
}

// A menu of the document that the frame merges into its menu bar at groupIndex.
QMenu* mergedMenu(QWidget* parent, const char* name, const QString& caption, int groupIndex)
{
    auto* menu = new QMenu(caption, parent);
    menu->setObjectName(QString::fromUtf8(name));
    menu->menuAction()->setObjectName(QString::fromUtf8(name));
    menu->menuAction()->setProperty("groupIndex", groupIndex);
    return menu;
}

}  // namespace

void DocumentWindow::createMenus()
{
    m_editMenu = mergedMenu(this, "Edit1", QStringLiteral("編集(&E)"), 2);
    addItems(this, m_editMenu, kEditItems);
    connect(m_editMenu, &QMenu::aboutToShow, this, &DocumentWindow::onEditMenuShow);
    connect(menuItem(QStringLiteral("Undo1")), &QAction::triggered, this, &DocumentWindow::onUndo);

    m_processingMenu = mergedMenu(this, "N4", QStringLiteral("処理"), 7);
    m_singleMenu = subMenu(m_processingMenu, "N5", "単独処理");
    addItems(this, m_singleMenu, kSingleItems);
    // MixPaste has no command of its own here: it is the floating picture's pop-up entry.
    connect(menuItem(QStringLiteral("Mixpaste1")), &QAction::triggered, this, [this] {
        m_host->showStatusMessage(
            QStringLiteral("MixPaste は貼り付けた画像の上のポップアップメニューから使います"));
    });
    addItems(this, subMenu(m_processingMenu, "N1", "Image-画像"), kImageItems);
    addItems(this, subMenu(m_processingMenu, "color1", "color-色"), kColorItems);

    m_popupMenu = new QMenu(this);
    m_popupMenu->setObjectName(QStringLiteral("PopupMenu1"));
    addItems(this, m_popupMenu, kPopupItems);
}

QList<QMenu*> DocumentWindow::mergedMenus() const
{
    return {m_editMenu, m_viewMenu, m_processingMenu};
}

QAction* DocumentWindow::menuItem(const QString& name) const
{
    return findChild<QAction*>(name);
}

void DocumentWindow::onEditMenuShow()
{
    menuItem(QStringLiteral("Undo1"))->setEnabled(!undoLabel().isEmpty());
    const QMimeData* clipboard = QGuiApplication::clipboard()->mimeData();
    menuItem(QStringLiteral("Paste1"))->setEnabled(clipboard && clipboard->hasImage());
}

void DocumentWindow::onPopupMenu(PictureControl* over)
{
    m_targetPicture = over;
    menuItem(QStringLiteral("MixPaste1"))->setEnabled(over != m_mainPicture);
}

}  // namespace lumavex
