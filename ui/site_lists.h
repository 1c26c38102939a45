// The drop-down lists of the four name elements of the main window: the
// built-in entries, plus any a site adds in text files (one entry a line) in
// the user's configuration folder: expeditions.txt, instruments.txt,
// datatypes.txt and transducers.txt.
#pragma once

#include <QString>
#include <QStringList>

namespace tessara
{

struct SiteLists {
    QStringList expeditions; ///< character-code order; none built in
    QStringList dataTypes;   ///< built-in order, then the site's additions
    QStringList instruments; ///< character-code order
    QStringList transducers; ///< the site's, in file order; none built in
};

/// The built-in lists with the entries of the files in `configDirectory`
/// added. A missing or unreadable file adds nothing; blank lines and entries
/// already listed are skipped, and surrounding blanks are trimmed.
[[nodiscard]] SiteLists LoadSiteLists(const QString& configDirectory);

} // namespace tessara
