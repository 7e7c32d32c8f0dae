#pragma once

#include <QList>
#include <QToolBar>

class ClickableLabel;
class QAction;
class QCheckBox;
class QComboBox;
class QLabel;

// The main window's tool bar: the leading actions it is given (null: a separator), then
// " IP Address: " with the device box, the device list action, "View Full OID", the status
// text (shown only while there is some) and the logo at the right end. Icons of 32 or 64
// pixels, texts at 1.2 times the normal size.
class MainToolBar final : public QToolBar
{
    Q_OBJECT

public:
    MainToolBar(const QList<QAction*>& leading, QAction* deviceListAction, QWidget* parent = nullptr);

    QComboBox* deviceBox() const { return m_deviceBox; }
    QCheckBox* viewFullOid() const { return m_viewFullOid; }
    ClickableLabel* logo() const { return m_logo; }

    void setStatusText(const QString& text);
    QString statusText() const;
    // Sizes the logo to the label's height, once the window is laid out.
    void showLogo();

private:
    QLabel* m_ipLabel;
    QComboBox* m_deviceBox;
    QCheckBox* m_viewFullOid;
    QLabel* m_statusLabel;
    QAction* m_statusAction = nullptr;
    ClickableLabel* m_logo;
};
