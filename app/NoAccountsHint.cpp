#include "app/NoAccountsHint.h"

#include "base/Guard.h"

#include <QAbstractItemView>
#include <QVBoxLayout>

TNoAccountsHint::TNoAccountsHint(QAbstractItemView& list, std::function<bool()> needed,
                                 std::function<void()> newAccount)
    : QLabel(list.viewport()), Needed(std::move(needed))
{
    setObjectName(QStringLiteral("NoAccountsHint"));
    setText(QStringLiteral("No accounts yet: <a href=\"new\">Config, Accounts, New\u2026</a>"));
    setTextFormat(Qt::RichText);
    setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    setFocusPolicy(Qt::TabFocus);
    setMargin(8);
    connect(this, &QLabel::linkActivated, this, GuardedSlot([newAccount = std::move(newAccount)] { newAccount(); }));
    auto* layout = new QVBoxLayout(list.viewport());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(this, 0, Qt::AlignLeft | Qt::AlignTop);
    Update();
}

void TNoAccountsHint::Update()
{
    setVisible(Needed());
}
