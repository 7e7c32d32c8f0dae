#pragma once

#include "ui/widgets/UserPrompts.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>

// Prompts that answer from a script and record what was asked. Installed for its
// lifetime. A prompt with no scripted answer gets the default button (or the first of
// its buttons, or an empty file name); a choice gets its default.
class ScriptedPrompts : public UserPrompts
{
public:
    struct Asked
    {
        QString kind; // "warning", "information", "question", "critical", "rich", "save"
        QString title;
        QString text;
    };

    ScriptedPrompts();
    ~ScriptedPrompts() override;

    void answer(QMessageBox::StandardButton button) { buttons.enqueue(button); }
    void answerFile(const QString& path) { files.enqueue(path); }

    QList<Asked> asked;
    QQueue<QMessageBox::StandardButton> buttons;
    QQueue<QString> files;

    QMessageBox::StandardButton message(QMessageBox::Icon kind, QWidget* parent, const QString& title,
                                        const QString& text, QMessageBox::StandardButtons offered,
                                        QMessageBox::StandardButton defaultButton) override;
    int choice(QMessageBox::Icon kind, QWidget* parent, const QString& title, const QString& text,
               const QStringList& offered, int defaultIndex, int escapeIndex) override;
    void richInformation(QWidget* parent, const QString& title, const QString& html, const QPixmap& icon) override;
    QString saveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter) override;
};
