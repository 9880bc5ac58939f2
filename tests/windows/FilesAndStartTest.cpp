// The Windows side of files and starts: private files, the Startup-folder
// link, and what a second start sends the running copy.

#include "base/Exception.h"
#include "config/FileStore.h"
#include "config/Registry.h"
#include "engine/PrivateJsonFile.h"
#include "platform/InstanceChannel.h"
#include "platform/PrivateFiles.h"
#include "platform/Profile.h"
#include "pop3/AttachFolder.h"
#include "widgets/Shelllink.h"
// Last: <windows.h> makes HKEY_CURRENT_USER a macro, which the store's headers name.
#include "base/WinText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <windows.h>
#include <aclapi.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace {

struct LinkContent
{
    QString path, arguments, folder;
};

LinkContent readLink(const QString& file)
{
    LinkContent content;
    CoInitialize(nullptr);
    IShellLinkW* link = nullptr;
    IPersistFile* persisted = nullptr;
    wchar_t text[MAX_PATH] = {};
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link)))
        && SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persisted)))
        && SUCCEEDED(persisted->Load(WideText(QDir::toNativeSeparators(file)), STGM_READ))) {
        link->GetPath(text, MAX_PATH, nullptr, 0);
        content.path = QString::fromWCharArray(text);
        link->GetArguments(text, MAX_PATH);
        content.arguments = QString::fromWCharArray(text);
        link->GetWorkingDirectory(text, MAX_PATH);
        content.folder = QString::fromWCharArray(text);
    }
    if (persisted)
        persisted->Release();
    if (link)
        link->Release();
    CoUninitialize();
    return content;
}

QString startupFolder()
{
    wchar_t folder[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, folder, CSIDL_STARTUP, TRUE);
    return QString::fromWCharArray(folder);
}

// Blocks until the work is done while this thread serves the running copy.
void inAnotherThread(const std::function<void()>& work)
{
    QThread* thread = QThread::create(work);
    thread->start();
    while (!thread->wait(10))
        QCoreApplication::processEvents();
    delete thread;
    QCoreApplication::processEvents();
}

bool isWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type)
{
    BYTE known[SECURITY_MAX_SID_SIZE] = {};
    DWORD size = sizeof(known);
    return CreateWellKnownSid(type, nullptr, known, &size) && EqualSid(sid, known);
}

// How many entries of the access list let in someone other than this user,
// the system or the administrators.
int othersAllowed(const QString& path)
{
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(WideText(QDir::toNativeSeparators(path)), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &dacl, nullptr, &descriptor)
        != ERROR_SUCCESS)
        return -1;
    HANDLE token = nullptr;
    BYTE user[256] = {};
    DWORD size = sizeof(user);
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    GetTokenInformation(token, TokenUser, user, size, &size);
    CloseHandle(token);
    int others = dacl ? 0 : 1;
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        GetAce(dacl, i, reinterpret_cast<void**>(&ace));
        PSID sid = &ace->SidStart;
        if (!EqualSid(sid, reinterpret_cast<TOKEN_USER*>(user)->User.Sid) && !isWellKnown(sid, WinLocalSystemSid)
            && !isWellKnown(sid, WinBuiltinAdministratorsSid))
            ++others;
    }
    LocalFree(descriptor);
    return others;
}

std::string refusalOf(const QString& path)
{
    try {
        Profile::PrivateFolder(path);
    } catch (const Exception& e) {
        return e.Message.toStdString();
    }
    return {};
}

} // namespace

TEST(WindowsFiles, PrivateFilesAreTheUsersAlone)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("profile");
    EXPECT_EQ(refusalOf(folder), "");
    EXPECT_EQ(othersAllowed(folder), 0) << "nothing of the parent's access list comes in";

    const QString file = folder + "/seen-messages";
    PrivateJsonFile::Write(file, QJsonObject{{"a", "b"}});
    EXPECT_EQ(PrivateJsonFile::Read(file), (QJsonObject{{"a", "b"}}));
    EXPECT_EQ(othersAllowed(file), 0);

    QFile plain(dir.filePath("plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    EXPECT_EQ(refusalOf(plain.fileName()), "the folder " + QDir::toNativeSeparators(plain.fileName()).toStdString()
                                               + " is not a folder");
}

