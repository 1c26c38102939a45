#include "ui/output_folder_check.h"

#include "combine/api/output_folder_check.h"

namespace tessara
{

QString
OutputFolderQuestion(const QString& directory, const QStringList& inputs, CombineSettings settings)
{
    settings.input_files.clear();
    for (const QString& input : inputs)
        settings.input_files.push_back(input.toStdString());
    const std::string text = DescribeOutputFolder(
        directory.toStdString(), CheckOutputFolder(settings, directory.toStdString()));
    if (text.empty())
        return {};
    return QString::fromStdString(text) + " Start the job anyway?";
}

} // namespace tessara
