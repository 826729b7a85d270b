// The program's settings file: Windows-style private-profile semantics over
// $XDG_CONFIG_HOME/Orvan/Settings.ini. Sections and keys match without regard
// to case; every write re-reads the file, changes one key and replaces the
// file atomically, so concurrent instances never drop each other's keys.
#pragma once

#include <QList>
#include <QPair>
#include <QString>

// Full path of Settings.ini (the folder is created on first write).
QString SettingsIniPath();

bool WriteProfileText(const QString& file, const QString& section, const QString& key,
                      const QString& value);
bool WriteProfileNumber(const QString& file, const QString& section, const QString& key,
                        int value);
// True only when 1 to 260 characters were read; output is left alone otherwise.
bool ReadProfileText(const QString& file, const QString& section, const QString& key,
                     QString& output);
// A leading (optionally signed) decimal number is read; anything else gives 0,
// a missing key gives defaultValue.
int ReadProfileNumber(const QString& file, const QString& section, const QString& key,
                      int defaultValue);
// Every key and value of one section, in file order.
QList<QPair<QString, QString>> ReadProfileSection(const QString& file, const QString& section);
