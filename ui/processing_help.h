// The help window: the program's help pages in a browser with back and
// forward history, loaded once when the main window is built.
#pragma once

#include <QString>
#include <QWidget>

class QPushButton;
class QTextBrowser;

namespace tessara
{

/// Name of the help start page.
inline const QString kHelpFileName = QStringLiteral("Tessara Files.htm");

/// Where the help pages are: next to the program when they are there (the
/// build tree, a portable copy), else the installed share/tessara folder
/// beside the program's bin folder; `programDirectory` when neither holds them.
[[nodiscard]] QString HelpDirectory(const QString& programDirectory);

class processing_help : public QWidget
{
    Q_OBJECT
public:
    /// Loads `directory`/`fileName` at once, hidden; the title is "Help : "
    /// and `version`. A missing page shows a page that names the path.
    processing_help(const QString& directory,
                    const QString& fileName,
                    const QString& version,
                    QWidget* parent = nullptr);

    [[nodiscard]] const QString& helpdoc() const { return m_helpdoc; }

    QTextBrowser* webBrowser1;
    QPushButton* button2; ///< "<<"
    QPushButton* button3; ///< ">>"
    QPushButton* button4; ///< "Exit"

private:
    QString m_helpdoc;
};

} // namespace tessara
