#include "tests/support/ModalSteps.h"
#include "widgets/MsgBox.h"

#include <QLabel>
#include <gtest/gtest.h>

// An error box quotes a server's reply, a trust question a certificate's
// names: neither may render as markup or offer a link.
TEST(MsgBox, ShowsAServersMarkupAsPlainText)
{
    const QString reply = QStringLiteral("-ERR <h1><a href=\"https://example.net/\">Mailbox locked, sign in here</a></h1>");
    QString shown = QStringLiteral("(no box)");
    OnNextModal([&](QDialog& box) {
        if (const auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label")))
            shown = label->textFormat() == Qt::PlainText ? label->text() : QStringLiteral("(markup)");
        box.done(QMessageBox::Ok);
    });
    MsgBox({reply, QStringLiteral("Error"), nullptr, QMessageBox::Ok});
    EXPECT_EQ(shown, reply);
}
