// The modal questions the windows ask: file and folder choosers and message
// boxes. They go through this interface so that tests can answer them.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace tessara
{

class IWindowPrompts
{
public:
    virtual ~IWindowPrompts() = default;

    /// Full paths of the files the user chose, in the chooser's order;
    /// empty when the user cancelled. `filter` in Qt's "Name (*.ext);;..."
    /// form; the chooser opens at `startDirectory`.
    [[nodiscard]] virtual QStringList ChooseFiles(QWidget* parent,
                                                  const QString& title,
                                                  const QString& filter,
                                                  const QString& startDirectory) = 0;

    /// The folder the user chose, opening at `startDirectory`; empty on cancel.
    [[nodiscard]] virtual QString
    ChooseDirectory(QWidget* parent, const QString& description, const QString& startDirectory) = 0;

    /// The full path of one file the user chose to open, or with `save` to
    /// write (the platform asks before replacing one); empty on cancel. The
    /// chooser opens at `start`, a folder or a file. This default cancels,
    /// for prompts that never offer it.
    [[nodiscard]] virtual QString ChooseFile(QWidget* /*parent*/,
                                             const QString& /*title*/,
                                             const QString& /*filter*/,
                                             const QString& /*start*/,
                                             bool /*save*/)
    {
        return {};
    }

    /// A modal message box with an OK button.
    virtual void ShowMessage(QWidget* parent, const QString& text) = 0;

    /// A modal question; true when the user answers yes.
    [[nodiscard]] virtual bool Ask(QWidget* parent, const QString& question) = 0;
};

/// The platform's own choosers and message boxes.
class CDialogPrompts : public IWindowPrompts
{
public:
    [[nodiscard]] QStringList ChooseFiles(QWidget* parent,
                                          const QString& title,
                                          const QString& filter,
                                          const QString& startDirectory) override;
    [[nodiscard]] QString ChooseDirectory(QWidget* parent,
                                          const QString& description,
                                          const QString& startDirectory) override;
    [[nodiscard]] QString ChooseFile(QWidget* parent,
                                     const QString& title,
                                     const QString& filter,
                                     const QString& start,
                                     bool save) override;
    void ShowMessage(QWidget* parent, const QString& text) override;
    [[nodiscard]] bool Ask(QWidget* parent, const QString& question) override;
};

} // namespace tessara
