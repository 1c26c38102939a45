// What a job would fold back in or write over in the output folder it is
// given: inputs of its own list, and composites of an earlier job over the
// same recording time.
#pragma once

#include "combine/api/combine_settings.h"

#include <QString>
#include <QStringList>

namespace tessara
{

/// The inputs that lie in `directory` itself (not in a folder below it).
[[nodiscard]] QStringList InputsInFolder(const QString& directory, const QStringList& inputs);

/// The files in `directory` named as this job names its outputs
/// (Expedition_..._DDD_HHMM_to_DDD_HHMM[_SC...m][_n].sgy with the name texts
/// of `settings`) whose time span, to the minute, meets the span of the
/// inputs' first traces (time correction added). File names, sorted.
[[nodiscard]] QStringList EarlierOutputsInFolder(const QString& directory,
                                                 const QStringList& inputs,
                                                 const CombineSettings& settings);

/// The question to ask before a job into `directory`, naming what is there;
/// empty when there is nothing to ask.
[[nodiscard]] QString OutputFolderQuestion(const QString& directory,
                                           const QStringList& inputs,
                                           const CombineSettings& settings);

} // namespace tessara
