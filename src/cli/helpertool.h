// Commands that need a library the others should not load (the network,
// TagLib, the secret store) live in programs of their own; orvanctl hands
// such a command over whole, replacing itself with the program.
#pragma once

#include <QString>
#include <QStringList>

// Runs program (beside orvanctl in the build tree, under libexec once
// installed) with the command and its arguments; returns only on failure,
// with the exit status to use.
int ExecHelperTool(const QString& program, const QString& command, const QStringList& args);
