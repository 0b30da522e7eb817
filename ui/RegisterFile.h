#ifndef REGISTERFILE_H
#define REGISTERFILE_H

#include <QString>

// Checks a saved register file before it runs: every line must be blank, a
// comment (#...) or "writebyte ADDRESS REGISTER VALUE" in hexadecimal with a
// writable register of the map. Returns an empty text when the file is one,
// otherwise what is wrong, naming the file and the line.
QString registerFileProblem(const QString& path);

#endif // REGISTERFILE_H
