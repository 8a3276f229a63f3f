#include "text_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QShowEvent>
#include <QSplitter>
#include <QVBoxLayout>

#include <cmath>

#include "dialogs/form_support.h"
#include "dialogs/ui_services.h"
#include "core/convert.h"

namespace lumavex {

TextPreview::TextPreview(QWidget* parent) : QWidget(parent)
{
    setToolTip(QStringLiteral("マウスクリックで出力位置指定"));
    resize(0, 0);
}

void TextPreview::setPicture(const QImage& picture)
{
    m_picture = picture;
    resize(picture.size());
    update();
}

void TextPreview::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(0, 0, m_picture);
}

void TextPreview::mouseReleaseEvent(QMouseEvent* event)
{
    emit released(event->position().toPoint());
}

TextSample::TextSample(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    // Moving over the sample without a button rewrites the position, so moves are tracked.
    setMouseTracking(true);
    fitToText();
}

void TextSample::setCaption(const QString& caption)
{
    m_caption = caption;
    fitToText();
    update();
}

void TextSample::setColor(const QColor& color)
{
    m_color = color;
    update();
}

void TextSample::setTextFont(const QFont& font)
{
    setFont(font);
    fitToText();
    update();
}

void TextSample::fitToText()
{
    const QFontMetrics metrics(font());
    const QStringList lines = m_caption.split(QLatin1Char('\r'));
    int width = 0;
    for (const QString& line : lines)
        width = std::max(width, metrics.horizontalAdvance(line));
    resize(width, m_caption.isEmpty() ? 0 : metrics.height() * static_cast<int>(lines.size()));
}

void TextSample::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(m_color);
    const QFontMetrics metrics(font());
    int y = metrics.ascent();
    for (const QString& line : m_caption.split(QLatin1Char('\r'))) {
        painter.drawText(0, y, line);
        y += metrics.height();
    }
}

void TextSample::mousePressEvent(QMouseEvent* event)
{
    emit pressed(event->position().toPoint());
}

void TextSample::mouseMoveEvent(QMouseEvent* event)
{
    emit moved(event->position().toPoint());
}

void TextSample::mouseReleaseEvent(QMouseEvent* event)
{
    emit releasedOn(event->position().toPoint());
}

namespace {

QLineEdit* addEdit(QWidget* parent, const char* name, const QString& text, int x, int y, int width)
{
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(x, y, width, 21);
    return edit;
}

}  // namespace

