// The "ﾌｧｲﾙ(&F)" menu: new, open, recent files, save, print, scanner, settings and exit.
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>

#include "app/editor.h"
#include "app/main_window.h"
#include "dialogs/processing_parameters_dialog.h"
#include "dialogs/ui_services.h"
#include "document/document_window.h"
#include "document/error_box.h"
#include "document/picture_control.h"
#include "core/color.h"

namespace lumavex {

namespace {

const QString kOpenFilter = QStringLiteral(
    "すべてのﾌｧｲﾙ (*.*)|*.*|Device Independent Bitmap (*.dib)|*.dib|JPEG Image File "
    "(*.jpg,*.jpeg)|*.jpg;*.jpeg|JPEG Image File (*.jpeg)|*.jpeg|ﾋﾞｯﾄﾏｯﾌﾟ (*.bmp)|*.bmp|ｱｲｺﾝ "
    "(*.ico)|*.ico|ｴﾝﾊﾝｽ ﾒﾀﾌｧｲﾙ (*.emf)|*.emf|ﾒﾀﾌｧｲﾙ (*.wmf)|*.wmf|GIF|*.GIF");

const QString kSaveFilter = QStringLiteral(
    "すべてのﾌｧｲﾙ (*.dib;*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf)|*.dib;*.jpg;*.jpeg;*.bmp;*.ico;"
    "*.emf;*.wmf;*.gif|Device Independent Bitmap (*.dib)|*.dib|JPEG Image File "
    "(*.jpg,*.jpeg)|*.jpg;*.jpeg|JPEG Image File (*.jpeg)|*.jpeg|ﾋﾞｯﾄﾏｯﾌﾟ (*.bmp)|*.bmp|ｱｲｺﾝ "
    "(*.ico)|*.ico|ｴﾝﾊﾝｽ ﾒﾀﾌｧｲﾙ (*.emf)|*.emf|ﾒﾀﾌｧｲﾙ (*.wmf)|*.wmf");

}  // namespace

void TMainForm::createFileMenu()
{
    const MenuItem items[] = {
        {"FileNewItem", "新規作成(&N)", "新しいﾌｧｲﾙを作成します", &TMainForm::FileNew, true},
        {"FileOpenItem", "開く(&O)...", "既存のﾌｧｲﾙを開きます", &TMainForm::FileOpen, true},
        {"FileSaveItem", "上書き保存(&S)", "現在のﾌｧｲﾙを保存します", &TMainForm::FileSave, false},
        {"FileSaveAsItem", "名前をつけて保存(&A)...", "ﾌｧｲﾙを別の名前をつけて保存します",
         &TMainForm::FileSaveAs, false},
        {"N5", "-", "", nullptr, true},
        {"N6", "ﾃﾞｰﾀｿｰｽ", "", &TMainForm::SourceClick, true},
        {"Aquair1", "Aquair-ｽｷｬﾅ", "", &TMainForm::Acquire1Click, true},
        {"N1", "-", "", nullptr, true},
        {"FilePrintItem", "印刷(&P)...", "ﾌｧｲﾙを印刷します", &TMainForm::FilePrint, false},
        {"FilePrintSetupItem", "ﾌﾟﾘﾝﾀの設定(&R)...", "ﾌﾟﾘﾝﾀの設定を変更します",
         &TMainForm::FilePrintSetup, true},
        {"N4", "-", "", nullptr, true},
        {"N2", "処理設定", "", &TMainForm::GPropaClick, true},
        {"FileExitItem", "終了(&X)", "このｱﾌﾟﾘｹｰｼｮﾝを終了します", &TMainForm::FileExit, true},
        {"Open21", "-", "", nullptr, true},
    };
    m_fileMenu = addFrameMenu(QStringLiteral("ﾌｧｲﾙ(&F)"), QStringLiteral("FileMenu"), 0, items);
    connect(m_fileMenu, &QMenu::aboutToShow, this, &TMainForm::FileMenuClick);
}

QList<QAction*> TMainForm::recentFileItems() const
{
    QList<QAction*> items;
    bool afterOpen21 = false;
    for (QAction* action : m_fileMenu->actions()) {
        if (afterOpen21)
            items << action;
        else if (action->objectName() == QLatin1String("Open21"))
            afterOpen21 = true;
    }
    return items;
}

void TMainForm::AddRecentFile(const QString& fileName)
{
    // The caption shows the name as it is ("&" is not a mnemonic here); the item keeps the
    // exact name to open.
    QString caption = fileName;
    caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
    QAction* item = m_fileMenu->addAction(caption);
    item->setData(fileName);
    connect(item, &QAction::triggered, this, [this, item] { Open21Click(item); });
}

void TMainForm::FileMenuClick()
{
    const bool any = !documents().isEmpty();
    for (const char* name : {"FileSaveItem", "FileSaveAsItem", "N6", "Aquair1"})
        menuItem(QString::fromLatin1(name))->setEnabled(any);
    // The print item follows the print button.
    menuItem(QStringLiteral("FilePrintItem"))->setEnabled(speedButton(4)->isEnabled());
}

QString TMainForm::newPictureName(int openDocuments) const
{
    const QString folder = m_programDirectory + QLatin1Char('/');
    const int free =
        UniqueNumberedName(QFile::encodeName(folder + QStringLiteral("New.bmp")).toStdString())
            .second;
    // The count of open windows is added to the first free number; a number whose file
    // exists or that an open window already carries is passed over, so that saving a new
    // picture never overwrites another one.
    QStringList taken;
    for (const TFEditImage1* document : documents())
        taken << document->fileName();
    for (int number = free + openDocuments;; ++number) {
        const QString name = folder + QStringLiteral("New(%1).bmp").arg(number);
        if (!QFileInfo::exists(name) && !taken.contains(name))
            return name;
    }
}

void TMainForm::FileNew()
{
    reportErrors(this, [&] {
        m_panel1->setVisible(true);
        const int openDocuments = static_cast<int>(documents().size());
        const QString name = newPictureName(openDocuments);
        TFEditImage1* document = createDocument();
        const Color background =
            Editor::instance().processingParameters()->panelColor(QStringLiteral("BGColor"));
        // The brush keeps the background colour, so a picture that grows later fills with it.
        Raster picture(10, 10, background);
        picture.setBrushColor(background);
        document->Image1()->setPicture(std::move(picture));
        document->setFileName(name);
        document->setWindowTitle(name);
    });
}

void TMainForm::FileOpen()
{
    const QString name = UiServices::current().openFileName(this, kOpenFilter);
    if (name.isEmpty())
        return;
    if (openDocument(name))
        AddRecentFile(name);
}

void TMainForm::Open21Click(QAction* item)
{
    openDocument(item->data().toString());
}

void TMainForm::FileSave()
{
    TFEditImage1* document = activeDocument();
    if (!document)
        return;
    if (UiServices::current().ask(this, QStringLiteral("確認"),
                                  QStringLiteral("上書き保存します。"),
                                  QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok)
        return;
    reportErrors(this, [&] { document->SavePicture(document->Image1(), document->fileName()); });
}

void TMainForm::FileSaveAs()
{
    TFEditImage1* document = activeDocument();
    if (!document)
        return;
    const QString name = UiServices::current().saveFileName(this, kSaveFilter);
    if (name.isEmpty())
        return;
    reportErrors(this, [&] { document->SavePicture(document->Image1(), name); });
}

void TMainForm::FilePrint()
{
    if (TFEditImage1* document = activeDocument())
        reportErrors(this, [&] { document->Print1Click(); });
}

void TMainForm::FilePrintSetup()
{
    reportErrors(this, [&] { UiServices::current().printSetup(this, printer()); });
}

void TMainForm::FileExit()
{
    close();
}

void TMainForm::SourceClick()
{
    if (TFEditImage1* document = activeDocument())
        reportErrors(this, [&] { document->SelectSource(); });
}

void TMainForm::Acquire1Click()
{
    if (TFEditImage1* document = activeDocument())
        reportErrors(this, [&] { document->AcquireScan(); });
}

void TMainForm::GPropaClick()
{
    Editor::instance().processingParameters()->showModeless();
}

}  // namespace lumavex
