#pragma once

#include <memory>

class QString;

namespace lumavex {

class AboutBox;
class ColorCountDialog;
class MainWindow;
class MaskEditorWindow;
class OpenRequestServer;
class ProcessingParametersDialog;
class RotateDialog;
class SizeDialog;
class TextDialog;

/// The editor's long-lived windows, each created once, in the start-up order: the frame first,
/// then the About box, the text output dialog, the processing parameters, the mask editor and
/// the size, colour-count and rotate dialogs. Only the frame is shown; the dialogs hold the
/// settings of the run. One Editor exists at a time.
class Editor {
public:
    Editor();
    ~Editor();
    Editor(const Editor&) = delete;
    Editor& operator=(const Editor&) = delete;

    /// The Editor that exists now.
    static Editor& instance();

    MainWindow* mainWindow() const { return m_mainWindow.get(); }
    AboutBox* aboutBox() const { return m_aboutBox.get(); }
    TextDialog* textDialog() const { return m_text.get(); }
    ProcessingParametersDialog* processingParameters() const { return m_parameters.get(); }
    MaskEditorWindow* maskEditor() const { return m_maskEditor.get(); }
    SizeDialog* sizeDialog() const { return m_size.get(); }
    ColorCountDialog* colorCountDialog() const { return m_colorCount.get(); }
    RotateDialog* rotateDialog() const { return m_rotate.get(); }

    /// Listens for open requests on a socket: the files named there open in the frame, each
    /// after the ones before it. Returns whether it listens (not when another editor does).
    bool listenForOpenRequests(const QString& socketName);

private:
    std::unique_ptr<MainWindow> m_mainWindow;
    std::unique_ptr<AboutBox> m_aboutBox;
    std::unique_ptr<TextDialog> m_text;
    std::unique_ptr<ProcessingParametersDialog> m_parameters;
    std::unique_ptr<MaskEditorWindow> m_maskEditor;
    std::unique_ptr<SizeDialog> m_size;
    std::unique_ptr<ColorCountDialog> m_colorCount;
    std::unique_ptr<RotateDialog> m_rotate;
    std::unique_ptr<OpenRequestServer> m_openRequests;
};

}  // namespace lumavex