// Under POSTWATCH_PROFILE the settings are a file, which holds passwords.
TEST(WindowsFiles, TheSettingsFileIsWrittenWholeForTheUserAlone)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("profile/registry.reg");
    {
        FileStore store(path);
        TRegistry reg(store);
        ASSERT_TRUE(reg.OpenKey("Software\\Tallowfen\\Postwatch\\2.0", true));
        reg.WriteString("Server", "pop.example.org");
    }
    FileStore reloaded(path);
    TRegistry reg(reloaded);
    ASSERT_TRUE(reg.OpenKey("Software\\Tallowfen\\Postwatch\\2.0", false));
    EXPECT_EQ(reg.ReadString("Server").toStdString(), "pop.example.org");
    EXPECT_EQ(othersAllowed(dir.filePath("profile")), 0);
    EXPECT_EQ(othersAllowed(path), 0);
}

TEST(WindowsFiles, ALinkAtAPrivateFilesNameIsNeverFollowed)
{
    QTemporaryDir dir;
    const QString target = dir.filePath("users-own.txt");
    QFile own(target);
    ASSERT_TRUE(own.open(QIODevice::WriteOnly) && own.write("keep") == 4);
    own.close();
    const QString link = dir.filePath("summary-cache");
    CreateSymbolicLinkW(WideText(QDir::toNativeSeparators(link)), WideText(QDir::toNativeSeparators(target)),
                        SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
    if (!QFileInfo(link).isSymLink())
        GTEST_SKIP() << "no symbolic link could be made here (Wine 8 makes none; Windows needs developer mode)";

    EXPECT_TRUE(PrivateFiles::IsLink(link));
    EXPECT_EQ(PrivateJsonFile::ReadBytes(link), "");
    PrivateJsonFile::Write(link, QJsonObject{{"planted", true}});
    ASSERT_TRUE(own.open(QIODevice::ReadOnly));
    EXPECT_EQ(own.readAll(), "keep");
    EXPECT_THAT(refusalOf(link), testing::HasSubstr("is a symbolic link"));
}

TEST(WindowsFiles, TheUsualProfileAndTheAttachmentsAreInLocalAppData)
{
    qunsetenv("POSTWATCH_PROFILE");
    const QString local = QDir::fromNativeSeparators(qEnvironmentVariable("LOCALAPPDATA")) + "/Postwatch";
    EXPECT_EQ(Profile::SeenMessagesFilePath().toLower().toStdString(), (local + "/seen-messages").toLower().toStdString());
    EXPECT_EQ(Profile::CacheFolder().toLower().toStdString(), local.toLower().toStdString());
    EXPECT_EQ(TAttachFolder::DefaultPath().toLower().toStdString(), (local + "/attachments/").toLower().toStdString());
    EXPECT_TRUE(Profile::IsDefault());
}

TEST(WindowsFiles, OnlyOldFilesOfTheAttachmentFolderItselfAreRemoved)
{
    QTemporaryDir dir;
    const QDateTime now = QDateTime::currentDateTime();
    const auto write = [&](const QString& path, int daysOld) {
        QFile file(dir.filePath(path));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.setFileTime(now.addDays(-daysOld), QFileDevice::FileModificationTime));
    };
    ASSERT_TRUE(QDir().mkpath(dir.filePath("attach/sub")));
    write("attach/old.txt", 8);
    write("attach/recent.txt", 6);
    write("attach/sub/inner.txt", 30);
    TAttachFolder(dir.filePath("attach")).RemoveOlderThan(now.addDays(-7));
    EXPECT_EQ(QDir(dir.filePath("attach")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList({"recent.txt", "sub"}));
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("attach/sub/inner.txt")));
}

TEST(WindowsStart, StartAtLoginPutsPostwatchLnkInTheStartupFolderAndTakesItAway)
{
    const QString linkPath = startupFolder() + "/Postwatch.lnk";
    StartAtLogin(true);
    const LinkContent written = readLink(linkPath);
    const QString program = QDir::toNativeSeparators(QCoreApplication::applicationFilePath());
    EXPECT_EQ(written.path.toLower().toStdString(), program.toLower().toStdString());
    EXPECT_EQ(written.arguments.toStdString(), "");
    EXPECT_EQ(written.folder.toLower().toStdString(),
              QDir::toNativeSeparators(QCoreApplication::applicationDirPath()).toLower().toStdString());
    StartAtLogin(false);
    EXPECT_FALSE(QFile::exists(linkPath));

    TShellLink link;
    link.Path = program;
    link.Arguments = "checknow visible";
    link.Description = "Postwatch";
    QTemporaryDir dir;
    link.LinkPath = dir.filePath("a.lnk");
    link.Save();
    EXPECT_EQ(readLink(link.LinkPath).arguments.toStdString(), "checknow visible");
}

