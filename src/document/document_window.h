#pragma once

#include <QList>
#include <QMdiSubWindow>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

#include "commands/command_table.h"
#include "dialogs/shape_control.h"
#include "formats/picture_io.h"

class QAction;
class QMenu;
class QScrollArea;

namespace lumavex {

class DocumentHost;
class PanelStatusBar;
class PictureControl;
class ShapeControl;
class ScannerInput;

/// The document window: one picture in a child window of the frame, with its floating paste
/// picture, scratch picture, undo snapshot and toolkit work area, its "編集(&E)" and "処理"
/// menus (merged into the frame's menu bar while it is active) and its pop-up menu.
class DocumentWindow : public QMdiSubWindow {
    Q_OBJECT
public:
    /// Creates the window and its parts (FormCreate): the frame's undo button is disabled and
    /// its document buttons enabled. The picture starts empty.
    explicit DocumentWindow(DocumentHost* host, QWidget* parent = nullptr);
    ~DocumentWindow() override;

    // Parts of the window, with their objectNames.
    QScrollArea* scrollArea() const { return m_scrollArea; }               ///< "ScrollBox1"
    PictureControl* mainPicture() const { return m_mainPicture; }          ///< "Image1"
    ShapeControl* marquee() const { return m_marquee; }                    ///< "Shape1"
    PictureControl* floatingPicture() const { return m_floatingPicture; }  ///< "Image2"
    PictureControl* scratchPicture() const { return m_scratchPicture; }    ///< "Image3"
    PictureControl* toolView() const { return m_toolView; }                ///< "ToolView1"
    ScannerInput* scannerInput() const { return m_scannerInput; }          ///< "ToolViewIO1"
    /// The toolkit view's save parameters (GIF bits, interlacing, the LZW compressor).
    const SaveOptions& ioParams() const { return m_ioParams; }
    /// The JPEG quality (1..100) the window's saves use.
    void setJpegQuality(int quality) { m_ioParams.quality = quality; }
    /// The quality of the next JPEG or lossy WebP save, and whether a WebP save is lossless.
    void setSaveQuality(int quality, bool webpLossless)
    {
        m_ioParams.quality = quality;
        m_ioParams.webpLossless = webpLossless;
    }
    PictureControl* undoPicture() const { return m_undoPicture; }  ///< "UndoImage"
    PanelStatusBar* statusBar() const { return m_statusBar; }      ///< "StatusBar1"
    QMenu* editMenu() const { return m_editMenu; }                 ///< "Edit1"
    QMenu* processingMenu() const { return m_processingMenu; }  ///< "N4" (its "N5" is 単独処理)
    QMenu* popupMenu() const { return m_popupMenu; }            ///< "PopupMenu1"
    /// The menus merged into the frame's menu bar ("編集(&E)", "表示(&V)", "処理"), each with its
    /// group index in the property "groupIndex" of its menu action.
    QList<QMenu*> mergedMenus() const;
    /// A menu item of the document's menus by its name ("Undo1", "N5", "PopAddShadow"), or null.
    QAction* menuItem(const QString& name) const;

    /// The file the picture is saved to.
    QString fileName() const { return m_fileName; }
    void setFileName(const QString& name) { m_fileName = name; }
    /// Whether any command took an undo snapshot; saving does not clear it.
    bool edited() const { return m_edited; }
    /// The label of the last snapshot, kept as the hint of "単独処理"; empty while there is none.
    QString undoLabel() const;
    /// The picture the pop-up menu was last opened over (the main picture at first).
    PictureControl* targetPicture() const { return m_targetPicture; }

    /// Runs when the window becomes the active document: the frame's undo button follows this
    /// document's undo label.
    void onActivated();
    /// Keeps a copy of a picture as the undo snapshot under a label and marks the document
    /// edited.
    void TakeUndoSnapshot(PictureControl* picture, const QString& label);
    /// Puts the snapshot back into the main picture; snapshot, label and edited-ness stay.
    void RestoreUndo();
    /// "元に戻す(&U)": the frame's undo.
    void onUndo();
    /// Enables the edit menu's items as the undo label and the clipboard allow.
    void onEditMenuShow();
    /// Enables "MixPaste" exactly when the menu opens over the floating picture, which then
    /// becomes the target picture.
    void onPopupMenu(PictureControl* over);

    /// How a menu item starts its command.
    enum class CommandStart {
        Now,           ///< at once, with the parameters as they stand
        ConfirmFirst,  ///< after the processing parameters were confirmed on the command's page
        OnMain,        ///< at once, on the main picture whatever the target picture is
    };
    /// Runs a command with the document's rules: the picture it works on (the target picture,
    /// or the main one), the undo snapshot with its label, its settings read now from the
    /// processing parameters or asked in its dialog, the core call and the repaint. Every menu
    /// item, pop-up item and shortcut runs its command through here. A command that cannot run
    /// says why; a cancelled dialog stops it. The core call runs on a thread of its own while
    /// this one keeps painting; user input waits until it has ended, and a close asked meanwhile
    /// is carried out after it. Returns once the command has ended.
    void execute(CommandId id, CommandStart start = CommandStart::Now);

