#pragma once

#include <QSortFilterProxyModel>

// The device table as shown: sorted by each cell's sort value, and with "only duplicates" on,
// only the rows whose first cell carries a true duplicate mark.
class DeviceFilterProxyModel final : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    static constexpr int SortRole = Qt::UserRole;
    static constexpr int DuplicateRole = Qt::UserRole + 1;

    explicit DeviceFilterProxyModel(QObject* parent = nullptr);
    ~DeviceFilterProxyModel() override;
    Q_DISABLE_COPY_MOVE(DeviceFilterProxyModel)

    bool onlyDuplicates() const { return m_onlyDuplicates; }
    void setOnlyDuplicates(bool on);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    bool m_onlyDuplicates = false;
};
