#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QString>
#include <memory>

// The folder that a retrieved message's parts are written to. Names come
// from whoever sent the message, so nothing is written outside the folder
// and no link already in it is ever followed.
class TAttachFolder
{
public:
    // An empty folder means the default one.
    explicit TAttachFolder(const QString& folder);

    // $XDG_CACHE_HOME/Postwatch/attachments/ on Linux,
    // %LOCALAPPDATA%\Postwatch\attachments\ on Windows, ending with "/".
    static QString DefaultPath();
    // A sender's name made safe as one file name in the folder; "text.tmp"
    // when nothing usable is left.
    static QString SafeFileName(const QString& name);

    // The scratch file "Temp.mme", made anew.
    std::unique_ptr<QFile> CreateScratch();
    void RemoveScratch();
    // A new file named after name, numbered a_1.txt, a_2.txt, ... while the
    // name is taken, going on from the number this folder object used last
    // for that name. Returns it open for writing; name becomes the one used.
    std::unique_ptr<QFile> CreateNumbered(QString& name);
    // Removes the regular files of ours last changed before the time. Only
    // the folder's own entries are looked at, and nothing is done in a
    // folder that is a link or that someone else could write to.
    void RemoveOlderThan(const QDateTime& time);

    const QString& Path() const { return path; }

private:
    void Prepare();
    static bool CreateNew(QFile& file);
    bool Occupied(const QString& name) const;

    QString path;
    // The number to try next, by the name asked for.
    QHash<QString, int> nextNumbers;
};