    /// Reads a picture file into the main picture through the format registry. The file name is
    /// set first; the title only once the file was read. Throws lumavex::Error, leaving the
    /// picture as it was.
    void loadPicture(const QString& fileName);
    /// Writes a picture control's picture by the file name's extension (".bmp" appended when
    /// it has none); title and file name become the name written. Throws lumavex::Error, and
    /// then title, file name and any existing file stay as they were.
    void savePicture(PictureControl* picture, const QString& fileName);
    /// Prints the main picture on the frame's printer at the page's top-left, unscaled.
    /// Throws lumavex::Error when printing cannot start.
    void printPicture();
    /// The scanner's source selection.
    void selectSource();
    /// Acquires one scanned picture into the main picture; nothing changes when none came.
    void acquireScan();

    /// Whether a command's core call is running.
    bool commandRunning() const { return m_commandRunning; }
    /// The close question: true when the window may close (not edited, or answered Yes and
    /// saved, or No); false on Cancel or when the save failed. While a command runs, false
    /// without a question: the frame's close is asked again once the command has ended.
    bool queryClose();

    // The marquee, the floating picture, the clipboard and the flood fill
    // (document_window_selection.cpp). Positions are in picture pixels.

    /// The selection rectangle, corners as dragged (not clamped; right or bottom lie left of or
    /// above the start when dragged that way).
    Rect selectionRect() const { return m_marquee->bounds().rect(); }
    /// Where the floating picture's top-left corner lies over the main picture.
    QPoint floatingPosition() const;
    /// Whether the next mouse release on the main picture flood-fills.
    bool fillMode() const;
    /// "切り取り(&T)": the selection goes to the clipboard and turns white (snapshot "切り取り").
    void onCut();
    /// "ｺﾋﾟｰ(&C)": the selection goes to the clipboard (snapshot "コピー").
    void onCopy();
    /// "貼り付け(&P)": the clipboard's picture floats at the view's top-left corner. Throws
    /// lumavex::Error when the clipboard holds no picture; nothing changes then.
    void onPaste();
    /// "全選択": the marquee covers the whole picture.
    void onSelectAll();
    /// "Fill-流込み": the colour dialog, then fill mode until the next release on the picture.
    void onFillColor();
    /// Copies the floating picture into the main picture at its place, growing the main picture
    /// to the right and bottom with its brush colour where it lies beyond them; hides it. Takes
    /// no snapshot, but the document counts as edited. Nothing happens while it is hidden.
    /// Throws lumavex::Error when the grown picture would be too large, changing nothing.
    void fixFloatingPicture();

    // The view zoom (document_window_view.cpp): it changes how the pictures are shown, never
    // the pictures.

    double viewZoom() const { return m_zoom; }
    /// Sets the zoom (clamped to the steps' range); the view keeps the picture point at a
    /// viewport position where it was.
    void setViewZoom(double zoom, const QPoint& anchor = QPoint(-1, -1));
    void zoomIn(const QPoint& anchor = QPoint(-1, -1));
    void zoomOut(const QPoint& anchor = QPoint(-1, -1));
    /// The window's size that shows the whole picture at the view zoom.
    QSize sizeForPicture() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createParts();
    void createMenus();
    void layOutPictures();
    void connectSelection();
    void createViewMenu();
    void onPicturePressed(const QPoint& point, Qt::MouseButton button);
    void onPictureMoved(const QPoint& point);
    void onPictureReleased(const QPoint& point, Qt::MouseButton button);
    void onFloatingPressed(const QPoint& point, Qt::MouseButton button);
    void onFloatingMoved(const QPoint& point);
    void onFloatingReleased(const QPoint& point, Qt::MouseButton button);
    std::optional<Rect> areaToCopy(const QString& doing) const;
    void executeOn(const CommandInfo& info, PictureControl* target);
    QString whyNot(const CommandInfo& info, const PictureControl* target) const;
    Settings parameterSettings(CommandId id) const;
    std::optional<Settings> askSettings(const CommandInfo& info, PictureControl* target);
    void applyCommand(const CommandInfo& info, const Settings& settings, PictureControl* target);
    void runOffTheInterfaceThread(PictureControl* target,
                                  const std::function<void(ProgressSink*)>& work);
    void copyToClipboard(const Rect& area);

    DocumentHost* m_host;
    QString m_fileName;
    bool m_edited = false;
    /// Whether a command's core call is running; the window it should then close, if any.
    bool m_commandRunning = false;
    QPointer<QWidget> m_closeAfterCommand;

    QScrollArea* m_scrollArea = nullptr;
    QWidget* m_canvas = nullptr;
    PictureControl* m_mainPicture = nullptr;
    ShapeControl* m_marquee = nullptr;
    PictureControl* m_floatingPicture = nullptr;
    PictureControl* m_scratchPicture = nullptr;
    PictureControl* m_toolView = nullptr;
    ScannerInput* m_scannerInput = nullptr;
    PictureControl* m_undoPicture = nullptr;
    PanelStatusBar* m_statusBar = nullptr;
    QMenu* m_editMenu = nullptr;
    QMenu* m_processingMenu = nullptr;
    QMenu* m_singleMenu = nullptr;
    QMenu* m_popupMenu = nullptr;
    PictureControl* m_targetPicture = nullptr;
    SaveOptions m_ioParams;

    bool m_selecting = false;
    bool m_dragging = false;
    QPoint m_dragOrigin;
    Color m_fillColor = kBlack;
    double m_zoom = 1.0;
    QMenu* m_viewMenu = nullptr;
};

}  // namespace lumavex
