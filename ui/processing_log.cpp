#include "ui/processing_log.h"

#include "ui/app_icon.h"
#include "ui/child_window.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

namespace tessara
{

processing_log::processing_log(QWidget* parent)
    : QWidget(parent,
              // On top of the desktop while visible, and no title-bar buttons:
              // it is hidden only with "Hide Window" or "Toggle Log".
              Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint)
{
    setObjectName("processing_log");
    setWindowTitle("processing_log");
    setWindowIcon(AppIcon());
    textBox_log = new QPlainTextEdit(this);
    textBox_log->setObjectName("textBox_log");
    textBox_log->setLineWrapMode(QPlainTextEdit::NoWrap);
    textBox_log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    textBox_log->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Lines of the job start with a tab: eight blanks wide, as in a terminal.
    textBox_log->setTabStopDistance(8 * textBox_log->fontMetrics().horizontalAdvance(QChar(0x20)));
    button_hide = new QPushButton("Hide Window", this);
    button_hide->setObjectName("button_hide");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(textBox_log, 1);
    layout->addWidget(button_hide);
    resize(640, 480);
    connect(button_hide, &QPushButton::clicked, this, &QWidget::hide);
    PressOnEnter(*this);
}

void processing_log::Clear()
{
    textBox_log->clear();
}

void processing_log::Append(std::string_view text)
{
    // Inserting at the end through a cursor keeps what the user has selected
    // or is editing, unlike appendPlainText, which also starts a new line.
    // The view follows new lines only while it shows the end: a user who
    // scrolled up to read stays where they are.
    QScrollBar* bar = textBox_log->verticalScrollBar();
    const bool following = bar->value() >= bar->maximum();
    QTextCursor cursor(textBox_log->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    if (following)
        bar->setValue(bar->maximum());
}

QString processing_log::Text() const
{
    QString text = textBox_log->toPlainText();
    text.replace('\n', "\r\n");
    return text;
}

} // namespace tessara
