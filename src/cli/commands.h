#pragma once
// The subcommands of duomira-cli. Each one takes the arguments after its name, writes its
// result to standard output and its complaints to standard error, and returns the exit
// status. Its option table (cliparser.h) gives its parser, its --help and its lines in the
// top-level help.
#include "cli/cliparser.h"

#include <QStringList>

struct TCliCommand
{
    const char *name;
    TCliSyntax (*syntax)(); // its options, for the top-level help
    int (*run)(const QStringList &arguments);
};

// inspect: the metadata record of each file as JSON (inspectcommand.cpp).
TCliSyntax inspectSyntax();
int runInspectCommand(const QStringList &arguments);
// pair: loads left and right pictures, orders and pairs them, prints both lists as JSON
// (paircommand.cpp).
TCliSyntax pairSyntax();
int runPairCommand(const QStringList &arguments);
// run: the batch job wizard without a window: pairs like pair, answers the wizard's
// questions from options, runs the checks and the job, prints the log (runcommand.cpp).
TCliSyntax runSyntax();
int runRunCommand(const QStringList &arguments);
// undo: reverses a batch job from its journal (undocommand.cpp).
TCliSyntax undoSyntax();
int runUndoCommand(const QStringList &arguments);
