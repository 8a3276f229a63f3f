#include "scanner_input.h"

#include "document/picture_control.h"
#include "document/scanner.h"

namespace lumavex {

ScannerInput::ScannerInput(PictureControl* view, QObject* parent) : QObject(parent), m_view(view) {}

bool ScannerInput::selectSource(QWidget* dialogParent)
{
    return selectScannerSource(dialogParent);
}

bool ScannerInput::acquire(QWidget* dialogParent)
{
    std::optional<Raster> scanned = acquireScan(dialogParent);
    if (!scanned || scanned->empty())
        return false;
    m_view->setPicture(std::move(*scanned));
    return true;
}

}  // namespace lumavex
