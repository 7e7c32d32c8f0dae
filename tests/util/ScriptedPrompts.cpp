#include "ScriptedPrompts.h"

namespace {

QString kindName(QMessageBox::Icon kind)
{
    static const char* const names[] = {"critical", "information", "warning", "critical", "question"};
    return QLatin1String(kind >= 0 && kind < 5 ? names[kind] : "critical");
}

} // namespace

ScriptedPrompts::ScriptedPrompts()
{
    UserPrompts::setInstance(this);
}

ScriptedPrompts::~ScriptedPrompts()
{
    UserPrompts::setInstance(nullptr);
}

QMessageBox::StandardButton ScriptedPrompts::message(QMessageBox::Icon kind, QWidget*, const QString& title,
                                                     const QString& text, QMessageBox::StandardButtons offered,
                                                     QMessageBox::StandardButton defaultButton)
{
    asked.append({kindName(kind), title, text});
    if (!buttons.isEmpty())
        return buttons.dequeue();
    if (defaultButton != QMessageBox::NoButton)
        return defaultButton;
    for (int bit = 0; bit < 32; ++bit) { // the first button offered
        if (offered.testFlag(static_cast<QMessageBox::StandardButton>(1u << bit)))
            return static_cast<QMessageBox::StandardButton>(1u << bit);
    }
    return QMessageBox::NoButton;
}

int ScriptedPrompts::choice(QMessageBox::Icon kind, QWidget*, const QString& title, const QString& text,
                            const QStringList&, int defaultIndex, int)
{
    asked.append({kindName(kind), title, text});
    return defaultIndex;
}

void ScriptedPrompts::richInformation(QWidget*, const QString& title, const QString& html, const QPixmap&)
{
    asked.append({QStringLiteral("rich"), title, html});
}

QString ScriptedPrompts::saveFileName(QWidget*, const QString& caption, const QString&, const QString&)
{
    asked.append({QStringLiteral("save"), caption, QString()});
    return files.isEmpty() ? QString() : files.dequeue();
}
