// The log as a user at the terminal and a maintainer meet it, through the
// program itself: the lines it always logs, debug lines once a category is
// switched on (QT_LOGGING_RULES), and the warnings of the libraries it uses,
// which never reach the terminal unless the log is asked for there.

#include "TestEnv.h"

#include <QFile>

namespace pictomat::test {
namespace {

class LogTest : public TestEnv { };

// Qt warns of it as the program's application object starts.
const QString kQtWarning = QStringLiteral("QT_SCALE_FACTOR_ROUNDING_POLICY=bogus");
// The alert's line after the item's path.
const QByteArray kAlert =
    "/gone.png: The custom icon could not be removed successfully. (there is no such file or "
    "folder)\n";
const QByteArray kLogged = "Pictomat[log]: The custom icon could not be removed successfully.\n";
const QByteArray kReason = "Pictomat[log]: pictomat.commands: The reason: The item does not exist.\n";

TEST_F(LogTest, DebugLinesAreQuietUntilSwitchedOnAndLibraryWarningsStayOffTheTerminal)
{
    const QStringList run{"run", "remove-icon", work() + "/gone.png"};
    // Whatever the caller's environment says of the log counts here.
    const QStringList plain{"PICTOMAT_LOG_STDERR", "QT_LOGGING_RULES", "QT_QPA_PLATFORM=offscreen", kQtWarning};

    // At the terminal: the alert alone, with the maintainer's lines switched
    // on too, since they go to the log.
    for (const QString& rules : {QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("QT_LOGGING_RULES=*.debug=true")}) {
        const ProcessResult r = RunPictomat(run, plain + QStringList{rules});
        EXPECT_EQ(r.exitCode, 1) << rules.toStdString();
        EXPECT_EQ(r.err, "pictomat: " + QFile::encodeName(work()) + kAlert) << rules.toStdString();
    }

    // The log shown on standard error: the program's line after its alert,
    // Qt's warning as a library's line, and no debug line by default.
    const ProcessResult shown = RunPictomat(run, plain + QStringList{"PICTOMAT_LOG_STDERR=1"});
    EXPECT_EQ(shown.exitCode, 1);
    EXPECT_TRUE(shown.err.contains(kAlert + kLogged)) << shown.err.toStdString();
    EXPECT_TRUE(shown.err.contains("\nQt: Unknown scale factor rounding policy: bogus")
                || shown.err.startsWith("Qt: Unknown scale factor rounding policy: bogus"))
        << shown.err.toStdString();
    EXPECT_FALSE(shown.err.contains("pictomat.commands")) << shown.err.toStdString();

    // A layer switched on shows its debug lines, each after its category;
    // another layer's switch leaves them quiet.
    const ProcessResult debug =
        RunPictomat(run, plain + QStringList{"PICTOMAT_LOG_STDERR=1", "QT_LOGGING_RULES=pictomat.commands.debug=true"});
    EXPECT_TRUE(debug.err.contains(kAlert + kLogged + kReason)) << debug.err.toStdString();
    const ProcessResult other =
        RunPictomat(run, plain + QStringList{"PICTOMAT_LOG_STDERR=1", "QT_LOGGING_RULES=pictomat.web.debug=true"});
    EXPECT_TRUE(other.err.contains(kAlert + kLogged)) << other.err.toStdString();
    EXPECT_FALSE(other.err.contains("pictomat.commands")) << other.err.toStdString();
}

} // namespace
} // namespace pictomat::test
