// The log window and the help window.
#include "tests/ui/ui_test_support.h"
#include "ui/processing_help.h"
#include "ui/processing_log.h"

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBrowser>
#include <QtTest>

namespace tessara::test
{
namespace
{

void WritePage(const TempDir& dir, const char* name, const QByteArray& html)
{
    QFile file(QString::fromStdString(dir.File(name)));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(html);
}

QString PageName(const QTextBrowser& browser)
{
    return QFileInfo(browser.source().toLocalFile()).fileName();
}

} // namespace

class TestLogHelp : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_dir = std::make_unique<TempDir>();
        WritePage(*m_dir,
                  "Tessara Files.htm",
                  "<html><body><h1>Start</h1><a href=\"two.htm\">two</a></body></html>");
        WritePage(*m_dir, "two.htm", "<html><body><h1>Two</h1></body></html>");
    }
    void cleanup() { m_dir.reset(); }

    void log_window_flags_and_hide_button();
    void log_appends_to_what_the_box_holds();
    void log_follows_new_lines_unless_scrolled_up();
    void help_back_and_forward_over_two_pages();
    void help_after_exit_shows_the_last_page();
    void missing_help_page_names_the_path();
    void installed_help_is_found_beside_bin();

private:
    std::unique_ptr<TempDir> m_dir;
};

void TestLogHelp::log_window_flags_and_hide_button()
{
    processing_log log;
    QCOMPARE(log.windowTitle(), QString("processing_log"));
    QVERIFY(log.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(!log.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    QCOMPARE(log.button_hide->text(), QString("Hide Window"));
    log.Append("kept\r\n");
    log.show();
    QTest::mouseClick(log.button_hide, Qt::LeftButton);
    QVERIFY(!log.isVisible());
    QCOMPARE(log.Text(), QString("kept\r\n"));
}

void TestLogHelp::log_appends_to_what_the_box_holds()
{
    processing_log log;
    log.Append("\r\n\r\n\r\nProcessing file /a.sgy\r\n");
    log.Append("\tNumber of samples = ");
    log.Append("16\r\n");
    QCOMPARE(log.Text(),
             QString("\r\n\r\n\r\nProcessing file /a.sgy\r\n\tNumber of samples = 16\r\n"));
    // The user edits the text; the job goes on appending at its end.
    log.textBox_log->setPlainText("edited");
    log.Append(" then more\r\n");
    QCOMPARE(log.Text(), QString("edited then more\r\n"));
    log.Clear();
    QVERIFY(log.Text().isEmpty());
}

void TestLogHelp::log_follows_new_lines_unless_scrolled_up()
{
    processing_log log;
    log.resize(400, 200);
    log.show();
    QVERIFY(QTest::qWaitForWindowExposed(&log));
    QScrollBar* bar = log.textBox_log->verticalScrollBar();
    for (int k = 0; k < 200; ++k)
        log.Append("line " + std::to_string(k) + "\r\n");
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());
    // Scrolled up to read: new lines leave the view where it is.
    bar->setValue(10);
    log.Append("more\r\n");
    QCOMPARE(bar->value(), 10);
    // Back at the end: it follows again.
    bar->setValue(bar->maximum());
    log.Append("and more\r\n");
    QCOMPARE(bar->value(), bar->maximum());
}

void TestLogHelp::help_back_and_forward_over_two_pages()
{
    const QString dir = QString::fromStdString(m_dir->Path().string());
    processing_help help(dir, "Tessara Files.htm", "Tessara Ver 1.0");
    QCOMPARE(help.windowTitle(), QString("Help : Tessara Ver 1.0"));
    QCOMPARE(help.helpdoc(), QDir(dir).filePath("Tessara Files.htm"));
    QCOMPARE(PageName(*help.webBrowser1), QString("Tessara Files.htm"));
    // On the first page "<<" does nothing.
    QTest::mouseClick(help.button2, Qt::LeftButton);
    QCOMPARE(PageName(*help.webBrowser1), QString("Tessara Files.htm"));
    // Following the link, as a click on it does.
    help.webBrowser1->setSource(help.webBrowser1->source().resolved(QUrl("two.htm")));
    QCOMPARE(PageName(*help.webBrowser1), QString("two.htm"));
    QTest::mouseClick(help.button2, Qt::LeftButton);
    QCOMPARE(PageName(*help.webBrowser1), QString("Tessara Files.htm"));
    QTest::mouseClick(help.button3, Qt::LeftButton);
    QCOMPARE(PageName(*help.webBrowser1), QString("two.htm"));
    QTest::mouseClick(help.button3, Qt::LeftButton); // no later page
    QCOMPARE(PageName(*help.webBrowser1), QString("two.htm"));
    QVERIFY(help.webBrowser1->toPlainText().contains("Two"));
}

void TestLogHelp::help_after_exit_shows_the_last_page()
{
    WindowUnderTest ui(QString::fromStdString(m_dir->Path().string()));
    processing_help* help = ui.window->phelp;
    QVERIFY(!help->isVisible());
    QTest::mouseClick(ui.window->button_help, Qt::LeftButton);
    QVERIFY(help->isVisible());
    help->webBrowser1->setSource(help->webBrowser1->source().resolved(QUrl("two.htm")));
    QTest::mouseClick(help->button4, Qt::LeftButton);
    QVERIFY(!help->isVisible());
    QTest::mouseClick(ui.window->button_help, Qt::LeftButton);
    QVERIFY(help->isVisible());
    QCOMPARE(PageName(*help->webBrowser1), QString("two.htm"));
    QVERIFY(help->webBrowser1->isBackwardAvailable());
}

void TestLogHelp::missing_help_page_names_the_path()
{
    TempDir empty;
    WindowUnderTest ui(QString::fromStdString(empty.Path().string()));
    QTest::mouseClick(ui.window->button_help, Qt::LeftButton);
    const QString text = ui.window->phelp->webBrowser1->toPlainText();
    QVERIFY(text.contains("Help page not found"));
    QVERIFY(text.contains(QString::fromStdString(empty.File("Tessara Files.htm"))));
    // The program goes on: the other windows work.
    QTest::mouseClick(ui.window->button3, Qt::LeftButton);
    QVERIFY(ui.window->plog->isVisible());
}

void TestLogHelp::installed_help_is_found_beside_bin()
{
    TempDir prefix;
    QDir root(QString::fromStdString(prefix.Path().string()));
    QVERIFY(root.mkpath("bin") && root.mkpath("share/tessara"));
    QFile page(root.filePath("share/tessara/Tessara Files.htm"));
    QVERIFY(page.open(QIODevice::WriteOnly));
    page.write("<html><body>installed</body></html>");
    page.close();
    QCOMPARE(QDir(HelpDirectory(root.filePath("bin"))).canonicalPath(),
             QDir(root.filePath("share/tessara")).canonicalPath());
    // Pages next to the program win.
    QCOMPARE(HelpDirectory(QString::fromStdString(m_dir->Path().string())),
             QString::fromStdString(m_dir->Path().string()));
}

QObject* NewLogHelpTest()
{
    return new TestLogHelp;
}

} // namespace tessara::test

#include "test_log_help.moc"
