#pragma once

class QPrinter;
class QString;

namespace lumavex {

class ColorCountDialog;
class MaskEditorWindow;
class ProcessingParametersDialog;
class RotateDialog;
class SizeDialog;
class TextDialog;

/// The long-lived dialogs the document's commands show; they keep their values for the run.
struct CommandDialogs {
    TextDialog* text = nullptr;
    SizeDialog* size = nullptr;
    RotateDialog* rotate = nullptr;
    ColorCountDialog* colorCount = nullptr;
    MaskEditorWindow* maskEditor = nullptr;
};

/// What a document window asks of the frame that holds it: the tool-button states, the undo
/// command, the current printer, the status line and the processing parameters.
class DocumentHost {
public:
    virtual ~DocumentHost() = default;

    /// Enables the save, save-as, print, cut and copy buttons (a document now exists).
    virtual void enableDocumentButtons() = 0;
    /// Disables the same buttons unless more than one document window exists.
    virtual void disableDocumentButtons() = 0;
    /// Enables or disables the undo tool button.
    virtual void setUndoButtonEnabled(bool enabled) = 0;
    /// The frame's undo: the active document restores its snapshot if it has one.
    virtual void undo() = 0;
    /// The printer that printing uses, as the printer setup left it.
    virtual QPrinter& printer() = 0;
    /// Shows a short message in the frame's status line (why a command did nothing).
    virtual void showStatusMessage(const QString& text) = 0;
    /// The processing-parameters dialog, the store of the effects' settings.
    virtual ProcessingParametersDialog* processingParameters() = 0;
    /// The text, size, rotate and colour-count dialogs and the mask editor.
    virtual CommandDialogs commandDialogs() = 0;
};

}  // namespace lumavex
