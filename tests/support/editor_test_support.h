#pragma once
// Helpers of the editor's Qt tests: a fresh editor per test with its dialogs answered, and
// picture files on disk.

#include <QFile>
#include <QSettings>
#include <QString>

#include <memory>

#include "app/editor.h"
#include "app/main_window.h"
#include "formats/picture_io.h"
#include "support/fake_ui.h"
#include "support/test_pictures.h"

namespace lumavex::test {

/// Forgets the settings an earlier editor of the test program kept (the frame's place, the
/// JPEG quality), so that every editor starts as on a first run.
struct FirstRun {
    FirstRun() { MainWindow::settings()->clear(); }
};

/// Everything a test of the editor needs: answered dialogs, a temporary folder that is also the
/// program's directory and the pictures folder, and the long-lived windows.
struct EditorUnderTest {
    FakeUi ui;
    TempDir dir;
    FirstRun firstRun;
    Editor editor;
    MainWindow* frame = editor.mainWindow();

    EditorUnderTest()
    {
        const QString folder = QString::fromStdString(dir.path().string());
        frame->setProgramDirectory(folder);
        frame->setPicturesFolder(folder);
        frame->show();
    }

    QString path(const QString& name) const
    {
        return QString::fromStdString(dir.file(name.toStdString()));
    }
    /// Writes a picture file (by its extension) into the folder; returns its full name.
    QString writePicture(const QString& name, const Raster& picture) const
    {
        return QString::fromStdString(SavePicture(picture, dir.file(name.toStdString())));
    }
};

}  // namespace lumavex::test
