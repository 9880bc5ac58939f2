// A new user's first account, made through the windows on the real settings
// file, and the Check Now after it against Dovecot over SSL/TLS, whose own
// certificate the user trusts when asked.

#include "app/Mainformdlg.h"
#include "app/Program.h"
#include "base/Guard.h"
#include "config/FileStore.h"
#include "config/Registry.h"
#include "config/StoreKeys.h"
#include "engine/MessageList.h"
#include "pop3/Certificate.h"
#include "tests/support/ModalSteps.h"
#include "tests/support/ScriptedDialUp.h"
#include "tests/support/TestDovecot.h"
#include "tests/unit/pop3/ScriptServer.h"
#include "widgets/MsgBox.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

namespace {

template <typename T> T* Child(QWidget& window, const char* name)
{
    T* found = window.findChild<T*>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

void AddAccountInTheOpenDialog(QDialog& config)
{
    auto* pages = Child<QTabWidget>(config, "ConfigPage");
    pages->setCurrentWidget(Child<QWidget>(config, "TabAccounts"));
    OnNextModal([](QDialog& account) {
        QTest::keyClicks(Child<QLineEdit>(account, "editAccName"), "Mine");
        QTest::keyClicks(Child<QLineEdit>(account, "editServer"), "localhost");
        Child<QSpinBox>(account, "spinPort")->setValue(DovecotTlsPort());
        QTest::keyClicks(Child<QLineEdit>(account, "editUsername"), "first-account");
        QTest::keyClicks(Child<QLineEdit>(account, "editPassword"), "pw-first-account");
        Child<QPushButton>(account, "btnOK")->click();
    });
    Child<QPushButton>(config, "btnAccNew")->click();
    Child<QPushButton>(config, "btnDone")->click();
}

TEST(FirstAccount, AddedThroughTheConfigWindowIsCheckedByTheNextCheckNow)
{
    ASSERT_GT(DovecotPort(), 0) << "no Dovecot started for this run in " PW_POP3_SERVER_DIR;
    QTemporaryDir profile;
    QStringList errors;
    QStringList questions;
    SetErrorReport([&](const QString& message) { errors << message; });
    SetMsgBoxHook([&](const TMsgBoxRequest& box) {
        if (box.Buttons & QMessageBox::Yes) {
            questions << box.Caption + ": " + box.Text.section('\n', -1);
            return QMessageBox::Yes;
        }
        errors << box.Text;
        return QMessageBox::Ok;
    });
    {
        FileStore store(profile.filePath("registry.reg"));
        TScriptedDialUp dialUp;
        Program program(store, dialUp, CommandLine::Parse({"postwatch"}));
        TMainForm& main = program.MainForm();

        OnNextModal(AddAccountInTheOpenDialog);
        Child<QAction>(main, "actConfig")->trigger();
        Child<QAction>(main, "actCheckNow")->trigger();
        ASSERT_TRUE(WaitUntil([&] { return main.StatusText(0) == "Done"; }, 20000))
            << main.StatusText(0).toStdString() << errors.join('\n').toStdString();

        const QAbstractItemModel* rows = Child<QTreeView>(main, "listMessages")->model();
        ASSERT_EQ(rows->rowCount(), 2);
        EXPECT_EQ(rows->index(0, TMessageList::colAccount).data().toString(), "Mine");
        EXPECT_EQ(rows->index(0, TMessageList::colFrom).data().toString(), "Ann Example");
        EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
        EXPECT_EQ(questions, QStringList{"Certificate: Trust this certificate for Mine?"});
    }
    FileStore store(profile.filePath("registry.reg"));
    TRegistry reg(store);
    ASSERT_TRUE(reg.OpenKeyReadOnly(StoreKeys::Accounts + QStringLiteral("\\Mine")));
    EXPECT_EQ(reg.ReadInteger("Security"), 2);
    EXPECT_EQ(reg.ReadString("CertFingerprint"), Fingerprint(DovecotCertificate()));
    SetErrorReport({});
    SetMsgBoxHook({});
}

}
