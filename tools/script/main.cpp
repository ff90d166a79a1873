// quorvane-script: writes the data script of one table from the command line.

#include "ProgramInfo.h"
#include "ScriptCliOptions.h"
#include "ScriptCliRun.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <string>

#include <termios.h>
#include <unistd.h>

namespace {

// Reads one line from the terminal without echoing it.
bool askPassword(QString &password)
{
    std::fputs("Password: ", stderr);
    std::fflush(stderr);
    termios saved{};
    const bool canHide = tcgetattr(STDIN_FILENO, &saved) == 0;
    if (canHide) {
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        quiet.c_lflag |= ECHONL;
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    std::string line;
    int c;
    while ((c = std::fgetc(stdin)) != EOF && c != '\n')
        line.push_back(char(c));
    if (canHide)
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    if (c == EOF && line.empty())
        return false;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    password = QString::fromLocal8Bit(line.data(), qsizetype(line.size()));
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    QString error;
    const std::optional<TScriptCliOptions> options = ParseScriptCliOptions(arguments, error);
    if (!options) {
        std::fprintf(stderr, "quorvane-script: %s (see --help)\n", error.toUtf8().constData());
        return secBadArguments;
    }
    if (options->Help) {
        std::fputs(ScriptCliUsage, stdout);
        return secSuccess;
    }
    if (options->Version) {
        std::puts("quorvane-script " QUORVANE_VERSION);
        return secSuccess;
    }

    TScriptCliEnvironment env;
    if (qEnvironmentVariableIsSet("QUORVANE_PASSWORD")) {
        env.Password = qEnvironmentVariable("QUORVANE_PASSWORD");
    } else if (isatty(STDIN_FILENO)) {
        if (!askPassword(env.Password)) {
            std::fputs("quorvane-script: no password given\n", stderr);
            return secBadArguments;
        }
    }
    // Otherwise the login goes with an empty password.
    env.ErrIsTerminal = isatty(STDERR_FILENO);
    return RunScriptCli(*options, env);
}
