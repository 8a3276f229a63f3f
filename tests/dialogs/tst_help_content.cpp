// The help pages shipped with the editor: every page reachable from the contents, every link
// and picture present, titles and keywords for the keyword search, text in Japanese.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QTest>

#include "support/qtest_main.h"

namespace {

QString helpFolder()
{
    return QFileInfo(QFINDTESTDATA("../../resources/help/index.html")).absolutePath();
}

QString readPage(const QString& name)
{
    QFile file(QDir(helpFolder()).filePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    return utf8.hasError() ? QString() : text;
}

QStringList attributeValues(const QString& page, const QString& tag, const QString& attribute)
{
    QStringList values;
    const QRegularExpression re(QLatin1Char('<') + tag + QStringLiteral("\\b[^>]*\\b") + attribute +
                                QStringLiteral("=\"([^\"]*)\""));
    for (auto it = re.globalMatch(page); it.hasNext();)
        values << it.next().captured(1);
    return values;
}

bool hasJapanese(const QString& text)
{
    for (const QChar c : text)
        if ((c.unicode() >= 0x3040 && c.unicode() <= 0x30FF) ||
            (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF))
            return true;
    return false;
}

}  // namespace

class TestHelpContent : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(QDir(helpFolder()).filePath(QStringLiteral("index.html"))),
                 qPrintable(helpFolder()));
        m_pages = QDir(helpFolder()).entryList({QStringLiteral("*.html")}, QDir::Files);
        QVERIFY(m_pages.contains(QStringLiteral("howto.html")));
        QVERIFY(m_pages.size() > 30);
    }

    void everyPageHasATitleKeywordsAndJapaneseText()
    {
        for (const QString& name : m_pages) {
            const QString page = readPage(name);
            QVERIFY2(!page.isEmpty(), qPrintable(name + QStringLiteral(": not UTF-8")));
            const QRegularExpression title(QStringLiteral("<title>([^<]+)</title>"));
            QVERIFY2(title.match(page).hasMatch(), qPrintable(name));
            const QRegularExpression keywords(
                QStringLiteral("<meta name=\"keywords\" content=\"([^\"]+)\">"));
            const auto match = keywords.match(page);
            QVERIFY2(match.hasMatch(), qPrintable(name));
            for (const QString& keyword : match.captured(1).split(QLatin1Char(',')))
                QVERIFY2(!keyword.trimmed().isEmpty(), qPrintable(name));
            QVERIFY2(hasJapanese(page), qPrintable(name));
        }
    }

    void everyLinkAndPictureExists()
    {
        const QDir folder(helpFolder());
        for (const QString& name : m_pages) {
            const QString page = readPage(name);
            for (QString href :
                 attributeValues(page, QStringLiteral("a"), QStringLiteral("href"))) {
                href = href.section(QLatin1Char('#'), 0, 0);
                if (href.isEmpty())
                    continue;
                QVERIFY2(!href.contains(QLatin1Char(':')), qPrintable(name + ": " + href));
                QVERIFY2(folder.exists(href), qPrintable(name + ": " + href));
            }
            for (const QString& src :
                 attributeValues(page, QStringLiteral("img"), QStringLiteral("src"))) {
                const QImage picture(folder.filePath(src));
                QVERIFY2(!picture.isNull(), qPrintable(name + ": " + src));
            }
            for (const QString& css :
                 attributeValues(page, QStringLiteral("link"), QStringLiteral("href")))
                QVERIFY2(folder.exists(css), qPrintable(name + ": " + css));
        }
    }

    void theContentsReachEveryPage()
    {
        const QString index = readPage(QStringLiteral("index.html"));
        QSet<QString> listed;
        for (const QString& href :
             attributeValues(index, QStringLiteral("a"), QStringLiteral("href")))
            listed.insert(href.section(QLatin1Char('#'), 0, 0));
        for (const QString& name : m_pages)
            if (name != QLatin1String("index.html"))
                QVERIFY2(listed.contains(name), qPrintable(name));
    }

    void effectPagesGiveTheirUndoLabelAndDefaults_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("AddShadow")
            << "add_shadow.html" << QStringList{"「影付け」", "AddShadowWidth", "10"};
        QTest::newRow("FlameBlur")
            << "flame_blur.html" << QStringList{"「輪郭ぼかし」", "FlameBlurWidth", "30"};
        QTest::newRow("CircleBlur") << "circle_blur.html" << QStringList{"「CircleBlur」"};
        QTest::newRow("Panel") << "panel.html" << QStringList{"「Panel」", "PanelLevel1"};
        QTest::newRow("DropBlurShadow")
            << "drop_blur_shadow.html" << QStringList{"「DropBlurShadow」", "DropBlurX"};
        QTest::newRow("Merge") << "merge.html" << QStringList{"「Marge」", "MargeRate", "50"};
        QTest::newRow("Rotate") << "rotate.html" << QStringList{"「上下反転」"};
        QTest::newRow("Resample") << "resample.html" << QStringList{"「ReSample」"};
        QTest::newRow("Convert") << "convert.html" << QStringList{"「増減色」"};
    }
    void effectPagesGiveTheirUndoLabelAndDefaults()
    {
        QFETCH(QString, page);
        QFETCH(QStringList, texts);
        const QString text = readPage(page);
        for (const QString& t : texts)
            QVERIFY2(text.contains(t), qPrintable(page + ": " + t));
    }

private:
    QStringList m_pages;
};

LUMAVEX_QTEST_MAIN(TestHelpContent)
#include "tst_help_content.moc"
