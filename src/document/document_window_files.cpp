// Loading, saving, printing and scanning of the document's picture.
#include <QFile>
#include <QPainter>
#include <QPrinter>

#include <optional>
#include <utility>

#include "bridge/qimage_bridge.h"
#include "document/document_host.h"
#include "document/document_window.h"
#include "document/picture_control.h"
#include "document/scanner_input.h"
#include "core/error.h"
#include "formats/picture_io.h"
#include "formats/registry.h"
#include "formats/spi_plugins.h"

namespace lumavex {

namespace {

std::string localName(const QString& fileName)
{
    return QFile::encodeName(fileName).toStdString();
}

/// Sets the plug-in manager's progress handler for a scope and puts the earlier one back.
class SpiProgressScope {
public:
    SpiProgressScope(SpiPlugins& plugins, SpiProgress progress)
        : m_plugins(plugins), m_earlier(std::exchange(plugins.onProgress, std::move(progress)))
    {
    }
    ~SpiProgressScope() { m_plugins.onProgress = std::move(m_earlier); }
    SpiProgressScope(const SpiProgressScope&) = delete;
    SpiProgressScope& operator=(const SpiProgressScope&) = delete;

private:
    SpiPlugins& m_plugins;
    SpiProgress m_earlier;
};

}  // namespace

void DocumentWindow::loadPicture(const QString& fileName)
{
    m_fileName = fileName;
    // An image plug-in's progress shows as marks in the status bar, one for every 5 %, cleared
    // when it ends; the handler is the document's only while it loads.
    SpiPlugins* plugins = SpiPlugins::instance();
    std::optional<SpiProgressScope> progress;
    if (plugins)
        progress.emplace(*plugins, [bar = m_statusBar](SpiStage stage, int percent) {
            const QString marks = QString(stage == SpiStage::Running ? percent / 5 : 0, u'■');
            if (bar->panelText(0) != marks)
                bar->setPanelText(0, marks);
            return true;
        });
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
