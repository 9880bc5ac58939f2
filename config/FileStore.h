#pragma once

#include "config/RegistryStore.h"

#include <QByteArray>
#include <QString>

// The store kept in one file in the registry's export syntax (RegFile).
// Two running copies may share the file: a commit takes a lock beside it,
// reads what the other copy may have written, replays this copy's pending
// changes onto that and replaces the file in one rename; opening a key takes
// in the other copy's changes. A file that cannot be read is never written.
class FileStore : public RegistryStore
{
public:
    explicit FileStore(QString path);

    const QString& Path() const { return path; }
    // How long a commit waits for another copy's lock before it gives up.
    void SetLockTimeout(int milliseconds) { lockTimeout = milliseconds; }

    void Refresh() override;

protected:
    void Flush(const std::vector<RegChange>& pending) override;
    // Called when the new content is on disk beside the file and has not yet
    // replaced it: a test stops or kills the writer here.
    virtual void BeforeReplace() {}

private:
    QByteArray readFile() const;
    RegistryTree parse(const QByteArray& content, const std::vector<RegChange>& changes) const;
    void createFolder() const;
    void replaceFile(const QByteArray& content);

    QString path;
    int lockTimeout = 5000;
    QByteArray knownContent; // what the tree was last read from or written as
};
