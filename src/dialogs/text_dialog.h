#pragma once

#include <QDialog>
#include <QFont>
#include <QImage>
#include <QStringList>

#include <cstdint>

#include "core/raster.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;

namespace lumavex {

/// The preview picture of the text dialog: shows a picture at its natural size and reports
/// where a mouse button was released on it, in picture pixels.
class TextPreview : public QWidget {
    Q_OBJECT
public:
    explicit TextPreview(QWidget* parent = nullptr);
    void setPicture(const QImage& picture);
    const QImage& picture() const { return m_picture; }

signals:
    void released(QPoint point);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage m_picture;
};

/// The sample of the text over the preview: its lines in the text's font and colour on a
/// transparent background, sized to the text. It can be dragged.
class TextSample : public QWidget {
    Q_OBJECT
public:
    explicit TextSample(QWidget* parent = nullptr);
    /// The caption: the lines joined by carriage returns (character 13).
    QString caption() const { return m_caption; }
    void setCaption(const QString& caption);
    QColor color() const { return m_color; }
    void setColor(const QColor& color);
    void setTextFont(const QFont& font);

signals:
    void pressed(QPoint point);
    void moved(QPoint point);
    void releasedOn(QPoint point);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void fitToText();

    QString m_caption;
    QColor m_color;
};

/// The text output dialog ("テキスト出力"): the lines of text, their font and colour, where on
/// the picture they start (typed, clicked on the preview or by dragging the sample), and the
/// bevel and outline options of TextOut and TextTexture. The values stay between uses and are
/// read by the commands after OK; nothing is checked inside the dialog. The sample's colour is
/// also the key colour of MixPaste.
class TextDialog : public QDialog {
    Q_OBJECT
public:
    explicit TextDialog(QWidget* parent = nullptr);

    /// Shows the dialog modally for a command: its caption ("TextOut", "TextTexture"), whether
    /// the bevel option may be used, and the picture the text will be drawn on. accepted().
    bool execFor(const QString& caption, bool bevelEnabled, const QImage& picture);
    /// The picture shown in the preview.
    void setPreviewPicture(const QImage& picture);

    bool accepted() const { return m_accepted; }

    /// Memo1's lines, in order (an empty memo has none; a final line break adds no line).
    QStringList lines() const;
    /// Edit1 and Edit2 by the strict integer conversion (throw lumavex::Error(Conversion)).
    int32_t positionX() const;
    int32_t positionY() const;
    /// The text's font (the sample's) and its colour.
    QFont textFont() const { return m_textFont; }
    Color textColor() const;
    /// The text's font as the working raster takes it: family, pixel size, styles and colour.
    Font rasterFont() const;
    /// ck_bevel, E_bevel1 and E_Bevel2 (strict integers), Ck_outLine.
    bool bevel() const;
    int32_t bevelTopLeft() const;
    int32_t bevelBottomRight() const;
    /// E_bevel1 and E_Bevel2 as typed: the text effects convert them only when they draw bevels.
    QString bevelTopLeftText() const;
    QString bevelBottomRightText() const;
    bool outline() const;
    /// The sample's caption: the memo's lines joined by carriage returns, empty until the memo
    /// is first edited.
    QString sampleCaption() const;
    /// Where the sample stands, relative to the preview picture's corner.
    QPoint samplePosition() const;

public slots:
    /// Empty bevel counts become "0".
    void onShow();
    /// "F": the font dialog, opened with the font last chosen in it; never changes the colour.
    void onChooseFont();
    /// The colour dialog, opened with the colour last chosen in it.
    void onChooseColor();
    void onTextChanged();
    void onPreviewMouseRelease(QPoint point);
    void onSampleMousePress(QPoint point);
    void onSampleMouseMove(QPoint point);
    void onSampleMouseRelease();
    void onOk();
    void onCancel();
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void updatePositionFromSample();

    QLineEdit* m_x;
    QLineEdit* m_y;
    QPlainTextEdit* m_memo;
    QCheckBox* m_bevel;
    QLineEdit* m_bevel1;
    QLineEdit* m_bevel2;
    QCheckBox* m_outline;
    QScrollArea* m_scrollBox;
    QWidget* m_previewArea;
    TextPreview* m_preview;
    TextSample* m_sample;

    bool m_accepted = false;
    bool m_draggingLabel = false;
    QPoint m_dragStart;
    QFont m_textFont;
    QFont m_lastChosenFont;
    QColor m_lastChosenColor = Qt::black;
};

}  // namespace lumavex
