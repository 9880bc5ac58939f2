#pragma once

#include <QString>
#include <QStringList>

// What the program was started for. The two words "checknow" and "visible"
// count anywhere in the lower-cased command line, an argument that holds one
// included (but not in the account name after --sign-in); every other
// argument that starts with "-" must be an option.
struct CommandLine {
    enum TMode {
        Run,     // the program, or a second start handing over its words
        Check,   // --check
        List,    // --list, with --json for panels
        SignIn,  // --sign-in NAME
        Help,    // --help
        Version, // --version
        Invalid, // an unknown option or one that goes with no other
    };

    static CommandLine Parse(const QStringList& arguments);
    // The options and words, as --help shows them.
    static QString HelpText();

    QString Text; // the arguments joined by blanks, as the process got them
    bool CheckNow = false;
    bool Visible = false;
    TMode Mode = Run;
    bool Json = false;
    QString Account; // for SignIn: the account's name, whatever words it holds
    QString Problem; // for Invalid: one line saying what is wrong

    // A second start always wants to see the program unless it only asked
    // for a check. The window shows first: a check waits on the network.
    QStringList ForwardedWords() const;
};
