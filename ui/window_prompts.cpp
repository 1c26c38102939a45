#include "ui/window_prompts.h"

#include <QFileDialog>
#include <QMessageBox>

namespace tessara
{

QStringList CDialogPrompts::ChooseFiles(QWidget* parent,
                                        const QString& title,
                                        const QString& filter,
                                        const QString& startDirectory)
{
    // The first entry of the filter is preselected.
    return QFileDialog::getOpenFileNames(parent, title, startDirectory, filter);
}

QString CDialogPrompts::ChooseDirectory(QWidget* parent,
                                        const QString& description,
                                        const QString& startDirectory)
{
    return QFileDialog::getExistingDirectory(parent, description, startDirectory);
}

QString CDialogPrompts::ChooseFile(
    QWidget* parent, const QString& title, const QString& filter, const QString& start, bool save)
{
    return save ? QFileDialog::getSaveFileName(parent, title, start, filter)
                : QFileDialog::getOpenFileName(parent, title, start, filter);
}

void CDialogPrompts::ShowMessage(QWidget* parent, const QString& text)
{
    QMessageBox::information(parent, QStringLiteral("Tessara Files"), text);
}

bool CDialogPrompts::Ask(QWidget* parent, const QString& question)
{
    return QMessageBox::question(parent, QStringLiteral("Tessara Files"), question) ==
           QMessageBox::Yes;
}

} // namespace tessara
