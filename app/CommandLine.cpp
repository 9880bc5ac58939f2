#include "app/CommandLine.h"

CommandLine CommandLine::Parse(const QStringList& arguments)
{
    CommandLine line;
    line.Text = arguments.join(QLatin1Char(' '));
    const QString lowered = line.Text.toLower();
    line.CheckNow = lowered.contains(QLatin1String("checknow"));
    line.Visible = lowered.contains(QLatin1String("visible"));
    return line;
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
