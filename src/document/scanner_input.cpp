#include "scanner_input.h"

#include "document/picture_control.h"
#include "document/scanner.h"

namespace lumavex {

ToolViewIO::ToolViewIO(PictureControl* view, QObject* parent) : QObject(parent), m_view(view) {}

bool ToolViewIO::SelectSource(QWidget* dialogParent)
{
    return selectScannerSource(dialogParent);
}

bool ToolViewIO::Acquire(QWidget* dialogParent)
{
    std::optional<Raster> scanned = acquireScan(dialogParent);
    if (!scanned || scanned->empty())
        return false;
    m_view->setPicture(std::move(*scanned));
    return true;
}

}  // namespace lumavex
