#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The window layout the user left, kept per user apart from the program's own settings file:
// ~/.config/lanshu/layout.ini on Linux, %APPDATA%\lanshu\layout.ini on Windows. (Tests point it
// elsewhere with QSettings::setPath for the ini format and the user scope.)
struct WindowLayout
{
    QByteArray geometry;     // the main window's size, place and maximised state
    QByteArray splitter;     // list and detail pane of the portfolio
    QList<int> columnWidths; // the domain list's columns, in column order
    QString panel;           // object name of the panel last shown

    bool isEmpty() const { return geometry.isEmpty() && splitter.isEmpty() && columnWidths.isEmpty(); }
};

class LayoutSettings
{
public:
    static WindowLayout load();
    // Empty on success, else why the file could not be written.
    static QString save(const WindowLayout& layout);
    static QString filePath();
};
