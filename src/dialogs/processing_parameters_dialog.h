#pragma once

#include <QDialog>
#include <QFrame>
#include <QString>

#include <cstdint>

#include "core/raster.h"

class QListWidget;
class QTabWidget;
class QPushButton;

namespace lumavex {

/// A small bordered panel whose background colour is a colour setting.
class ColorPanel : public QFrame {
    Q_OBJECT
public:
    explicit ColorPanel(Color color, QWidget* parent = nullptr);
    Color color() const { return m_color; }
    void setColor(Color color);

private:
    Color m_color;
};

/// The processing-parameters dialog ("処理パラメータ"): the one store of every automatic effect's
/// settings. Its controls hold the values themselves: a numeric setting is an edit's text, a
/// colour a panel's colour, an option a check box or radio button. Effect commands read them at
/// the moment they run, through the accessors below, so nothing is cached between commands.
/// Values last for the run; OK and Cancel only set accepted().
class ProcessingParametersDialog : public QDialog {
    Q_OBJECT
public:
    /// The pages of PageControl1, in the order of the list (index i shows page i).
    enum Page : int {
        BasicPage = 0,
        AddShadowPage = 1,
        AddShadowSoftPage = 2,
        FlameBlurPage = 3,
        CircleBlurPage = 4,
        EllipseBlurPage = 5,
        PanelPage = 6,
        MargePage = 7,
        DropBlurShadowPage = 8,
        TextOutPage = 9,
        BlowerPage = 10,
        TextTexturePage = 11,
        MixPastePage = 12,
        PageCount = 13,
    };

    explicit ProcessingParametersDialog(QWidget* parent = nullptr);

    /// The colour of a colour panel ("BGColor", "AddShadowColor", ..., hidden "DropBaseColor").
    /// Throws lumavex::Error(BadArgument) for a name that is no colour panel of the dialog.
    Color panelColor(const QString& name) const;
    void setPanelColor(const QString& name, Color color);

    /// The current text of a numeric edit ("AddShadowWidth", ...) converted by the strict integer
    /// conversion. Throws lumavex::Error(Conversion) with "'<text>' は整数ではありません" when
    /// the text is not an integer, Error(BadArgument) for a name that is no edit of the dialog.
    int32_t integerValue(const QString& editName) const;
    /// The text of a numeric edit as typed.
    QString editText(const QString& editName) const;
    void setEditText(const QString& editName, const QString& text);

    /// The checked state of a check box or radio button ("MargeStretch", "DropBase",
    /// "CheckBox1", "MargeRisize"), hidden ones included.
    bool isChecked(const QString& name) const;

    /// True after OK, false after Cancel (the close box and Escape count as Cancel); false
    /// before the first close.
    bool accepted() const { return m_accepted; }

    /// Shows the dialog modally on one page (the list on the same entry) and returns accepted().
    /// Used by the single-effect commands: the user sees the settings of the effect about to
    /// run. A page outside 0..12 shows the basic page.
    bool execOnPage(int page);
    /// Shows the dialog without blocking (the frame's "処理設定"), on the basic page; OK and
    /// Cancel then merely close it. Brings it to the front when it is already shown.
    void showModeless();

    /// The colour the shared colour dialog opens with: the last one chosen in it (black at
    /// first).
    Color lastChosenColor() const { return m_lastChosenColor; }

    /// The page PageControl1 shows and the list's selected entry.
    int currentPage() const;
    int currentListIndex() const;

public slots:
    /// On every show: selects the list entry of the page being opened (entry 0 for a plain
    /// show), shows its page and gives the list the keyboard focus.
    void onShow();
    /// The list's selection changed: show the page of the selected entry.
    void onListSelectionChanged();
    /// The list received the focus: show the page of the selected entry.
    void onListFocused();
    /// OK: accepted() becomes true and the dialog closes.
    void onOk();
    /// Cancel: accepted() becomes false and the dialog closes.
    void onCancel();

    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ColorPanel* findPanel(const QString& name) const;
    void chooseColorFor(ColorPanel* panel);
    void buildPages();

    QListWidget* m_list = nullptr;
    QTabWidget* m_pages = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    bool m_accepted = false;
    int m_openingPage = BasicPage;
    Color m_lastChosenColor = kBlack;
};

}  // namespace lumavex
