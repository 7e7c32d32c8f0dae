#include "UserPrompts.h"

#include <QFileDialog>

namespace {

UserPrompts* installed = nullptr;

} // namespace

UserPrompts::~UserPrompts() = default;

UserPrompts& UserPrompts::instance()
{
    static DialogPrompts dialogs;
    return installed ? *installed : dialogs;
}

void UserPrompts::setInstance(UserPrompts* prompts)
{
    installed = prompts;
}

QMessageBox::StandardButton DialogPrompts::warning(QWidget* parent, const QString& title, const QString& text,
                                                   QMessageBox::StandardButtons buttons,
                                                   QMessageBox::StandardButton defaultButton)
{
    return QMessageBox::warning(parent, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton DialogPrompts::information(QWidget* parent, const QString& title, const QString& text,
                                                       QMessageBox::StandardButtons buttons,
                                                       QMessageBox::StandardButton defaultButton)
{
    return QMessageBox::information(parent, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton DialogPrompts::question(QWidget* parent, const QString& title, const QString& text,
                                                    QMessageBox::StandardButtons buttons,
                                                    QMessageBox::StandardButton defaultButton)
{
    return QMessageBox::question(parent, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton DialogPrompts::critical(QWidget* parent, const QString& title, const QString& text,
                                                    QMessageBox::StandardButtons buttons,
                                                    QMessageBox::StandardButton defaultButton)
{
    return QMessageBox::critical(parent, title, text, buttons, defaultButton);
}

void DialogPrompts::richInformation(QWidget* parent, const QString& title, const QString& html, const QPixmap& icon)
{
    QMessageBox box(parent);
    box.setWindowTitle(title);
    box.setTextFormat(Qt::RichText);
    box.setText(html);
    box.setIconPixmap(icon);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

QString DialogPrompts::saveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, caption, dir, filter);
}

QString DialogPrompts::openFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QStringList DialogPrompts::openFileNames(QWidget* parent, const QString& caption, const QString& dir,
                                         const QString& filter)
{
    return QFileDialog::getOpenFileNames(parent, caption, dir, filter);
}
