// The question the window asks before a job into an output folder that
// holds inputs of the job or composites of an earlier job over the same time.
#pragma once

#include "combine/api/combine_settings.h"

#include <QString>
#include <QStringList>

namespace tessara
{

/// The question to ask before a job with `settings` over `inputs` into
/// `directory`, naming what is there; empty when there is nothing to ask.
[[nodiscard]] QString
OutputFolderQuestion(const QString& directory, const QStringList& inputs, CombineSettings settings);

} // namespace tessara
