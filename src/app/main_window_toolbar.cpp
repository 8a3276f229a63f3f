// The tool bar: 18 buttons of 25 x 25 pixels in one row on Panel1.
#include <QToolButton>

#include "app/glyphs.h"
#include "app/main_window.h"

namespace lumavex {

namespace {

struct SpeedButton {
    int number;
    const char* hint;
    void (TMainForm::*handler)();
    bool enabled;
};

// Left to right.
const SpeedButton kSpeedButtons[] = {
    {18, "新規作成", &TMainForm::FileNew, true},
    {1, "開く", &TMainForm::FileOpen, true},
    {2, "上書き保存", &TMainForm::FileSave, false},
    {3, "名前を付けて保存", &TMainForm::FileSaveAs, false},
    {4, "印刷", &TMainForm::FilePrint, false},
    {5, "ﾌﾟﾘﾝﾀの設定", &TMainForm::FilePrintSetup, true},
    {6, "終了", &TMainForm::FileExit, true},
    {7, "元に戻す", &TMainForm::EditUndo, false},
    {8, "切り取り", &TMainForm::EditCut, false},
    {9, "ｺﾋﾟｰ", &TMainForm::EditCopy, false},
    {10, "貼り付け", &TMainForm::EditPaste, true},
    {11, "並べて表示", &TMainForm::WindowTile, true},
    {12, "重ねて表示", &TMainForm::WindowCascade, true},
    {13, "整列", &TMainForm::WindowArrange, true},
    {14, "目次", &TMainForm::HelpContents, true},
    {15, "ｷｰﾜｰﾄﾞで検索", &TMainForm::HelpSearch, true},
    {16, "ﾍﾙﾌﾟの使い方", &TMainForm::HelpHowToUse, true},
    {17, "ﾊﾞｰｼﾞｮﾝ情報", &TMainForm::HelpAbout, true},
};

}  // namespace

void TMainForm::createSpeedBar()
{
    m_speedBar = new QWidget(this);
    m_speedBar->setObjectName(QStringLiteral("SpeedBar"));
    m_speedBar->setFixedHeight(37);
    m_panel1 = new QWidget(m_speedBar);
    m_panel1->setObjectName(QStringLiteral("Panel1"));
    m_panel1->setGeometry(0, 2, 8 + 24 * 18 + 8, 33);
    int place = 0;
    for (const SpeedButton& button : kSpeedButtons) {
        auto* tool = new QToolButton(m_panel1);
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
