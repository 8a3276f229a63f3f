#include "processing_parameters_dialog.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QTabWidget>
#include <QToolButton>

#include "dialogs/form_support.h"
#include "dialogs/ui_services.h"
#include "core/error.h"
#include "core/convert.h"

namespace lumavex {

ColorPanel::ColorPanel(Color color, QWidget* parent) : QFrame(parent), m_color(color)
{
    // A plain dark outline, so that a white or light colour still shows as a swatch.
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setAutoFillBackground(true);
    setColor(color);
}

void ColorPanel::setColor(Color color)
{
    m_color = color & 0x00FFFFFF;
    QPalette p = palette();
    p.setColor(QPalette::Window, qColorOf(m_color));
    p.setColor(QPalette::WindowText, QColor(96, 96, 96));
    setPalette(p);
}

namespace {

constexpr Color kGrey = 0x00808080;

// Where the rows of a page sit: a label on the left, the value in a column after it.
constexpr int kLabelX = 16;
constexpr int kValueX = 132;
constexpr int kUnitX = 162;
constexpr int kRowY[] = {16, 48, 80};

struct PageInfo {
    const char* listText;
    const char* caption;
    const char* sheet;
};

// List index i shows page i; the pages are in this order.
constexpr PageInfo kPages[ProcessingParametersDialog::PageCount] = {
    {"基本設定", "基本設定", "TabSheet5"},
    {"AddShadow-影付け", "影付け", "TabSheet3"},
    {"AddShadowSoft-影付けSoft", "影付SOFT", "TabSheet6"},
    {"FlameBlur-輪郭ぼかし", "輪郭ぼかし", "TabSheet1"},
    {"CircleBlur-円ぼかし", "円ぼかし", "TabSheet7"},
    {"EllipseBlur-楕円ぼかし", "楕円ぼかし", "TabSheet8"},
    {"Panel-パネル", "パネル", "TabSheet2"},
    {"Marge-合成", "合成", "TabSheet13"},
    {"DropBlurShadow", "DropBlurShadow", "TabSheet10"},
    {"TextOut-テキスト", "テキスト", "TabSheet4"},
    {"Blower-ぼかし", "ぼかし", "TabSheet9"},
    {"TextTexture-文字切り抜き", "文字切抜き", "TabSheet11"},
    {"MixPaste", "MixPaste", "TabSheet12"},
};

// A numeric setting: its label, a 25 x 20 edit holding the value and the unit after it.
void addEdit(QWidget* page, int y, const QString& label, const char* name, const char* initial,
             const QString& unit)
{
    addLabel(page, label, kLabelX, y + 3);
    auto* edit = new QLineEdit(QString::fromUtf8(initial), page);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(kValueX, y, 25, 20);
    addLabel(page, unit, kUnitX, y + 3);
}

}  // namespace

ProcessingParametersDialog::ProcessingParametersDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFGPropa1"));
    setWindowTitle(QStringLiteral("処理パラメータ"));
    setFont(formFont());
    setFixedSize(539, 381);

    addLabel(this, QStringLiteral("処理選択"), 16, 33, "Label4");

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("ListBox1"));
    m_list->setGeometry(12, 51, 160, 244);
    m_list->setUniformItemSizes(true);
    // Rows of 12 pixels, or the font's own height if that is taller, so no text is clipped.
    const int itemHeight = std::max(12, m_list->fontMetrics().height());
    for (const PageInfo& page : kPages) {
        auto* item = new QListWidgetItem(QString::fromUtf8(page.listText), m_list);
        item->setSizeHint(QSize(0, itemHeight));
    }
    m_list->installEventFilter(this);
    connect(m_list, &QListWidget::currentRowChanged, this,
            &ProcessingParametersDialog::onListSelectionChanged);

    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("PageControl1"));
    m_pages->setGeometry(183, 30, 301, 268);
    m_pages->setUsesScrollButtons(true);
    buildPages();

    m_ok = addButton(this, "BitBtn1", QStringLiteral("OK"), QRect(273, 318, 75, 25));
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &ProcessingParametersDialog::onOk);

    m_cancel = addButton(this, "BitBtn2", QStringLiteral("Cancel"), QRect(408, 318, 75, 25));
    m_cancel->setAutoDefault(false);
    connect(m_cancel, &QPushButton::clicked, this, &ProcessingParametersDialog::onCancel);

    m_list->setCurrentRow(BasicPage);
}

