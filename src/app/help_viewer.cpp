#include "help_viewer.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QSplitter>
#include <QTextBrowser>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>

#include "core/error.h"

namespace lumavex {

namespace {

// Pages are small; anything larger is not one of ours and is not read for keywords.
constexpr qint64 kMaxPageBytes = 4 << 20;

QString attribute(const QString& tag, const QString& name)
{
    static const QRegularExpression pattern(
        QStringLiteral("\\b(\\w+)\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)')"));
    for (auto it = pattern.globalMatch(tag); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.captured(1).compare(name, Qt::CaseInsensitive) == 0)
            return m.captured(2).isNull() ? m.captured(3) : m.captured(2);
    }
    return {};
}

}  // namespace

QList<HelpTopic> helpKeywords(const QString& folder)
{
    static const QRegularExpression metaTag(QStringLiteral("<meta\\b[^>]*>"),
                                            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression titleTag(QStringLiteral("<title>([^<]*)</title>"),
                                             QRegularExpression::CaseInsensitiveOption);
    QList<HelpTopic> topics;
    const QDir dir(folder);
    for (const QString& page : dir.entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name)) {
        QFile file(dir.filePath(page));
        if (file.size() > kMaxPageBytes || !file.open(QIODevice::ReadOnly))
            continue;
        const QString html = QString::fromUtf8(file.readAll());
        const QString title = titleTag.match(html).captured(1).trimmed();
        for (auto it = metaTag.globalMatch(html); it.hasNext();) {
            const QString tag = it.next().captured(0);
            if (attribute(tag, QStringLiteral("name"))
                    .compare(QLatin1String("keywords"), Qt::CaseInsensitive) != 0)
                continue;
            const QStringList keywords = attribute(tag, QStringLiteral("content"))
                                             .split(QRegularExpression(QStringLiteral("[,、]")));
            for (const QString& keyword : keywords)
                if (!keyword.trimmed().isEmpty())
                    topics.append({keyword.trimmed(), page, title.isEmpty() ? page : title});
        }
    }
    std::sort(topics.begin(), topics.end(), [](const HelpTopic& a, const HelpTopic& b) {
        const int byKeyword = QString::localeAwareCompare(a.keyword, b.keyword);
        return byKeyword != 0 ? byKeyword < 0 : a.title < b.title;
    });
    return topics;
}

HelpViewer::HelpViewer(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("HelpViewer"));
    setWindowTitle(QStringLiteral("Lumavex ﾍﾙﾌﾟ"));
    resize(760, 560);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* tools = new QToolBar(this);
    layout->addWidget(tools);

    auto* splitter = new QSplitter(this);
    auto* index = new QWidget(splitter);
    auto* indexLayout = new QVBoxLayout(index);
    indexLayout->setContentsMargins(6, 6, 6, 6);
    auto* prompt = new QLabel(QStringLiteral("キーワードを入力してください"), index);
    m_keywordEdit = new QLineEdit(index);
    m_keywordEdit->setObjectName(QStringLiteral("KeywordEdit"));
    prompt->setBuddy(m_keywordEdit);
    m_keywordList = new QListWidget(index);
    m_keywordList->setObjectName(QStringLiteral("KeywordList"));
    indexLayout->addWidget(prompt);
    indexLayout->addWidget(m_keywordEdit);
    indexLayout->addWidget(m_keywordList, 1);

    m_browser = new QTextBrowser(splitter);
    m_browser->setObjectName(QStringLiteral("HelpBrowser"));
    m_browser->setOpenExternalLinks(true);
    splitter->addWidget(index);
    splitter->addWidget(m_browser);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({200, 560});
    layout->addWidget(splitter, 1);

    QAction* contents = tools->addAction(QStringLiteral("目次"));
    connect(contents, &QAction::triggered, this, [this] {
        if (!m_folder.isEmpty())
            m_browser->setSource(QUrl::fromLocalFile(QDir(m_folder).filePath("index.html")));
    });
    QAction* back = tools->addAction(QStringLiteral("戻る"));
    back->setEnabled(false);
    connect(back, &QAction::triggered, m_browser, &QTextBrowser::backward);
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    QAction* forward = tools->addAction(QStringLiteral("進む"));
    forward->setEnabled(false);
    connect(forward, &QAction::triggered, m_browser, &QTextBrowser::forward);
    connect(m_browser, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);

    connect(m_keywordEdit, &QLineEdit::textChanged, this, &HelpViewer::filterKeywords);
    connect(m_keywordEdit, &QLineEdit::returnPressed, this, [this] {
        for (int row = 0; row < m_keywordList->count(); ++row)
            if (!m_keywordList->item(row)->isHidden()) {
                openTopic(row);
                return;
            }
    });
    connect(m_keywordList, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { openTopic(m_keywordList->row(item)); });
    connect(m_keywordList, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { openTopic(m_keywordList->row(item)); });
}

void HelpViewer::showPage(const QString& folder, const QString& page)
{
    const QString path = QDir(folder).filePath(page);
    if (!QFileInfo(path).isFile())
        throw Error(ErrorKind::File,
                    "ﾍﾙﾌﾟ '" + QDir::toNativeSeparators(path).toStdString() + "' が見つかりません");
    loadIndex(folder);
    m_browser->setSource(QUrl::fromLocalFile(path));
    show();
    raise();
    activateWindow();
}

void HelpViewer::showSearch(const QString& folder)
{
    showPage(folder, QStringLiteral("index.html"));
    m_keywordEdit->clear();
    filterKeywords(QString());
    m_keywordEdit->setFocus();
}

void HelpViewer::loadIndex(const QString& folder)
{
    m_folder = folder;
    m_topics = helpKeywords(folder);
    m_keywordList->clear();
    for (int i = 0; i < m_topics.size(); ++i) {
        const HelpTopic& topic = m_topics[i];
        // A keyword of several pages names each page beside it.
        const bool shared = (i > 0 && m_topics[i - 1].keyword == topic.keyword) ||
                            (i + 1 < m_topics.size() && m_topics[i + 1].keyword == topic.keyword);
        m_keywordList->addItem(shared ? topic.keyword + QStringLiteral(" － ") + topic.title
                                      : topic.keyword);
    }
    filterKeywords(m_keywordEdit->text());
}

// Like the help system's partial-key search: every keyword that starts with the typed text,
// whatever its case.
void HelpViewer::filterKeywords(const QString& text)
{
    const QString key = text.trimmed();
    for (int row = 0; row < m_keywordList->count(); ++row)
        m_keywordList->item(row)->setHidden(
            !m_topics[row].keyword.startsWith(key, Qt::CaseInsensitive));
}

void HelpViewer::openTopic(int row)
{
    if (row < 0 || row >= m_topics.size())
        return;
    m_browser->setSource(QUrl::fromLocalFile(QDir(m_folder).filePath(m_topics[row].page)));
}

}  // namespace lumavex
