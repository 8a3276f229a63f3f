#pragma once

#include <QDialog>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/raster.h"

class QListWidget;
class QWidget;

namespace lumavex {

/// Shows the scanner source selection ("ソースの選択") listing the scanners SANE finds, and
/// remembers the chosen one for the rest of the run. Returns true when a source was chosen;
/// false when the user cancelled or no scanner exists (the user is told so). Throws
/// lumavex::Error when SANE cannot be started.
bool selectScannerSource(QWidget* parent);

/// Acquires one colour picture from the chosen source (the first scanner found when none was
/// chosen). Empty when the user cancelled the scan or no scanner exists. Throws lumavex::Error
/// with a message naming the device when it cannot be opened or the scan fails.
std::optional<Raster> acquireScan(QWidget* parent);

/// The scanner remembered by selectScannerSource; empty before the first choice.
std::string selectedScannerSource();
/// Sets or clears (empty name) the remembered scanner.
void setSelectedScannerSource(const std::string& deviceName);

/// One scanner as SANE names and describes it.
struct ScannerDevice {
    std::string name;         ///< the device name to open ("test:0", "epson2:libusb:001:004")
    std::string description;  ///< vendor, model and type, for the user
};

/// Every scanner SANE finds now. Throws lumavex::Error when SANE cannot be started.
std::vector<ScannerDevice> listScanners();

/// How a scan is made: the resolution in dots per inch (the nearest one the device offers) and
/// further device options by name and value, set after the colour mode and the resolution
/// (for example {"test-picture", "Color pattern"}). Options the device lacks are skipped.
struct ScanSettings {
    int resolution = 150;
    std::vector<std::pair<std::string, std::string>> options;
};

/// Scans one picture from a device in colour. A progress box with a cancel button is shown while
/// the scan runs when parent is not null; cancelling gives an empty result. Throws
/// lumavex::Error when the device cannot be opened, the scan fails or the device sends a
/// picture that is too large or malformed.
std::optional<Raster> scanFromDevice(const std::string& deviceName, const ScanSettings& settings,
                                     QWidget* parent);

/// The source selection dialog itself: a list of the scanners and OK / Cancel.
class ScannerSourceDialog : public QDialog {
    Q_OBJECT
public:
    ScannerSourceDialog(const std::vector<ScannerDevice>& devices, const std::string& current,
                        QWidget* parent = nullptr);
    /// The device chosen in the list; empty when none is.
    std::string chosenDevice() const;

private:
    QListWidget* m_list;
    std::vector<ScannerDevice> m_devices;
};

}  // namespace lumavex
