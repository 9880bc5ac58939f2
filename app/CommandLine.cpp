#include "app/CommandLine.h"

#include <QCommandLineParser>

namespace {

const QStringList Words = {QStringLiteral("checknow"), QStringLiteral("visible")};

bool HoldsAWord(const QString& argument)
{
    return std::ranges::any_of(Words, [&](const QString& word) { return argument.contains(word, Qt::CaseInsensitive); });
}

struct Options
{
    QCommandLineOption check{QStringLiteral("check"),
                             QStringLiteral("Check once with the stored accounts, without a window, and print the "
                                            "messages (tab-separated) and the status texts.")};
    QCommandLineOption list{QStringLiteral("list"),
                            QStringLiteral("Print what the running copy lists, in the same form, without "
                                           "connecting to any server.")};
    QCommandLineOption signIn{QStringLiteral("sign-in"),
                              QStringLiteral("Sign in to the OAuth 2.0 account <name> in the browser and keep the "
                                             "sign-in for its checks."),
                              QStringLiteral("name")};
    QCommandLineOption json{QStringLiteral("json"),
                            QStringLiteral("With --list: one JSON object for panels such as waybar.")};
    QCommandLineOption help{QStringList{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Show this help.")};
    QCommandLineOption version{QStringList{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Show the version.")};

    void AddTo(QCommandLineParser& parser) const
    {
        parser.setApplicationDescription(QStringLiteral("Postwatch tells you about new mail on your POP3 accounts."));
        parser.addOptions({check, list, signIn, json, help, version});
        parser.addPositionalArgument(QStringLiteral("checknow"), QStringLiteral("Check for mail at once; a running "
                                     "copy does it for a second start."), QStringLiteral("[checknow]"));
        parser.addPositionalArgument(QStringLiteral("visible"), QStringLiteral("Show the main window at start."),
                                     QStringLiteral("[visible]"));
    }
};

CommandLine::TMode ModeOf(const QCommandLineParser& parser, const Options& options, QString& problem)
{
    if (parser.isSet(options.help))
        return CommandLine::Help;
    if (parser.isSet(options.version))
        return CommandLine::Version;
    const bool check = parser.isSet(options.check);
    const bool list = parser.isSet(options.list);
    const bool signIn = parser.isSet(options.signIn);
    if (int(check) + int(list) + int(signIn) > 1)
        problem = QStringLiteral("--check, --list and --sign-in go one at a time.");
    else if (signIn && parser.value(options.signIn).trimmed().isEmpty())
        problem = QStringLiteral("--sign-in needs the name of an account.");
    else if (parser.isSet(options.json) && !list)
        problem = QStringLiteral("--json goes with --list.");
    if (!problem.isEmpty())
        return CommandLine::Invalid;
    if (signIn)
        return CommandLine::SignIn;
    return check ? CommandLine::Check : list ? CommandLine::List : CommandLine::Run;
}

}

CommandLine CommandLine::Parse(const QStringList& arguments)
{
    CommandLine line;
    line.Text = arguments.join(QLatin1Char(' '));
    line.CheckNow = line.Text.contains(Words[0], Qt::CaseInsensitive);
    line.Visible = line.Text.contains(Words[1], Qt::CaseInsensitive);

    const Options options;
    QCommandLineParser parser;
    options.AddTo(parser);
    QStringList rest = arguments.mid(0, 1);
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == u"--sign-in" && i + 1 < arguments.size())
            rest << argument << arguments[++i];
        else if (argument.startsWith(u"--sign-in=") || !HoldsAWord(argument))
            rest << argument;
    }
    if (!parser.parse(rest)) {
        line.Mode = Invalid;
        line.Problem = parser.errorText();
        return line;
    }
    line.Mode = ModeOf(parser, options, line.Problem);
    line.Json = parser.isSet(options.json);
    line.Account = parser.value(options.signIn).trimmed();
    return line;
}

QString CommandLine::HelpText()
{
    QCommandLineParser parser;
    Options().AddTo(parser);
    return parser.helpText();
}

QStringList CommandLine::ForwardedWords() const
{
    QStringList words;
    if (Visible || !CheckNow)
        words << QStringLiteral("show");
    if (CheckNow)
        words << QStringLiteral("checknow");
    return words;
}
