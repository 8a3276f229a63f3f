#pragma once

#include <QColor>
#include <QFont>
#include <QMessageBox>
#include <QString>

#include <optional>

class QPrinter;
class QWidget;

namespace lumavex {

/// The message boxes and common dialogs the editor shows, behind one interface so that tests
/// can answer them. File filters are given as the editor writes them ("text|pattern;pattern|..."),
/// pairs of a description and patterns separated by "|".
class UiServices {
public:
    virtual ~UiServices() = default;

    /// A message box with a caption, a text and buttons; the button pressed (Cancel or the
    /// Escape button when the box is closed otherwise).
    virtual QMessageBox::StandardButton ask(QWidget* parent, const QString& caption,
                                            const QString& text,
                                            QMessageBox::StandardButtons buttons) = 0;
    /// The application's standard error box with the message.
    virtual void showError(QWidget* parent, const QString& message) = 0;
    /// A plain message box with a text and an OK button.
    virtual void showMessage(QWidget* parent, const QString& text) = 0;
    /// The colour dialog, opened with a colour; empty when cancelled.
    virtual std::optional<QColor> chooseColor(QWidget* parent, const QColor& initial) = 0;
    /// The font dialog (no colour or effects section), opened with a font; empty when cancelled.
    virtual std::optional<QFont> chooseFont(QWidget* parent, const QFont& initial) = 0;
    /// The picture open dialog; an empty name when cancelled.
    virtual QString openFileName(QWidget* parent, const QString& filter) = 0;
    /// The picture save dialog; an empty name when cancelled.
    virtual QString saveFileName(QWidget* parent, const QString& filter) = 0;
    /// The folder chooser, captioned; an empty name when cancelled.
    virtual QString chooseFolder(QWidget* parent, const QString& caption) = 0;
    /// The printer setup dialog on a printer; whether it was confirmed.
    virtual bool printSetup(QWidget* parent, QPrinter& printer) = 0;
    /// Asks for the quality (1..100) of a JPEG or WebP file about to be saved, starting at a
    /// value; empty when cancelled. With lossless given (WebP), also asks whether to compress
    /// losslessly, starting at and answering through *lossless.
    virtual std::optional<int> askQuality(QWidget* parent, const QString& format, int initial,
                                          bool* lossless = nullptr) = 0;

    /// The services in use: the real dialogs unless a test installed others.
    static UiServices& current();
    /// Installs other services (not owned); null puts the real dialogs back.
    static void install(UiServices* services);
};

/// "desc|*.a;*.b|desc2|*.c" as a Qt file dialog filter ("desc (*.a *.b);;desc2 (*.c)").
QString qtFileFilter(const QString& filter);

}  // namespace lumavex
