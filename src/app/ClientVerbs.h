#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace pictomat {

struct Command;

// The command-line verbs that hand work to the running tray program.

// "pictomat select FILE...": records the files (none: ends the hand-over); a
// running instance rebuilds its menu.
int RunSelectVerb(int argc, char** argv, const QList<QByteArray>& files);
// "pictomat menu [FILE...]": records the files, starts the instance when none
// runs and asks it to show its menu at the pointer. `instanceArguments` are
// passed to an instance started here.
int RunMenuVerb(int argc, char** argv, const QList<QByteArray>& files, const QStringList& instanceArguments);
// "pictomat run --tray COMMAND [OPERAND] FILE...": runs the command on
// exactly these files in the running instance (started when none runs), as
// if chosen from its menu: its alerts, progress window and Stop are the
// tray's. The exit status is the command's, as "pictomat run" gives it.
int RunInTrayVerb(int argc, char** argv, const Command& command, const QString& operand, const QList<QByteArray>& files,
                  const QStringList& instanceArguments);

} // namespace pictomat
