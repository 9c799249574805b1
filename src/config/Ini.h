#pragma once

#include <QString>
#include <cstdint>
#include <functional>

// Access to config.ini. Every call opens the file, reads or writes one value and closes it
// again; nothing is cached. Section and key names match without regard to letter case.

QString IniReadString(const QString& path, const QString& section, const QString& key);
int32_t IniReadInteger(const QString& path, const QString& section, const QString& key);
bool IniWriteString(const QString& path, const QString& section, const QString& key,
                    const QString& text);
bool IniWriteInteger(const QString& path, const QString& section, const QString& key,
                     int32_t number);

// Told of the outcome of every write that reached the file stage (from any thread), so the
// program can tell the operator while settings cannot be saved. Null: nobody is told.
using IniWriteObserver = std::function<void(const QString& path, bool saved)>;
void SetIniWriteObserver(IniWriteObserver observer);

// Creates the file with every default entry, in the order that yields the documented layout.
bool WriteDefaultConfig(const QString& path);
// Gives the owner write permission so that later writes of the run reach a read-only file.
bool MakeWritable(const QString& path);

QString ConfigPath();
QString ExecutableDir();

// The integer syntax of IniReadInteger: optional blanks, optional sign, decimal digits or hex
// after "0x", "0X", "$", "x" or "X". Anything else, or a value outside int32, gives 0.
int32_t ParseIniInteger(const QString& text);
