#ifndef HELPFILE_H
#define HELPFILE_H

#include <QString>
#include <QStringList>

// Where Help > Help looks for the command reference, in order: on Windows
// help.chm in the folder the program works in (an installed program starts
// in the user's own folder), then beside the program; elsewhere the HTML
// beside the program. Full native paths.
QStringList helpFileCandidates();
// The first candidate that exists, or empty.
QString helpFile();

#endif // HELPFILE_H
