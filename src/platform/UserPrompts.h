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

    virtual QMessageBox::StandardButton warning(QWidget* parent, const QString& title, const QString& text,
                                                QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                                QMessageBox::StandardButton defaultButton = QMessageBox::NoButton) = 0;
    virtual QMessageBox::StandardButton
    information(QWidget* parent, const QString& title, const QString& text,
                QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                QMessageBox::StandardButton defaultButton = QMessageBox::NoButton) = 0;
    virtual QMessageBox::StandardButton question(QWidget* parent, const QString& title, const QString& text,
                                                 QMessageBox::StandardButtons buttons = QMessageBox::Yes |
                                                                                        QMessageBox::No,
                                                 QMessageBox::StandardButton defaultButton = QMessageBox::NoButton) = 0;
    virtual QMessageBox::StandardButton critical(QWidget* parent, const QString& title, const QString& text,
                                                 QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                                 QMessageBox::StandardButton defaultButton = QMessageBox::NoButton) = 0;

    // A rich-text box with its own icon pixmap and one OK button (the About box).
    virtual void richInformation(QWidget* parent, const QString& title, const QString& html, const QPixmap& icon) = 0;

    // File dialogs; an empty result (or list) means the user cancelled.
    virtual QString saveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                 const QString& filter) = 0;
    virtual QString openFileName(QWidget* parent, const QString& caption, const QString& dir,
                                 const QString& filter) = 0;
    virtual QStringList openFileNames(QWidget* parent, const QString& caption, const QString& dir,
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
    QMessageBox::StandardButton warning(QWidget* parent, const QString& title, const QString& text,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton) override;
    QMessageBox::StandardButton information(QWidget* parent, const QString& title, const QString& text,
                                            QMessageBox::StandardButtons buttons,
                                            QMessageBox::StandardButton defaultButton) override;
    QMessageBox::StandardButton question(QWidget* parent, const QString& title, const QString& text,
                                         QMessageBox::StandardButtons buttons,
                                         QMessageBox::StandardButton defaultButton) override;
    QMessageBox::StandardButton critical(QWidget* parent, const QString& title, const QString& text,
                                         QMessageBox::StandardButtons buttons,
                                         QMessageBox::StandardButton defaultButton) override;
    void richInformation(QWidget* parent, const QString& title, const QString& html, const QPixmap& icon) override;
    QString saveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter) override;
    QString openFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter) override;
    QStringList openFileNames(QWidget* parent, const QString& caption, const QString& dir,
                              const QString& filter) override;
};
