#pragma once

#include <QFrame>
#include <functional>

class QAction;
class QLabel;
class QMenu;
class QTimer;
class Settings;
class TSysTray;

// The tray owner: the application's first window. The program shows it at
// start as the logo window and its own timer hides it; it keeps the tray
// icon and the tray menu, and closing it ends the program.
class TRunForm : public QFrame
{
    Q_OBJECT

public:
    explicit TRunForm(Settings& settings, QWidget* parent = nullptr);

    QLabel* Image1;   // the logo picture, 188 x 104
    QLabel* Label1;   // "Postwatch"
    QLabel* Label3;   // "(tm)"
    QLabel* Label4;   // the version
    QLabel* Label2;   // the copyright line
    QTimer* Timer1;   // 2000 ms from creation: hides the logo window

    TSysTray* SysTray1;
    QMenu* TrayPop;
    QAction* ShowPostwatch1;
    QAction* EnableChecking1;
    // "Do Not Disturb": one of the three is checked, as the main window
    // shows it when the menu opens.
    QMenu* DoNotDisturb1;
    QAction* DndForOneHour1;
    QAction* DndUntilTomorrow1;
    QAction* DndOff1;

    // The main window's commands on the tray menu, which the main window,
    // created after this one, hands over.
    struct TTrayActions
    {
        QAction* CheckNow;
        QAction* Config;
        QAction* Launch;
        QAction* Help;
        QAction* Close;
    };
    void SetTrayActions(const TTrayActions& actions);
    // Shows the main window and brings it to the front.
    std::function<void()> ShowMainWindow;

    // The main window's two ways of driving the icon. Flashing is refused
    // where no tray shows the icon.
    bool Flash();
    void StopFlashing();
    // The icon's hint: the program's name with the count of messages
    // waiting, then a line for each failure that stands, then the lines of
    // the accounts watched.
    void SetHint(const QStringList& lines);
    void SetWatching(const QStringList& lines);
    void SetWaitingCount(int count);
    // Whether news is kept back now, after the count; empty when it is not.
    void SetQuiet(const QString& line);

    void Timer1Timer();
    void SysTray1LButtonDown();
    void SysTray1LButtonDblClk();
    void SysTray1RButtonDown();
    void SysTray1RButtonUp();
    void TrayPopPopup();
    void EnableChecking1Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateLogo();
    void CreateTray();
    void CreateDoNotDisturbMenu();
    void FormCreate();
    void FormClose();
    void ShowHint();

    Settings& options;
    QStringList failureLines;
    QStringList watchLines;
    QString quietLine;
    int waiting = 0;
};
