#pragma once

#include "app/CommandLine.h"

#include <memory>

class InstanceChannel;
class RegistryStore;
class Settings;
class TConfigForm;
class TDialUp;
class TMainForm;
class TQuickView;
class TRunForm;

// The running program: its store and its long-lived windows, created in
// their order (tray owner, main window, configuration dialog, which loads
// the settings, quick view), and the channel later starts reach it through.
class Program
{
public:
    Program(RegistryStore& store, TDialUp& dialUp, const CommandLine& commandLine);
    ~Program();

    void Listen(InstanceChannel& channel);

    TRunForm& RunForm() { return *runForm; }
    TMainForm& MainForm() { return *mainForm; }
    Settings& Options() { return *settings; }

private:
    std::unique_ptr<Settings> settings; // the windows read it until their end
    std::unique_ptr<TRunForm> runForm;
    std::unique_ptr<TMainForm> mainForm;
    std::unique_ptr<TConfigForm> configForm;
    std::unique_ptr<TQuickView> quickView;
};

// The program entry: forwards to a running copy or starts, runs the event
// loop, and reports a failure that ends the start.
int RunPostwatch(int argc, char** argv);
