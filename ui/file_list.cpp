#include "ui/file_list.h"

#include <QItemSelectionModel>
#include <QList>
#include <QListWidget>

#include <algorithm>

namespace tessara
{

void RemoveSelectedRows(QListWidget& list)
{
    QList<int> rows;
    for (const QModelIndex& index : list.selectionModel()->selectedIndexes())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    for (auto it = rows.crbegin(); it != rows.crend(); ++it)
        delete list.takeItem(*it);
}

} // namespace tessara
