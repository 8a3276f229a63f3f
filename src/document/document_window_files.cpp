// Loading, saving, printing and scanning of the document's picture.
#include <QFile>
#include <QPainter>
#include <QPrinter>

#include "bridge/qimage_bridge.h"
#include "document/document_host.h"
#include "document/document_window.h"
#include "document/picture_control.h"
#include "document/scanner_input.h"
#include "core/error.h"
#include "formats/picture_io.h"
#include "formats/registry.h"

namespace lumavex {

namespace {

std::string localName(const QString& fileName)
{
    return QFile::encodeName(fileName).toStdString();
}

}  // namespace

void DocumentWindow::loadPicture(const QString& fileName)
{
    m_fileName = fileName;
    Raster picture = lumavex::LoadPicture(localName(fileName));
    setWindowTitle(fileName);
    m_mainPicture->setPicture(std::move(picture));
}

void DocumentWindow::savePicture(PictureControl* picture, const QString& fileName)
{
    const std::string target = savedFileName(localName(fileName));
    std::string written;
    if (lowerExtension(target) == "gif") {
        // GIF files are written from the toolkit view, with its save parameters.
        m_toolView->setPicture(picture->picture());
        written = lumavex::SavePicture(m_toolView->picture(), target, m_ioParams);
    } else {
        written = lumavex::SavePicture(picture->picture(), target, m_ioParams);
    }
    const QString name = QFile::decodeName(QByteArray::fromStdString(written));
    setWindowTitle(name);
    m_fileName = name;
}

void DocumentWindow::printPicture()
{
    const Raster& picture = m_mainPicture->picture();
    if (picture.empty())
        throw Error(ErrorKind::BadArgument, "印刷する画像がありません");
    QPrinter& printer = m_host->printer();
    QPainter painter;
    if (!painter.begin(&printer)) {
        const std::string file = QFile::encodeName(printer.outputFileName()).toStdString();
        const std::string name = printer.printerName().toStdString();
        if (printer.outputFormat() == QPrinter::PdfFormat && !file.empty())
            throw Error(ErrorKind::File, "'" + file + "' に印刷できません");
        if (!name.empty())
            throw Error(ErrorKind::File, "プリンタ '" + name + "' に印刷できません");
        throw Error(ErrorKind::File, "プリンタがありません");
    }
    painter.drawImage(0, 0, viewRaster(picture));
    if (!painter.end())
        throw Error(ErrorKind::File, "印刷を完了できませんでした");
}

void DocumentWindow::selectSource()
{
    m_scannerInput->selectSource(this);
}

void DocumentWindow::acquireScan()
{
    if (m_scannerInput->acquire(this))
        m_mainPicture->setPicture(m_toolView->picture());
}

}  // namespace lumavex
