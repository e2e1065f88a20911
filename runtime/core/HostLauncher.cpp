// The host's launcher: a command line turned into a program and its arguments and started
// detached, never through a shell.

#include "HostLauncher.h"

#include "CommandLine.h"
#include "Launcher.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

namespace rt {

namespace {

Error failure(int number, const QString& what, const QString& name) {
    return Error{number, what + QStringLiteral(": ") + name};
}

// "mailto:", "http:", "https:", "file:" ...; a drive letter ("C:") is one letter.
bool isAddress(const QString& word) {
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return scheme.match(word).hasMatch();
}

bool isDosPath(const QString& word) {
    return word.contains(QLatin1Char('\\')) || word.contains(QLatin1Char('/')) ||
           (word.size() >= 2 && word[1] == QLatin1Char(':'));
}

bool isAbsoluteDosPath(const QString& word, const DosFileSystem& files) {
    return word.size() >= 3 && word[1] == QLatin1Char(':') && word[2] == QLatin1Char('\\') &&
           files.driveTable().find(word[0]) != nullptr;
}

QString onPath(const QString& name) {
    if (name.isEmpty() || name.contains(QLatin1Char('/'))) return {};
    QString found = QStandardPaths::findExecutable(name);
    if (found.isEmpty() && name != name.toLower())
        found = QStandardPaths::findExecutable(name.toLower());
    return found;
}

Result<QString> xdgOpen() {
    const QString found = onPath(QStringLiteral("xdg-open"));
    if (found.isEmpty())
        return failure(err::FileNotFound, QStringLiteral("Not found on PATH"),
                       QStringLiteral("xdg-open"));
    return found;
}

Result<QStringList> hostPaths(const QStringList& dosPaths, const DosFileSystem& files) {
    QStringList hosts;
    for (const QString& p : dosPaths) {
        Result<QString> host = files.toHost(p);
        if (!host.ok()) return host.error();
        hosts << host.value();
    }
    return hosts;
}

Result<LaunchPlan> planStart(const QStringList& args, const DosFileSystem& files) {
    if (args.size() != 1)
        return failure(err::BadCall, QStringLiteral("start takes one document"),
                       args.join(QLatin1Char(' ')));
    const Result<QString> opener = xdgOpen();
    if (!opener.ok()) return opener.error();
    if (isAddress(args[0])) return LaunchPlan{opener.value(), args, {}};
    const Result<QStringList> document = hostPaths(args, files);
    if (!document.ok()) return document.error();
    return LaunchPlan{opener.value(), document.value(), {}};
}

Result<LaunchPlan> planNotepad(const QStringList& args, const DosFileSystem& files) {
    QString editor;
    for (const QString& name : textEditors()) {
        editor = onPath(name);
        if (!editor.isEmpty()) break;
    }
    if (editor.isEmpty()) {
        const Result<QString> opener = xdgOpen();
        if (!opener.ok()) return opener.error();
        editor = opener.value();
    }
    const Result<QStringList> paths = hostPaths(args, files);
    if (!paths.ok()) return paths.error();
    return LaunchPlan{editor, paths.value(), {}};
}

Result<LaunchPlan> planProgram(const QString& name, const QStringList& args,
                               const DosFileSystem& files) {
    QString program;
    if (isDosPath(name)) {
        const Result<QString> host = files.toHost(name);
        if (!host.ok() || !QFileInfo(host.value()).isFile())
            return failure(err::FileNotFound, QStringLiteral("Program not found"), name);
        if (!QFileInfo(host.value()).isExecutable())
            return failure(err::PermissionDenied, QStringLiteral("Not executable"), name);
        program = host.value();
    } else {
        program = onPath(name);
        if (program.isEmpty())
            return failure(err::FileNotFound, QStringLiteral("Not found on PATH"), name);
    }
    QStringList arguments;
    for (const QString& a : args) {
        const Result<QString> host =
            isAbsoluteDosPath(a, files) ? files.toHost(a) : Result<QString>(a);
        arguments << host.valueOr(a);
    }
    return LaunchPlan{program, arguments, {}};
}

class HostLauncher final : public Launcher {
public:
    explicit HostLauncher(const DosFileSystem& files) : files_(files) {}

    Result<qint64> shell(const QString& commandLine,
                         int /*windowStyle: see HostLauncher.h*/) override {
        const Result<LaunchPlan> plan = planLaunch(commandLine, files_);
        if (!plan.ok()) return plan.error();
        qint64 pid = 0;
        if (!QProcess::startDetached(plan.value().program, plan.value().arguments,
                                     plan.value().workingFolder, &pid))
            return failure(err::FileNotFound, QStringLiteral("Could not be started"),
                           plan.value().program);
        return pid;
    }

private:
    const DosFileSystem& files_;
};

} // namespace

const QStringList& textEditors() {
    static const QStringList editors{
        QStringLiteral("gedit"),    QStringLiteral("gnome-text-editor"),
        QStringLiteral("mousepad"), QStringLiteral("kate"),
        QStringLiteral("kwrite"),   QStringLiteral("pluma"),
        QStringLiteral("xed"),      QStringLiteral("featherpad"),
        QStringLiteral("leafpad"),  QStringLiteral("l3afpad"),
    };
    return editors;
}

Result<LaunchPlan> planLaunch(const QString& commandLine, const DosFileSystem& files) {
    QStringList words = splitCommandLine(commandLine);
    if (words.isEmpty() || words[0].isEmpty())
        return failure(err::BadCall, QStringLiteral("Empty command line"), commandLine);
    const QString name = words.takeFirst();

    Result<LaunchPlan> plan = [&]() -> Result<LaunchPlan> {
        if (name.compare(QLatin1String("start"), Qt::CaseInsensitive) == 0)
            return planStart(words, files);
        if (name.compare(QLatin1String("notepad"), Qt::CaseInsensitive) == 0 ||
            name.compare(QLatin1String("notepad.exe"), Qt::CaseInsensitive) == 0)
            return planNotepad(words, files);
        return planProgram(name, words, files);
    }();
    if (!plan.ok()) return plan;

    LaunchPlan result = std::move(plan).value();
    if (const Result<QString> here = files.toHost(files.curDir());
        here.ok() && QFileInfo(here.value()).isDir())
        result.workingFolder = here.value();
    return result;
}

std::unique_ptr<Launcher> makeHostLauncher(const DosFileSystem& files) {
    return std::make_unique<HostLauncher>(files);
}

} // namespace rt
