#pragma once

#include <QLabel>
#include <functional>

class QAbstractItemView;

// The line an empty list shows while there are no accounts: what to do, and
// a link that does it.
class TNoAccountsHint : public QLabel
{
public:
    // needed: whether the line is to show now; newAccount: what the link does.
    TNoAccountsHint(QAbstractItemView& list, std::function<bool()> needed, std::function<void()> newAccount);

    void Update();

private:
    std::function<bool()> Needed;
};