void ProcessingParametersDialog::buildPages()
{
    std::vector<QWidget*> sheets;
    for (const PageInfo& info : kPages) {
        auto* sheet = new QWidget;
        sheet->setObjectName(QString::fromLatin1(info.sheet));
        m_pages->addTab(sheet, QString::fromUtf8(info.caption));
        sheets.push_back(sheet);
    }

    const QString width = QStringLiteral("影の幅");
    const QString pixel = QStringLiteral("Pixcel");
    const QString colour = QStringLiteral("色");
    const QIcon glyph = colorButtonGlyph();

    // A colour panel and the 25 x 25 button at buttonAt that runs the colour dialog for it.
    auto addColorPanel = [&](QWidget* parent, const char* name, Color initial,
                             const QRect& geometry, const char* buttonName, QPoint buttonAt) {
        auto* panel = new ColorPanel(initial, parent);
        panel->setObjectName(QString::fromLatin1(name));
        panel->setGeometry(geometry);
        auto* button = new QToolButton(parent);
        button->setObjectName(QString::fromLatin1(buttonName));
        button->setGeometry(QRect(buttonAt, QSize(25, 25)));
        button->setIcon(glyph);
        button->setToolTip(QStringLiteral("色の選択"));
        connect(button, &QToolButton::clicked, this, [this, panel] { chooseColorFor(panel); });
    };

    // A colour setting: its label, the panel and its button.
    auto addColor = [&](QWidget* page, int y, const char* name, Color initial,
                        const char* buttonName) {
        addLabel(page, colour, kLabelX, y + 3);
        addColorPanel(page, name, initial, QRect(kValueX, y, 33, 19), buttonName,
                      QPoint(kValueX + 40, y - 3));
    };

    // 0: the background colour, a larger panel.
    addLabel(sheets[BasicPage], QStringLiteral("背景色"), kLabelX, 16);
    addColorPanel(sheets[BasicPage], "BGColor", kWhite, QRect(kLabelX, 36, 73, 41), "SpeedButton2",
                  QPoint(kLabelX + 81, 44));

    addEdit(sheets[AddShadowPage], kRowY[0], width, "AddShadowWidth", "10", pixel);
    addColor(sheets[AddShadowPage], kRowY[1], "AddShadowColor", kBlack, "SpeedButton1");

    addEdit(sheets[AddShadowSoftPage], kRowY[0], width, "AddShadowSWidth", "10", pixel);
    addColor(sheets[AddShadowSoftPage], kRowY[1], "AddShadowSColor", kBlack, "SpeedButton4");

    addEdit(sheets[FlameBlurPage], kRowY[0], width, "FlameBlurWidth", "30", pixel);
    addColor(sheets[FlameBlurPage], kRowY[1], "FlameBlurColor", kWhite, "SpeedButton3");
    {
        auto* black = new QCheckBox(QStringLiteral("Black"), sheets[FlameBlurPage]);
        black->setObjectName(QStringLiteral("CheckBox1"));
        black->move(kLabelX, kRowY[2]);
        black->hide();
    }

    addEdit(sheets[CircleBlurPage], kRowY[0], width, "CircleBlurWidth", "30", pixel);
    addColor(sheets[CircleBlurPage], kRowY[1], "CircleBlurColor", kWhite, "SpeedButton5");

    addEdit(sheets[EllipseBlurPage], kRowY[0], width, "EllipseBlurWidth", "30", pixel);
    addColor(sheets[EllipseBlurPage], kRowY[1], "EllipseBlurColor", kWhite, "SpeedButton6");

    addEdit(sheets[PanelPage], kRowY[0], width, "PanelWidth", "10", pixel);
    addEdit(sheets[PanelPage], kRowY[1], QStringLiteral("左、上明度レベル"), "PanelLevel1", "0",
            pixel);
    addEdit(sheets[PanelPage], kRowY[2], QStringLiteral("右、下 暗度レベル"), "PanelLevel2", "0",
            pixel);

    addEdit(sheets[MargePage], kRowY[0], QStringLiteral("比率"), "MargeRate", "50",
            QStringLiteral("％"));
    {
        // One group of two choices; Stretch stays checked because the group is never shown.
        auto* stretch = new QRadioButton(QStringLiteral("Stretch"), sheets[MargePage]);
        stretch->setObjectName(QStringLiteral("MargeStretch"));
        stretch->move(kLabelX, kRowY[1]);
        stretch->setChecked(true);
        stretch->hide();
        auto* resize = new QRadioButton(QStringLiteral("Resize"), sheets[MargePage]);
        resize->setObjectName(QStringLiteral("MargeRisize"));
        resize->move(kLabelX, kRowY[2]);
        resize->hide();
    }

    addEdit(sheets[DropBlurShadowPage], kRowY[0], QStringLiteral("影のずれ（X）"), "DropBlurX", "3",
            pixel);
    addEdit(sheets[DropBlurShadowPage], kRowY[1], QStringLiteral("影のずれ（Ｙ）"), "DropBlurY",
            "3", pixel);
    addColor(sheets[DropBlurShadowPage], kRowY[2], "DropBlurColor", kGrey, "SpeedButton7");
    {
        auto* group = new QGroupBox(QStringLiteral("ｵﾌﾟｼｮﾝ"), sheets[DropBlurShadowPage]);
        group->setObjectName(QStringLiteral("Panel2"));
        group->setGeometry(15, 132, 274, 94);
        auto* dropBase = new QCheckBox(QStringLiteral("DropBase"), group);
        dropBase->setObjectName(QStringLiteral("DropBase"));
        dropBase->move(12, 20);
        addLabel(group, QStringLiteral("指定した色のみの影を作ります。"), 12, 46);
        addLabel(group, QStringLiteral("（通常はﾊﾞｯｸｸﾞﾗｳﾝﾄﾞ以外のすべての影を作成）"), 12, 64);
        addColorPanel(group, "DropBaseColor", kGrey, QRect(120, 20, 33, 19), "SpeedButton8",
                      QPoint(160, 17));
        group->hide();
    }

    for (int page = TextOutPage; page <= MixPastePage; ++page)
        addLabel(sheets[page], QStringLiteral("処理パラメータの設定はありません"), 21, 27);
}

