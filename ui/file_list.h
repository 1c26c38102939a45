// What the window's lists of files share.
#pragma once

class QListWidget;

namespace tessara
{

/// Takes the selected rows out of `list`, from the last up, so that a
/// removal does not move the rows still to go.
void RemoveSelectedRows(QListWidget& list);

} // namespace tessara
