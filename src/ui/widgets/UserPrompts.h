#pragma once

#include <QMessageBox>
#include <QPixmap>
#include <QString>
#include <QStringList>

class QWidget;

// Every message box and file dialog of the program goes through this one interface, so
// that tests script the user's answers instead of running real modal loops. The program
// uses the process-wide instance; a test installs its own with setInstance.
class UserPrompts
{
public:
    virtual ~UserPrompts();

    // A standard message box of the given kind (warning, information, question, critical).
    virtual QMessageBox::StandardButton message(QMessageBox::Icon kind, QWidget* parent, const QString& title,
                                                const QString& text, QMessageBox::StandardButtons buttons,
                                                QMessageBox::StandardButton defaultButton) = 0;

    QMessageBox::StandardButton warning(QWidget* parent, const QString& title, const QString& text,
                                        QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    QMessageBox::StandardButton information(QWidget* parent, const QString& title, const QString& text,
                                            QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                            QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    QMessageBox::StandardButton question(QWidget* parent, const QString& title, const QString& text,
                                         QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No,
                                         QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    QMessageBox::StandardButton critical(QWidget* parent, const QString& title, const QString& text,
                                         QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                         QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

    // A message box with buttons of its own texts, in order; answers the index of the button
    // chosen, or escapeIndex when the box is closed without one.
    virtual int choice(QMessageBox::Icon kind, QWidget* parent, const QString& title, const QString& text,
                       const QStringList& buttons, int defaultIndex, int escapeIndex) = 0;

    // A rich-text box with its own icon pixmap and one OK button (the About box).
    virtual void richInformation(QWidget* parent, const QString& title, const QString& html, const QPixmap& icon) = 0;

    // The save-file dialog; an empty name means the user cancelled.
    virtual QString saveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                 const QString& filter) = 0;

    // The instance in use: the one installed last, else the real dialogs.
    static UserPrompts& instance();
    // Installs prompts (not owned); nullptr goes back to the real dialogs.
    static void setInstance(UserPrompts* prompts);
};

// The real dialogs.
class DialogPrompts : public UserPrompts
{
public:
    QMessageBox::StandardButton message(QMessageBox::Icon kind, QWidget* parent, const QString& title,
                                        const QString& text, QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton) override;
    int choice(QMessageBox::Icon kind, QWidget* parent, const QString& title, const QString& text,
               const QStringList& buttons, int defaultIndex, int escapeIndex) override;
    void richInformation(QWidget* parent, const QString& title, const QString& html, const QPixmap& icon) override;
    QString saveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter) override;
};