TextDialog::TextDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFText1"));
    setWindowTitle(QStringLiteral("テキスト出力"));
    setFont(formFont());
    resize(414, 474);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->setObjectName(QStringLiteral("Splitter1"));
    splitter->setHandleWidth(6);
    splitter->setChildrenCollapsible(false);
    layout->addWidget(splitter);

    auto* top = new QWidget(splitter);
    top->setObjectName(QStringLiteral("Panel1"));
    top->setMinimumHeight(208);

    addLabel(top, QStringLiteral("位置"), 32, 27, "Label1");
    m_x = addEdit(top, "Edit1", QStringLiteral("10"), 44, 45, 53);
    m_y = addEdit(top, "Edit2", QStringLiteral("10"), 108, 45, 49);

    auto* fontButton = addButton(top, "BitBtn1", QStringLiteral("F"), QRect(180, 45, 41, 22));
    QFont buttonFont(QStringLiteral("ＭＳ Ｐ明朝"));
    buttonFont.setPixelSize(15);
    buttonFont.setBold(true);
    buttonFont.setItalic(true);
    fontButton->setFont(buttonFont);
    fontButton->setStyleSheet(QStringLiteral("color: blue;"));
    fontButton->setAutoDefault(false);
    fontButton->setToolTip(QStringLiteral("フォントの選択"));
    connect(fontButton, &QPushButton::clicked, this, &TextDialog::onChooseFont);

    auto* colorButton = addButton(top, "BitBtn2", QString(), QRect(232, 45, 41, 22));
    colorButton->setIcon(colorButtonGlyph());
    colorButton->setAutoDefault(false);
    colorButton->setToolTip(QStringLiteral("色の選択"));
    connect(colorButton, &QPushButton::clicked, this, &TextDialog::onChooseColor);

    auto* ok = addButton(top, "Button1", QStringLiteral("OK"), QRect(248, 9, 57, 22));
    ok->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &TextDialog::onOk);
    auto* cancel = addButton(top, "Button2", QStringLiteral("CANCEL"), QRect(316, 9, 57, 22));
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &TextDialog::onCancel);

    addLabel(top, QStringLiteral("テキスト"), 36, 72, "Label2");
    m_memo = new QPlainTextEdit(top);
    m_memo->setObjectName(QStringLiteral("Memo1"));
    m_memo->setGeometry(44, 87, 341, 67);
    m_memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_memo->setPlainText(QStringLiteral("Memo1"));

    m_bevel = new QCheckBox(QStringLiteral("ﾍﾞﾍﾞﾙｵﾌﾟｼｮﾝ"), top);
    m_bevel->setObjectName(QStringLiteral("ck_bevel"));
    m_bevel->move(37, 162);
    m_bevel->adjustSize();
    addLabel(top, QStringLiteral("TopLeft"), 133, 165, "Label3");
    m_bevel1 = addEdit(top, "E_bevel1", QString(), 181, 162, 41);
    addLabel(top, QStringLiteral("BottomRight"), 237, 165, "Label4");
    m_bevel2 = addEdit(top, "E_Bevel2", QString(), 309, 162, 41);
    m_outline = new QCheckBox(QStringLiteral("OutLine"), top);
    m_outline->setObjectName(QStringLiteral("Ck_outLine"));
    m_outline->setGeometry(37, 186, 282, 17);

    m_scrollBox = new QScrollArea(splitter);
    m_scrollBox->setObjectName(QStringLiteral("ScrollBox1"));
    m_scrollBox->setWidgetResizable(false);
    m_previewArea = new QWidget;
    m_previewArea->setObjectName(QStringLiteral("PreviewArea"));
    m_preview = new TextPreview(m_previewArea);
    m_preview->setObjectName(QStringLiteral("Image1"));
    m_preview->move(8, 9);
    m_sample = new TextSample(m_previewArea);
    m_sample->setObjectName(QStringLiteral("TextLabel1"));
    m_sample->move(24, 24);
    m_sample->raise();
    m_previewArea->resize(16, 18);
    m_scrollBox->setWidget(m_previewArea);

    splitter->addWidget(top);
    splitter->addWidget(m_scrollBox);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({208, 474 - 208 - 6});

    // The sample starts in the form's font and the system's window-text colour, and shows
    // nothing until the memo is edited.
    m_textFont = font();
    m_lastChosenFont = font();
    m_sample->setTextFont(m_textFont);
    m_sample->setColor(QApplication::palette().color(QPalette::WindowText));

    connect(m_memo, &QPlainTextEdit::textChanged, this, &TextDialog::onTextChanged);
    connect(m_preview, &TextPreview::released, this, &TextDialog::onPreviewMouseRelease);
    connect(m_sample, &TextSample::pressed, this, &TextDialog::onSampleMousePress);
    connect(m_sample, &TextSample::moved, this, &TextDialog::onSampleMouseMove);
    connect(m_sample, &TextSample::releasedOn, this, &TextDialog::onSampleMouseRelease);
}

bool TextDialog::execFor(const QString& caption, bool bevelEnabled, const QImage& picture)
{
    setWindowTitle(caption);
    m_bevel->setEnabled(bevelEnabled);
    setPreviewPicture(picture);
    return exec() == QDialog::Accepted;
}

void TextDialog::setPreviewPicture(const QImage& picture)
{
    m_preview->setPicture(picture);
    m_previewArea->resize(m_preview->x() + picture.width() + 8,
                          m_preview->y() + picture.height() + 9);
}

