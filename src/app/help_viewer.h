#pragma once

#include <QList>
#include <QString>
#include <QWidget>

class QLineEdit;
class QListWidget;
class QTextBrowser;

namespace lumavex {

/// One keyword of a help page, as its <meta name="keywords"> lists it.
struct HelpTopic {
    QString keyword;
    QString page;   ///< file name within the help folder
    QString title;  ///< the page's <title>
};

/// Every keyword of the help pages in a folder, sorted by keyword and then by title.
QList<HelpTopic> helpKeywords(const QString& folder);

/// The help window: the help pages of one folder in a browser, with a keyword index beside it
/// that narrows down as a keyword is typed.
class HelpViewer : public QWidget {
    Q_OBJECT
public:
    explicit HelpViewer(QWidget* parent = nullptr);

    /// Shows a page of a help folder ("index.html"). Throws lumavex::Error(File) when the page
    /// does not exist.
    void showPage(const QString& folder, const QString& page);
    /// Shows the keyword index of a folder with the keyword field empty and focused.
    void showSearch(const QString& folder);

    QTextBrowser* browser() const { return m_browser; }
    QLineEdit* keywordEdit() const { return m_keywordEdit; }
    QListWidget* keywordList() const { return m_keywordList; }

private:
    void loadIndex(const QString& folder);
    void filterKeywords(const QString& text);
    void openTopic(int row);

    QString m_folder;
    QList<HelpTopic> m_topics;
    QTextBrowser* m_browser = nullptr;
    QLineEdit* m_keywordEdit = nullptr;
    QListWidget* m_keywordList = nullptr;
};

}  // namespace lumavex
