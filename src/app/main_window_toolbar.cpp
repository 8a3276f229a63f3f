// The tool bar: 18 buttons of 25 x 25 pixels in one row on Panel1.
#include <QToolButton>

#include "app/glyphs.h"
#include "app/main_window.h"

namespace lumavex {

namespace {

struct SpeedButton {
    int number;
    const char* hint;
    void (MainWindow::*handler)();
    bool enabled;
};

// Left to right.
const SpeedButton kSpeedButtons[] = {
    {18, "新規作成", &MainWindow::onFileNew, true},
    {1, "開く", &MainWindow::onFileOpen, true},
    {2, "上書き保存", &MainWindow::onFileSave, false},
    {3, "名前を付けて保存", &MainWindow::onFileSaveAs, false},
    {4, "印刷", &MainWindow::onFilePrint, false},
    {5, "ﾌﾟﾘﾝﾀの設定", &MainWindow::onPrintSetup, true},
    {6, "終了", &MainWindow::onFileExit, true},
    {7, "元に戻す", &MainWindow::undo, false},
    {8, "切り取り", &MainWindow::onEditCut, false},
    {9, "ｺﾋﾟｰ", &MainWindow::onEditCopy, false},
    {10, "貼り付け", &MainWindow::onEditPaste, true},
    {11, "並べて表示", &MainWindow::onWindowTile, true},
    {12, "重ねて表示", &MainWindow::onWindowCascade, true},
    {13, "整列", &MainWindow::onArrangeIcons, true},
    {14, "目次", &MainWindow::onHelpContents, true},
    {15, "ｷｰﾜｰﾄﾞで検索", &MainWindow::onHelpSearch, true},
    {16, "ﾍﾙﾌﾟの使い方", &MainWindow::onHelpHowToUse, true},
    {17, "ﾊﾞｰｼﾞｮﾝ情報", &MainWindow::onHelpAbout, true},
};

}  // namespace

void MainWindow::createSpeedBar()
{
    m_speedBar = new QWidget(this);
    m_speedBar->setObjectName(QStringLiteral("SpeedBar"));
    m_speedBar->setFixedHeight(37);
    m_buttonPanel = new QWidget(m_speedBar);
    m_buttonPanel->setObjectName(QStringLiteral("Panel1"));
    m_buttonPanel->setGeometry(0, 2, 8 + 24 * 18 + 8, 33);
    int place = 0;
    for (const SpeedButton& button : kSpeedButtons) {
        auto* tool = new QToolButton(m_buttonPanel);
        tool->setObjectName(QStringLiteral("SpeedButton%1").arg(button.number));
        tool->setGeometry(8 + 24 * place, 4, 25, 25);
        tool->setIcon(toolGlyph(place));
        tool->setIconSize(QSize(16, 16));
        tool->setAutoRaise(true);
        tool->setToolTip(QString::fromUtf8(button.hint));
        tool->setEnabled(button.enabled);
        tool->setFocusPolicy(Qt::NoFocus);
        tool->installEventFilter(this);
        connect(tool, &QToolButton::clicked, this, button.handler);
        ++place;
    }
}

}  // namespace lumavex