QStringList TextDialog::lines() const
{
    const QString text = m_memo->toPlainText();
    if (text.isEmpty())
        return {};
    QStringList result = text.split(QLatin1Char('\n'));
    if (result.size() > 1 && result.back().isEmpty())
        result.removeLast();
    return result;
}

int32_t TextDialog::positionX() const
{
    return StrToInt(m_x->text().toStdString());
}

int32_t TextDialog::positionY() const
{
    return StrToInt(m_y->text().toStdString());
}

Color TextDialog::textColor() const
{
    return colorOf(m_sample->color());
}

Font TextDialog::rasterFont() const
{
    Font font;
    font.family = m_textFont.family().toStdString();
    const int pixels = m_textFont.pixelSize();
    font.pixelSize =
        pixels > 0 ? pixels : static_cast<int>(std::lround(m_textFont.pointSizeF() * 96 / 72));
    font.bold = m_textFont.bold();
    font.italic = m_textFont.italic();
    font.underline = m_textFont.underline();
    font.strikeOut = m_textFont.strikeOut();
    font.color = textColor();
    return font;
}

bool TextDialog::bevel() const
{
    return m_bevel->isChecked();
}

int32_t TextDialog::bevelTopLeft() const
{
    return StrToInt(m_bevel1->text().toStdString());
}

int32_t TextDialog::bevelBottomRight() const
{
    return StrToInt(m_bevel2->text().toStdString());
}

QString TextDialog::bevelTopLeftText() const
{
    return m_bevel1->text();
}

QString TextDialog::bevelBottomRightText() const
{
    return m_bevel2->text();
}

bool TextDialog::outline() const
{
    return m_outline->isChecked();
}

QString TextDialog::sampleCaption() const
{
    return m_sample->caption();
}

QPoint TextDialog::samplePosition() const
{
    return m_sample->pos() - m_preview->pos();
}

void TextDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        onShow();
}

void TextDialog::onShow()
{
    if (m_bevel1->text().isEmpty())
        m_bevel1->setText(QStringLiteral("0"));
    if (m_bevel2->text().isEmpty())
        m_bevel2->setText(QStringLiteral("0"));
}

void TextDialog::onChooseFont()
{
    // The font dialog offers no colour, and the text keeps its colour whatever is chosen.
    const QColor colour = m_sample->color();
    const auto chosen = UiServices::current().chooseFont(this, m_lastChosenFont);
    if (chosen) {
        m_lastChosenFont = *chosen;
        m_textFont = *chosen;
        m_sample->setTextFont(m_textFont);
    }
    m_sample->setColor(colour);
}

void TextDialog::onChooseColor()
{
    const auto chosen = UiServices::current().chooseColor(this, m_lastChosenColor);
    if (!chosen)
        return;
    m_lastChosenColor = *chosen;
    m_sample->setColor(QColor(chosen->red(), chosen->green(), chosen->blue()));
}

void TextDialog::onTextChanged()
{
    m_sample->setCaption(lines().join(QLatin1Char('\r')));
}

void TextDialog::onPreviewMouseRelease(QPoint point)
{
    m_x->setText(QString::number(point.x()));
    m_y->setText(QString::number(point.y()));
    m_sample->move(point + m_preview->pos());
}

void TextDialog::onSampleMousePress(QPoint point)
{
    m_draggingLabel = true;
    m_dragStart = point;
}

void TextDialog::onSampleMouseMove(QPoint point)
{
    if (m_draggingLabel)
        m_sample->move(m_sample->pos() + point - m_dragStart);
    updatePositionFromSample();
}

void TextDialog::onSampleMouseRelease()
{
    m_draggingLabel = false;
}

void TextDialog::updatePositionFromSample()
{
    const QPoint p = samplePosition();
    m_x->setText(QString::number(p.x()));
    m_y->setText(QString::number(p.y()));
}

void TextDialog::onOk()
{
    m_accepted = true;
    accept();
}

void TextDialog::onCancel()
{
    reject();
}

void TextDialog::reject()
{
    // The close box and Escape are a Cancel: nothing is drawn.
    m_accepted = false;
    QDialog::reject();
}

}  // namespace lumavex
