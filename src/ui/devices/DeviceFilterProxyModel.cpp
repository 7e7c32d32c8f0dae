#include "ui/devices/DeviceFilterProxyModel.h"

DeviceFilterProxyModel::DeviceFilterProxyModel(QObject* parent)
    : QSortFilterProxyModel(parent)
{
    setSortRole(SortRole);
}

DeviceFilterProxyModel::~DeviceFilterProxyModel() = default;

void DeviceFilterProxyModel::setOnlyDuplicates(bool on)
{
    if (on == m_onlyDuplicates)
        return;
    m_onlyDuplicates = on;
    invalidateFilter();
}

bool DeviceFilterProxyModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    return !m_onlyDuplicates || sourceModel()->index(sourceRow, 0, sourceParent).data(DuplicateRole).toBool();
}
