#pragma once

// Helpers of the dialog tests: finding controls, answering modal windows and the colour
// dialog, and a SANE configuration of the test's own.

#include <QApplication>
#include <QColor>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <vector>

#include "dialogs/ui_services.h"

namespace lumavex::test {

/// A control of a dialog by its objectName and type, or null.
template <typename T>
T* child(QWidget& parent, const char* name)
{
    return parent.findChild<T*>(QString::fromLatin1(name));
}

/// Points SANE at a configuration in folder whose dll.conf loads the backends listed, one a
/// line (none: SANE knows no scanner). No system file is read or changed. False when the
/// folder or the file cannot be made.
inline bool useSaneBackends(const QTemporaryDir& folder, const QByteArray& backends)
{
    if (!folder.isValid())
        return false;
    QFile conf(folder.filePath(QStringLiteral("dll.conf")));
    if (!conf.open(QIODevice::WriteOnly) || conf.write(backends) != backends.size())
        return false;
    conf.close();
    qputenv("SANE_CONFIG_DIR", QFile::encodeName(folder.path()));
    return true;
}

/// Runs an action on the first modal widget of type T that appears and is active, polling every
/// 10 ms. The timer stops itself after the action, or after five seconds without one (then
/// fired() stays false and the test can say so).
template <typename T>
class ModalAnswer {
public:
    explicit ModalAnswer(std::function<void(T*)> action) : m_action(std::move(action))
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (++m_ticks > 500) {
                m_timer.stop();
                return;
            }
            // Focus moves and key presses only reach a window that is active.
            auto* widget = qobject_cast<T*>(QApplication::activeModalWidget());
            if (widget && widget->isActiveWindow()) {
                m_timer.stop();
                m_fired = true;
                m_action(widget);
            }
        });
        m_timer.start();
    }
    bool fired() const { return m_fired; }

private:
    std::function<void(T*)> m_action;
    QTimer m_timer;
    int m_ticks = 0;
    bool m_fired = false;
};

/// Dialog services that answer without a window: the colour dialog and the font dialog give
/// the queued answers (an empty one is a cancel) and record what they were opened with;
/// messages are recorded.
class ScriptedUi : public UiServices {
public:
    ScriptedUi() { UiServices::install(this); }
    ~ScriptedUi() override { UiServices::install(nullptr); }

    std::vector<std::optional<QColor>> colorAnswers;
    std::vector<QColor> colorRequests;
    std::vector<QString> messages;
    std::vector<std::optional<QFont>> fontAnswers;
    std::vector<QFont> fontRequests;

    QMessageBox::StandardButton ask(QWidget*, const QString&, const QString& text,
                                    QMessageBox::StandardButtons) override
    {
        messages.push_back(text);
        return QMessageBox::Cancel;
    }
    void showError(QWidget*, const QString& message) override { messages.push_back(message); }
    void showMessage(QWidget*, const QString& text) override { messages.push_back(text); }
    std::optional<QColor> chooseColor(QWidget*, const QColor& initial) override
    {
        colorRequests.push_back(initial);
        return nextAnswer(colorAnswers);
    }
    std::optional<QFont> chooseFont(QWidget*, const QFont& initial) override
    {
        fontRequests.push_back(initial);
        return nextAnswer(fontAnswers);
    }
    QString openFileName(QWidget*, const QString&) override { return {}; }
    QString saveFileName(QWidget*, const QString&) override { return {}; }
    QString chooseFolder(QWidget*, const QString&) override { return {}; }
    bool printSetup(QWidget*, QPrinter&) override { return false; }
    std::optional<int> askQuality(QWidget*, const QString&, int, bool*) override
    {
        return std::nullopt;
    }

private:
    // The first queued answer, taken from the queue; a cancel when none is left.
    template <typename T>
    static std::optional<T> nextAnswer(std::vector<std::optional<T>>& answers)
    {
        if (answers.empty())
            return std::nullopt;
        const std::optional<T> answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    }
};

}  // namespace lumavex::test