// At login nothing but the link can say which profile to open.
TEST(WindowsStart, AnotherProfileHasALinkOfItsOwnThatStartsItOnThatProfile)
{
    QTemporaryDir dir;
    qputenv("POSTWATCH_PROFILE", dir.filePath("demo").toUtf8());
    const auto unset = qScopeGuard([] { qunsetenv("POSTWATCH_PROFILE"); });
    StartAtLogin(true);
    const QString linkPath = startupFolder() + "/Postwatch-" + Profile::FolderTag() + ".lnk";
    const LinkContent written = readLink(linkPath);
    EXPECT_TRUE(written.path.endsWith("cmd.exe", Qt::CaseInsensitive)) << written.path.toStdString();
    EXPECT_TRUE(written.arguments.contains("POSTWATCH_PROFILE=" + QDir::toNativeSeparators(dir.filePath("demo"))))
        << written.arguments.toStdString();
    EXPECT_FALSE(QFile::exists(startupFolder() + "/Postwatch.lnk")) << "the user's own link is left alone";
    StartAtLogin(false);
    EXPECT_FALSE(QFile::exists(linkPath));
}

TEST(WindowsStart, CheckNowReachesTheRunningCopyAsMessage0x8190)
{
    QTemporaryDir dir;
    const QString store = dir.filePath("registry.reg");
    InstanceChannel running(store);
    ASSERT_EQ(running.ForwardOrListen({}), InstanceChannel::Listening);
    running.SetReady();
    QSignalSpy checks(&running, &InstanceChannel::CheckNowRequested);

    HWND window = FindWindowW(nullptr, L"Postwatch");
    ASSERT_NE(window, nullptr) << "no window could be made: Wine needs a display (xvfb-run) or its null driver";
    ASSERT_TRUE(PostMessageW(window, 0x8190, 0, 0));
    EXPECT_TRUE(checks.wait(2000)) << "the message as any program would send it";

    bool forwarded = false;
    inAnotherThread([&] { forwarded = InstanceChannel(dir.filePath("other.reg")).Forward({"checknow"}); });
    EXPECT_TRUE(forwarded) << "the window is found whatever the profile, as the message names no profile";
    EXPECT_TRUE(checks.count() == 2 || checks.wait(2000));

    QSignalSpy shows(&running, &InstanceChannel::ShowRequested);
    inAnotherThread([&] { forwarded = InstanceChannel(store).Forward({"show", "checknow"}); });
    EXPECT_TRUE(forwarded);
    EXPECT_TRUE(shows.count() == 1 || shows.wait(2000)) << "a plain start shows the running copy, over the pipe";
    EXPECT_TRUE(checks.count() == 3 || checks.wait(2000));
}

TEST(WindowsStart, ListingComesOverThePipeAndNotFromAnotherProfile)
{
    QTemporaryDir dir;
    const QString store = dir.filePath("registry.reg");
    InstanceChannel running(store);
    running.Listing = [] { return QByteArray("{\"rows\":[]}"); };
    ASSERT_EQ(running.ForwardOrListen({}), InstanceChannel::Listening);

    std::optional<QByteArray> listing, elsewhere;
    inAnotherThread([&] {
        listing = InstanceChannel(store).AskListing();
        elsewhere = InstanceChannel(dir.filePath("other.reg")).AskListing();
    });
    EXPECT_EQ(listing.value_or("none"), "{\"rows\":[]}");
    EXPECT_FALSE(elsewhere.has_value());
}

// The window of a first copy that hangs: made on a thread that then stops
// reading its messages.
TEST(WindowsStart, ASecondStartEndsWhenTheFirstDoesNotAnswer)
{
    std::atomic<bool> made = false, release = false, checkNowWaited = false;
    HWND hung = nullptr;
    std::thread first([&] {
        hung = CreateWindowExW(0, L"STATIC", L"Postwatch", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        made = true;
        while (!release)
            Sleep(50);
        MSG message;
        checkNowWaited = PeekMessageW(&message, hung, 0x8190, 0x8190, PM_REMOVE);
        DestroyWindow(hung);
    });
    while (!made)
        Sleep(10);
    const auto released = qScopeGuard([&] {
        release = true;
        if (first.joinable())
            first.join();
    });
    ASSERT_NE(hung, nullptr) << "no window could be made: Wine needs a display (xvfb-run) or its null driver";
    QTemporaryDir dir;
    InstanceChannel second(dir.filePath("registry.reg"));
    EXPECT_EQ(second.ForwardOrListen({"checknow"}), InstanceChannel::Forwarded);
    EXPECT_EQ(second.ForwardOrListen({"show"}), InstanceChannel::Forwarded) << "a plain start ends too";
    release = true;
    first.join();
    EXPECT_TRUE(checkNowWaited) << "the check waits in the busy copy's queue";
}
