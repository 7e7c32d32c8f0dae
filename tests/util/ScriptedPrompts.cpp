#include "ScriptedPrompts.h"

ScriptedPrompts::ScriptedPrompts()
{
    UserPrompts::setInstance(this);
}

ScriptedPrompts::~ScriptedPrompts()
{
    UserPrompts::setInstance(nullptr);
}

QMessageBox::StandardButton ScriptedPrompts::box(const QString& kind, const QString& title, const QString& text,
                                                 QMessageBox::StandardButtons offered,
                                                 QMessageBox::StandardButton defaultButton)
{
    asked.append({kind, title, text});
    if (!buttons.isEmpty())
        return buttons.dequeue();
    if (defaultButton != QMessageBox::NoButton)
        return defaultButton;
    for (int bit = 0; bit < 32; ++bit) {
        const auto button = static_cast<QMessageBox::StandardButton>(1u << bit);
        if (offered.testFlag(button))
            return button;
    }
    return QMessageBox::NoButton;
}

QString ScriptedPrompts::file(const QString& kind, const QString& caption)
{
    asked.append({kind, caption, QString()});
    return files.isEmpty() ? QString() : files.dequeue();
}

QMessageBox::StandardButton ScriptedPrompts::warning(QWidget*, const QString& title, const QString& text,
                                                     QMessageBox::StandardButtons offered,
                                                     QMessageBox::StandardButton defaultButton)
{
    return box(QStringLiteral("warning"), title, text, offered, defaultButton);
}

QMessageBox::StandardButton ScriptedPrompts::information(QWidget*, const QString& title, const QString& text,
                                                         QMessageBox::StandardButtons offered,
                                                         QMessageBox::StandardButton defaultButton)
{
    return box(QStringLiteral("information"), title, text, offered, defaultButton);
}

QMessageBox::StandardButton ScriptedPrompts::question(QWidget*, const QString& title, const QString& text,
                                                      QMessageBox::StandardButtons offered,
                                                      QMessageBox::StandardButton defaultButton)
{
    return box(QStringLiteral("question"), title, text, offered, defaultButton);
}

QMessageBox::StandardButton ScriptedPrompts::critical(QWidget*, const QString& title, const QString& text,
                                                      QMessageBox::StandardButtons offered,
                                                      QMessageBox::StandardButton defaultButton)
{
    return box(QStringLiteral("critical"), title, text, offered, defaultButton);
}

void ScriptedPrompts::richInformation(QWidget*, const QString& title, const QString& html, const QPixmap&)
{
    asked.append({QStringLiteral("rich"), title, html});
}

QString ScriptedPrompts::saveFileName(QWidget*, const QString& caption, const QString&, const QString&)
{
    return file(QStringLiteral("save"), caption);
}

QString ScriptedPrompts::openFileName(QWidget*, const QString& caption, const QString&, const QString&)
{
    return file(QStringLiteral("open"), caption);
}

QStringList ScriptedPrompts::openFileNames(QWidget*, const QString& caption, const QString&, const QString&)
{
    const QString path = file(QStringLiteral("openMany"), caption);
    return path.isEmpty() ? QStringList() : QStringList{path};
}
