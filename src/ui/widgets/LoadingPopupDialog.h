#pragma once

#include <QDialog>
#include <QString>

class QLabel;

// A small window-modal box with the spinner and a text, shown while its parent waits for
// something it cannot cancel. Escape does not close it; its owner hides it.
class LoadingPopupDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit LoadingPopupDialog(QWidget* parent);
    ~LoadingPopupDialog() override;
    Q_DISABLE_COPY_MOVE(LoadingPopupDialog)

    void showText(const QString& text);
    QString text() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* m_text;
};
