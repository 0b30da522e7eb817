#ifndef REGISTERFILE_H
#define REGISTERFILE_H

#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <utility>

// Checks a saved register file before it runs: every line must be blank, a
// comment (#...) or "writebyte ADDRESS REGISTER VALUE" in hexadecimal with a
// writable register of the map. Returns an empty text when the file is one,
// otherwise what is wrong, naming the file and the line.
QString registerFileProblem(const QString& path);

// The last value each writebyte line of a register file gives each
// register, by device address and register; a relative path is taken from
// the home folder, as scripts take it.
using RegisterWrites = std::map<std::pair<uint8_t, uint8_t>, uint8_t>;
RegisterWrites registerWrites(const QString& path);

// Reads every writable register of the chip at address and saves them as a
// register file (status bits as 0); false, and nothing written, when a read
// fails or the file cannot be written.
bool saveRegisterFile(const QString& path, uint8_t address);

// Reads back every register a register file wrote: one line for each that
// does not hold the file's value or does not answer.
QStringList registersNotTaken(const QString& path);

#endif // REGISTERFILE_H
