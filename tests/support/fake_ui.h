#pragma once
// Answers the editor's message boxes and dialogs in Qt tests, and records what was asked.

#include <QList>
#include <QStringList>

#include <optional>

#include "dialogs/ui_services.h"

namespace lumavex::test {

struct Question {
    QString caption;
    QString text;
    QMessageBox::StandardButtons buttons;
};

class FakeUi : public UiServices {
public:
    FakeUi() { UiServices::install(this); }
    ~FakeUi() override { UiServices::install(nullptr); }
    FakeUi(const FakeUi&) = delete;
    FakeUi& operator=(const FakeUi&) = delete;

    QMessageBox::StandardButton ask(QWidget*, const QString& caption, const QString& text,
                                    QMessageBox::StandardButtons buttons) override
    {
        questions.append({caption, text, buttons});
        return answers.isEmpty() ? QMessageBox::Cancel : answers.takeFirst();
    }
    void showError(QWidget*, const QString& message) override { errors << message; }
    void showMessage(QWidget*, const QString& text) override { messages << text; }
    std::optional<QColor> chooseColor(QWidget*, const QColor&) override
    {
        if (colors.isEmpty())
            return std::nullopt;
        return colors.takeFirst();
    }
    std::optional<QFont> chooseFont(QWidget*, const QFont&) override { return std::nullopt; }
    QString openFileName(QWidget*, const QString& filter) override
    {
        filters << filter;
        return openNames.isEmpty() ? QString() : openNames.takeFirst();
    }
    QString saveFileName(QWidget*, const QString& filter) override
    {
        filters << filter;
        return saveNames.isEmpty() ? QString() : saveNames.takeFirst();
    }
    QString chooseFolder(QWidget*, const QString&) override
    {
        return folderNames.isEmpty() ? QString() : folderNames.takeFirst();
    }
    bool printSetup(QWidget*, QPrinter&) override
    {
        ++printSetups;
        return false;
    }
    std::optional<int> askQuality(QWidget*, const QString& format, int initial,
                                  bool* lossless) override
    {
        qualityAsked << initial;
        qualityFormats << format;
        if (lossless && !losslessAnswers.isEmpty())
            *lossless = losslessAnswers.takeFirst();
        if (qualities.isEmpty())
            return std::nullopt;
        return qualities.takeFirst();
    }

    QList<QMessageBox::StandardButton> answers;  ///< given in turn; Cancel when used up
    QStringList openNames;                       ///< chosen in the open dialog, in turn
    QStringList saveNames;                       ///< chosen in the save dialog, in turn
    QStringList folderNames;                     ///< chosen in the folder chooser, in turn
    QList<QColor> colors;                        ///< chosen in the colour dialog; else cancelled
    QList<int> qualities;                        ///< JPEG qualities given; else cancelled
    QList<int> qualityAsked;                     ///< the quality each question started at
    QStringList qualityFormats;                  ///< the format each question was about
    QList<bool> losslessAnswers;                 ///< the answers to WebP's lossless question
    QList<Question> questions;
    QStringList errors;
    QStringList messages;
    QStringList filters;
    int printSetups = 0;
};

}  // namespace lumavex::test
