#ifndef COMMANDTOKENIZER_H
#define COMMANDTOKENIZER_H

#include <QString>
#include <QStringList>

// Splits a command line into words: each double-quoted part is one word,
// unchanged (an empty pair of quotes gives an empty word); the rest is split
// at runs of white space, empty words dropped.
QStringList tokenizeCommandLine(const QString& line);

#endif // COMMANDTOKENIZER_H
