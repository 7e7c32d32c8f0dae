#pragma once

#include <QFrame>

class QLabel;

// The busy popup shown while the monitoring service starts or stops: a frameless, window-modal
// panel on top of its parent with a text and, below it, the spinner. Its owner closes it.
class SplashScreen final : public QFrame
{
    Q_OBJECT

public:
    explicit SplashScreen(QWidget* parent);

    void setText(const QString& text);
    QString text() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLabel* m_text;
};
