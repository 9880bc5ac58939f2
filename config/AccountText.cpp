#include "config/AccountText.h"

#include <algorithm>

using namespace Qt::StringLiterals;

QString AccountText(const QString& typed)
{
    return typed.trimmed();
}

// A backslash would make a nested key, and a line break a key the settings
// file cannot store.
QString AccountNameProblem(const QString& name)
{
    const QString text = AccountText(name);
    if (text.isEmpty())
        return u"The account name is empty."_s;
    if (text.contains(u'\\'))
        return u"An account name cannot contain a backslash (\\)."_s;
    if (text.contains(u'\n') || text.contains(u'\r'))
        return u"An account name cannot contain a line break."_s;
    return {};
}

QString AccountServerProblem(const QString& server)
{
    const QString text = AccountText(server);
    if (text.isEmpty())
        return u"The server name is empty."_s;
    if (std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.isSpace(); }))
        return u"The server name \"%1\" has a blank in it."_s.arg(text);
    return {};
}

// A control character would end or split the command that names the folder.
QString AccountFolderProblem(const QString& folder)
{
    const QString text = AccountText(folder);
    if (text.isEmpty())
        return u"The folder is empty: name the folder to watch, INBOX for the inbox."_s;
    if (std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.category() == QChar::Other_Control; }))
        return u"A folder name cannot contain a line break or another control character."_s;
    return {};
}
