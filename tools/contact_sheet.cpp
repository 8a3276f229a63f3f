// Makes the contact sheet of the pop-up effects: the editor opens a photo-like picture, applies
// each entry of its pop-up menu once with the current parameters (answering the dialogs that
// some entries show) and lays the results side by side with their captions.
//
//     lumavex-contact-sheet OUTPUT.png
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

#include "app/editor.h"
#include "app/main_window.h"
#include "bridge/fonts.h"
#include "bridge/qimage_bridge.h"
#include "dialogs/color_adjust_dialog.h"
#include "dialogs/text_dialog.h"
#include "document/document_window.h"
#include "document/picture_control.h"
#include "mask/mask_editor_window.h"

namespace {

using namespace lumavex;

constexpr int kColumns = 5;
constexpr QSize kCell(270, 210);

// A small landscape: sky, sun, hills, a house, and a little grain.
QImage landscape()
{
    QImage image(240, 160, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient sky(0, 0, 0, 160);
    sky.setColorAt(0, QColor(0x5a, 0x9c, 0xe6));
    sky.setColorAt(1, QColor(0xe8, 0xf4, 0xff));
    p.fillRect(image.rect(), sky);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    QRadialGradient sun(190, 38, 26);
    sun.setColorAt(0, QColor(0xff, 0xf0, 0x90));
    sun.setColorAt(1, QColor(0xf0, 0xb8, 0x30));
    p.setBrush(sun);
    p.drawEllipse(QPointF(190, 38), 22, 22);
    p.setBrush(QColor(0x4c, 0xa0, 0x50));
    p.drawEllipse(QRectF(-60, 100, 220, 140));
    p.setBrush(QColor(0x2f, 0x7d, 0x3a));
    p.drawEllipse(QRectF(100, 112, 220, 120));
    p.setBrush(QColor(0xc8, 0x5a, 0x3c));
    p.drawPolygon(QPolygonF({QPointF(52, 96), QPointF(80, 74), QPointF(108, 96)}));
    p.setBrush(QColor(0xf4, 0xe8, 0xd0));
    p.drawRect(QRectF(58, 96, 44, 30));
    p.end();
    QRandomGenerator grain(7);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const int d = grain.bounded(-6, 7);
            const QColor c = image.pixelColor(x, y);
            image.setPixelColor(
                x, y,
                QColor(std::clamp(c.red() + d, 0, 255), std::clamp(c.green() + d, 0, 255),
                       std::clamp(c.blue() + d, 0, 255)));
        }
    return image;
}

// The picture pasted over the landscape for the two blends: a card with a black rim.
QImage card()
{
    QImage image(90, 60, QImage::Format_RGB32);
    image.fill(QColor(0xff, 0xd0, 0xe0));
    QPainter p(&image);
    p.setPen(QPen(Qt::black, 4));
    p.drawRect(image.rect().adjusted(2, 2, -3, -3));
    p.setPen(QColor(0x30, 0x30, 0x90));
    p.drawText(image.rect(), Qt::AlignCenter, QStringLiteral("Paste"));
    return image;
}

void mouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButtons held)
{
    QMouseEvent event(type, QPointF(at), QPointF(widget->mapToGlobal(at)), Qt::LeftButton, held,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

// Answers the dialogs the text and mask entries show.
void answerDialogs()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* text = qobject_cast<TextDialog*>(modal)) {
        text->findChild<QPlainTextEdit*>(QStringLiteral("Memo1"))
            ->setPlainText(QStringLiteral("Lumavex"));
        text->onOk();
    } else if (auto* adjust = qobject_cast<ColorAdjustDialog*>(modal)) {
        // Halfway up the first control of the page shown (the contrast, or the filter's bias).
        if (auto* bias = adjust->findChild<QSpinBox*>(QStringLiteral("Bias")))
            bias->setValue(40);
        else if (auto* first = adjust->findChild<QSpinBox*>())
            first->setValue((first->value() + first->maximum()) / 2);
        adjust->accept();
    } else if (auto* mask = qobject_cast<MaskEditorWindow*>(modal)) {
        QWidget* view = mask->pictureView();
        mouse(view, QEvent::MouseButtonPress, QPoint(16, 16), Qt::LeftButton);
        mouse(view, QEvent::MouseMove, QPoint(200, 136), Qt::LeftButton);
        mouse(view, QEvent::MouseButtonRelease, QPoint(200, 136), Qt::NoButton);
        mask->onFLMask();
        mask->close();
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: lumavex-contact-sheet OUTPUT.png\n");
        return 2;
    }
    const QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QApplication app(argc, argv);
    installFonts();
    const Editor editor;
    MainWindow* frame = editor.mainWindow();
    frame->show();
    DocumentWindow* d = frame->createDocument();
    d->show();

    QTimer dialogs;
    dialogs.setInterval(20);
    QObject::connect(&dialogs, &QTimer::timeout, answerDialogs);
    dialogs.start();

    const Raster photo = rasterFromImage(landscape());
    const QList<QAction*> entries = d->popupMenu()->actions();
    QList<QPair<QString, QImage>> tiles{{QStringLiteral("(元の画像)"), landscape()}};
    for (QAction* entry : entries) {
        d->mainPicture()->setPicture(photo);
        d->floatingPicture()->hide();
        const bool blend = entry->objectName() == QLatin1String("MixPaste1") ||
                           entry->objectName() == QLatin1String("PopMerge1");
        if (blend) {
            QGuiApplication::clipboard()->setImage(card());
            d->onPaste();
            d->floatingPicture()->setPlace(QPoint(120, 70));
        }
        d->onPopupMenu(blend ? d->floatingPicture() : d->mainPicture());
        frame->statusLine()->clearMessage();
        entry->trigger();
        const QString why = frame->statusLine()->currentMessage();
        if (!why.isEmpty()) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(entry->text()), qPrintable(why));
            continue;
        }
        tiles.append({entry->text(), imageFromRaster(d->mainPicture()->picture())});
    }

    const int rows = (tiles.size() + kColumns - 1) / kColumns;
    QImage sheet(kCell.width() * kColumns, kCell.height() * rows, QImage::Format_RGB32);
    sheet.fill(QColor(0x50, 0x50, 0x50));
    QPainter p(&sheet);
    p.setPen(Qt::white);
    for (int i = 0; i < tiles.size(); ++i) {
        const QRect cell(QPoint((i % kColumns) * kCell.width(), (i / kColumns) * kCell.height()),
                         kCell);
        // Pictures grown by their effect are shown smaller, the others at their own size.
        const QSize box = kCell - QSize(20, 40);
        QImage picture = tiles[i].second;
        if (picture.width() > box.width() || picture.height() > box.height())
            picture = picture.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        p.drawImage(cell.left() + (kCell.width() - picture.width()) / 2, cell.top() + 10, picture);
        p.drawText(QRect(cell.left(), cell.bottom() - 28, kCell.width(), 24), Qt::AlignCenter,
                   tiles[i].first);
    }
    p.end();
    if (!sheet.save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
