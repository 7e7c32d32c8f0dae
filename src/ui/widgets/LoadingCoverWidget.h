#pragma once

#include <QFrame>
#include <QString>

class QLabel;

// A half-transparent cover over its parent widget while work runs in the background: the
// spinner and a progress text in the middle. It takes the mouse clicks meant for what it
// covers and follows the parent's size.
class LoadingCoverWidget final : public QFrame
{
    Q_OBJECT

public:
    explicit LoadingCoverWidget(QWidget* covered);
    ~LoadingCoverWidget() override;
    Q_DISABLE_COPY_MOVE(LoadingCoverWidget)

    // Covers the parent (again) with text; setText only changes the text.
    void showText(const QString& text);
    void setText(const QString& text);
    QString text() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* m_text;
};
