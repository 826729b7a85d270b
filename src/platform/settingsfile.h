// The program's settings file: Windows-style private-profile semantics over
// $XDG_CONFIG_HOME/Orvan/Settings.ini. Sections and keys match without regard
// to case; every write re-reads the file, changes one key and replaces the
// file atomically, so concurrent instances never drop each other's keys.
//
// Keys may hold any text: "=", ";", "[", "]", line breaks and a blank at either
// end are written as %3D, %3B, %5B, %5D, %0A, %0D, %20, %09, and "%" becomes
// %25 only where it would otherwise read as one of these, so ordinary web
// addresses (with their own %20 or %2F) stay as they are. Values keep their
// text; line breaks become %0A / %0D and a value that needs its blanks or
// quotes kept is written inside double quotes.
#pragma once

#include <QList>
#include <QPair>
#include <QString>

#include <functional>

// Full path of Settings.ini (the folder is created on first write).
QString SettingsIniPath();

bool WriteProfileText(const QString& file, const QString& section, const QString& key,
                      const QString& value);
bool WriteProfileNumber(const QString& file, const QString& section, const QString& key, int value);
// True only when 1 to 260 characters were read; output is left alone otherwise.
bool ReadProfileText(const QString& file, const QString& section, const QString& key,
                     QString& output);
// A leading (optionally signed) decimal number is read; anything else gives 0,
// a missing key (or an empty value, as the Windows function does) gives defaultValue.
int ReadProfileNumber(const QString& file, const QString& section, const QString& key,
                      int defaultValue);
// Every key and value of one section, in file order (a repeated key once, first value).
QList<QPair<QString, QString>> ReadProfileSection(const QString& file, const QString& section);
// An on/off value of a section read whole: a number other than 0 is on.
bool ProfileFlag(const QString& value);
// How an on/off value is written: "1" or "0".
QString ProfileFlagText(bool on);

// Removes one key; true when the file no longer holds it.
bool DeleteProfileKey(const QString& file, const QString& section, const QString& key);
// Replaces every key of a section by the given ones, in one atomic write
// (comments in the section stay; an empty list leaves the section empty).
bool ReplaceProfileSection(const QString& file, const QString& section,
                           const QList<QPair<QString, QString>>& entries);
// Reads a section, lets change give its new keys and writes them, all under the
// writers' lock, so a change that depends on the section's current keys is not
// lost to another instance writing at the same time. change must not itself
// write the settings file.
bool UpdateProfileSection(
    const QString& file, const QString& section,
    const std::function<QList<QPair<QString, QString>>(const QList<QPair<QString, QString>>&)>&
        change);
