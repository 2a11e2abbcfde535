#pragma once
// The subcommands of duomira-cli. Each one takes the arguments after its name, writes its
// result to standard output and its complaints to standard error, and returns the exit
// status.
#include <QStringList>

struct TCliCommand
{
    const char *name;
    const char *usage;   // arguments, e.g. "[--tags] FILE..."
    const char *summary; // one line
    int (*run)(const QStringList &arguments);
};

// inspect: the metadata record of each file as JSON (inspectcommand.cpp).
int runInspectCommand(const QStringList &arguments);
// pair: loads left and right pictures, orders and pairs them, prints both lists as JSON
// (paircommand.cpp).
int runPairCommand(const QStringList &arguments);
// run: the batch job wizard without a window: pairs like pair, answers the wizard's
// questions from options, runs the checks and the job, prints the log (runcommand.cpp).
int runRunCommand(const QStringList &arguments);
// check: pairs like pair, then checks each stereo pair by its pictures and prints its
// figures and verdict, with a summary line (checkcommand.cpp).
int runCheckCommand(const QStringList &arguments);
// undo: reverses a batch job from its journal (undocommand.cpp).
int runUndoCommand(const QStringList &arguments);
