#include "ui/processing_help.h"

#include "ui/app_icon.h"
#include "ui/child_window.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace tessara
{

QString HelpDirectory(const QString& programDirectory)
{
    const QDir program(programDirectory);
    if (QFileInfo::exists(program.filePath(kHelpFileName)))
        return programDirectory;
    const QString installed = QDir::cleanPath(program.filePath(TESSARA_HELP_FROM_BIN));
    if (QFileInfo::exists(QDir(installed).filePath(kHelpFileName)))
        return installed;
    return programDirectory;
}

processing_help::processing_help(const QString& directory,
                                 const QString& fileName,
                                 const QString& version,
                                 QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName("processing_help");
    setWindowTitle("Help : " + version);
    setWindowIcon(AppIcon());

    button2 = new QPushButton("<<", this);
    button2->setObjectName("button2");
    button3 = new QPushButton(">>", this);
    button3->setObjectName("button3");
    button4 = new QPushButton("Exit", this);
    button4->setObjectName("button4");
    webBrowser1 = new QTextBrowser(this);
    webBrowser1->setObjectName("webBrowser1");
    webBrowser1->setOpenExternalLinks(true); // web links go to the desktop's browser

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(button2);
    buttons->addWidget(button3);
    buttons->addStretch(1);
    buttons->addWidget(button4);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(webBrowser1, 1);
    resize(760, 600);

    connect(button2, &QPushButton::clicked, webBrowser1, &QTextBrowser::backward);
    connect(button3, &QPushButton::clicked, webBrowser1, &QTextBrowser::forward);
    connect(button4, &QPushButton::clicked, this, &QWidget::hide);
    // Escape does what the window's own closing button does.
    CloseOnEscape(*this, [this] { button4->click(); });
    PressOnEnter(*this);

    m_helpdoc = QDir(directory).filePath(fileName);
    if (QFileInfo(m_helpdoc).isReadable()) {
        webBrowser1->setSource(QUrl::fromLocalFile(m_helpdoc));
    } else {
        // The browser alone would show an empty page; say what is missing.
        webBrowser1->setHtml("<h2>Help page not found</h2><p>The help page <b>" +
                             m_helpdoc.toHtmlEscaped() +
                             "</b> cannot be read. The program works without it.</p>");
    }
}

} // namespace tessara
