// Answers to the windows' modal questions, given by the test in advance.
#pragma once

#include "ui/window_prompts.h"

#include <QStringList>

#include <functional>

namespace tessara::test
{

class CScriptedPrompts : public IWindowPrompts
{
public:
    QStringList ChooseFiles(QWidget* /*parent*/,
                            const QString& title,
                            const QString& filter,
                            const QString& startDirectory) override
    {
        fileTitles << title;
        fileFilters << filter;
        fileStarts << startDirectory;
        return files;
    }
    QString ChooseDirectory(QWidget* /*parent*/,
                            const QString& description,
                            const QString& startDirectory) override
    {
        directoryDescriptions << description;
        directoryStarts << startDirectory;
        return directories.isEmpty() ? directory : directories.takeFirst();
    }
    QString ChooseFile(QWidget* /*parent*/,
                       const QString& title,
                       const QString& /*filter*/,
                       const QString& /*start*/,
                       bool /*save*/) override
    {
        fileTitles << title;
        return file;
    }
    void ShowMessage(QWidget* /*parent*/, const QString& text) override { messages << text; }
    bool Ask(QWidget* /*parent*/, const QString& question) override
    {
        questions << question;
        return answer;
    }

    QStringList files;       ///< what the file chooser answers
    QString directory;       ///< what the folder chooser answers
    QStringList directories; ///< answered first, one a question, before `directory`
    QString file;            ///< what the chooser of one file answers
    QStringList fileTitles;
    QStringList fileFilters;
    QStringList fileStarts;
    QStringList directoryDescriptions;
    QStringList directoryStarts;
    QStringList messages;
    bool answer = false; ///< what a question is answered
    QStringList questions;
};

} // namespace tessara::test
