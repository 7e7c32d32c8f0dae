#include "ui/widgets/UserPrompts.h"

#include <QFileDialog>
#include <QPushButton>

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

QMessageBox::StandardButton UserPrompts::warning(QWidget* parent, const QString& title, const QString& text,
                                                 QMessageBox::StandardButtons buttons,
                                                 QMessageBox::StandardButton defaultButton)
{
    return message(QMessageBox::Warning, parent, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton UserPrompts::information(QWidget* parent, const QString& title, const QString& text,
                                                     QMessageBox::StandardButtons buttons,
                                                     QMessageBox::StandardButton defaultButton)
{
    return message(QMessageBox::Information, parent, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton UserPrompts::question(QWidget* parent, const QString& title, const QString& text,
                                                  QMessageBox::StandardButtons buttons,
                                                  QMessageBox::StandardButton defaultButton)
{
    return message(QMessageBox::Question, parent, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton UserPrompts::critical(QWidget* parent, const QString& title, const QString& text,
                                                  QMessageBox::StandardButtons buttons,
                                                  QMessageBox::StandardButton defaultButton)
{
    return message(QMessageBox::Critical, parent, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton DialogPrompts::message(QMessageBox::Icon kind, QWidget* parent, const QString& title,
                                                   const QString& text, QMessageBox::StandardButtons buttons,
                                                   QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(kind, title, text, buttons, parent);
    box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

int DialogPrompts::choice(QMessageBox::Icon kind, QWidget* parent, const QString& title, const QString& text,
                          const QStringList& buttons, int defaultIndex, int escapeIndex)
{
    QMessageBox box(kind, title, text, QMessageBox::NoButton, parent);
    QList<QAbstractButton*> added;
    for (const QString& button : buttons)
        added.append(box.addButton(button, QMessageBox::ActionRole));
    if (defaultIndex >= 0 && defaultIndex < added.size())
        box.setDefaultButton(qobject_cast<QPushButton*>(added.at(defaultIndex)));
    if (escapeIndex >= 0 && escapeIndex < added.size())
        box.setEscapeButton(added.at(escapeIndex));
    box.exec();
    const int chosen = added.indexOf(box.clickedButton());
    return chosen >= 0 ? chosen : escapeIndex;
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