ColorPanel* ProcessingParametersDialog::findPanel(const QString& name) const
{
    auto* panel = findChild<ColorPanel*>(name);
    if (!panel)
        throw Error(ErrorKind::BadArgument, "色の設定 '" + name.toStdString() + "' はありません");
    return panel;
}

Color ProcessingParametersDialog::panelColor(const QString& name) const
{
    return findPanel(name)->color();
}

void ProcessingParametersDialog::setPanelColor(const QString& name, Color color)
{
    findPanel(name)->setColor(color);
}

namespace {

QLineEdit* findEdit(const QObject* dialog, const QString& name)
{
    auto* edit = dialog->findChild<QLineEdit*>(name);
    if (!edit)
        throw Error(ErrorKind::BadArgument, "数値の設定 '" + name.toStdString() + "' はありません");
    return edit;
}

}  // namespace

int32_t ProcessingParametersDialog::integerValue(const QString& editName) const
{
    return StrToInt(findEdit(this, editName)->text().toStdString());
}

QString ProcessingParametersDialog::editText(const QString& editName) const
{
    return findEdit(this, editName)->text();
}

void ProcessingParametersDialog::setEditText(const QString& editName, const QString& text)
{
    findEdit(this, editName)->setText(text);
}

bool ProcessingParametersDialog::isChecked(const QString& name) const
{
    auto* button = findChild<QAbstractButton*>(name);
    if (!button || !button->isCheckable())
        throw Error(ErrorKind::BadArgument, "選択の設定 '" + name.toStdString() + "' はありません");
    return button->isChecked();
}

int ProcessingParametersDialog::currentPage() const
{
    return m_pages->currentIndex();
}

int ProcessingParametersDialog::currentListIndex() const
{
    return m_list->currentRow();
}

bool ProcessingParametersDialog::execOnPage(int page)
{
    m_openingPage = page >= 0 && page < PageCount ? page : BasicPage;
    // A dialog shown modelessly is shown anew, modally, so that the caller waits for the answer.
    if (isVisible())
        hide();
    const int result = exec();
    m_openingPage = BasicPage;
    return result == QDialog::Accepted;
}

void ProcessingParametersDialog::showModeless()
{
    if (isVisible()) {
        raise();
        activateWindow();
        return;
    }
    m_openingPage = BasicPage;
    setModal(false);
    show();
    raise();
    activateWindow();
}

void ProcessingParametersDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Restoring a minimised dialog is no new show.
    if (!event->spontaneous())
        onShow();
}

void ProcessingParametersDialog::onShow()
{
    // A plain show opens on entry 0; a single-effect command opens on its effect's entry, so
    // that the page the user sees is the one whose settings the effect will read.
    m_list->setCurrentRow(m_openingPage);
    m_pages->setCurrentIndex(m_openingPage);
    m_list->setFocus(Qt::OtherFocusReason);
}

void ProcessingParametersDialog::onListSelectionChanged()
{
    const int row = m_list->currentRow();
    if (row >= 0 && row < m_pages->count())
        m_pages->setCurrentIndex(row);
}

void ProcessingParametersDialog::onListFocused()
{
    onListSelectionChanged();
}

bool ProcessingParametersDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_list && event->type() == QEvent::FocusIn)
        onListFocused();
    return QDialog::eventFilter(watched, event);
}

void ProcessingParametersDialog::onOk()
{
    m_accepted = true;
    accept();
}

void ProcessingParametersDialog::onCancel()
{
    reject();
}

void ProcessingParametersDialog::reject()
{
    // Cancel, Escape and the close box all end here: the values stay as typed, only the
    // answer is "not confirmed".
    m_accepted = false;
    QDialog::reject();
}

void ProcessingParametersDialog::chooseColorFor(ColorPanel* panel)
{
    // The colour dialog is shared by every button and opens with its own last choice, not with
    // the panel's colour.
    const auto chosen = UiServices::current().chooseColor(this, qColorOf(m_lastChosenColor));
    if (!chosen)
        return;
    m_lastChosenColor = colorOf(*chosen);
    panel->setColor(m_lastChosenColor);
}

}  // namespace lumavex
